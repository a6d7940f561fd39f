# Gives an executable its application manifest and a version resource whose version is the
# project's one version.
function(quillmoss_add_resources target description)
  set(QM_NAME ${target})
  set(QM_DESCRIPTION ${description})
  set(QM_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/application.manifest.in ${QM_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/version.rc.in ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS ${QM_MANIFEST})
  if(MSVC)
    # The manifest comes from the resource script; the linker must not add one of its own.
    target_link_options(${target} PRIVATE /MANIFEST:NO)
  endif()
endfunction()
