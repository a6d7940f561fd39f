# Cross toolchain for Windows programs built with Clang against the MinGW-w64 headers and the GCC
# -posix runtime (libstdc++, libgcc, winpthreads), shared by the per-target clang-*.cmake files,
# which set QUILLMOSS_MINGW_TRIPLET and CMAKE_SYSTEM_PROCESSOR first. Resources, the ordinal import
# library and the search roots are as in the GCC build.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)

set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
set(CMAKE_C_COMPILER_TARGET ${QUILLMOSS_MINGW_TRIPLET})
set(CMAKE_CXX_COMPILER_TARGET ${QUILLMOSS_MINGW_TRIPLET})
# The MinGW-w64 root as sysroot: its include/ and lib/ and nothing of the host's (without it the
# driver searches /usr/include and /usr/lib).
set(CMAKE_SYSROOT /usr/${QUILLMOSS_MINGW_TRIPLET})

# Clang's MinGW driver cannot read Debian's GCC folder name ("12-posix") as a version, so it finds
# neither libstdc++'s headers nor the runtime libraries: both come from the folder of the GCC of
# the same target.
execute_process(
  COMMAND ${QUILLMOSS_MINGW_TRIPLET}-gcc-posix -print-libgcc-file-name
  OUTPUT_VARIABLE quillmoss_libgcc OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
get_filename_component(quillmoss_gcc_dir ${quillmoss_libgcc} DIRECTORY)
set(quillmoss_cxx_include ${quillmoss_gcc_dir}/include/c++)
# GCC predefines these two for MinGW targets and Clang 14 does not; without them every
# std::type_info::operator== is also defined inline and clashes with libstdc++'s own at link time.
set(CMAKE_CXX_FLAGS_INIT "-isystem ${quillmoss_cxx_include} \
-isystem ${quillmoss_cxx_include}/${QUILLMOSS_MINGW_TRIPLET} -isystem ${quillmoss_cxx_include}/backward \
-D__GXX_TYPEINFO_EQUALITY_INLINE=0 -D__GXX_MERGED_TYPEINFO_NAMES=0")

# -pthread puts winpthreads (which libstdc++ and libgcc_eh of the -posix runtime need) into the
# group the driver wraps around the runtime libraries under -static; without it the link fails.
# LLD: GNU ld warns at every type-info name that GCC's objects pad and Clang's do not.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-fuse-ld=lld -L${quillmoss_gcc_dir} -pthread")
endforeach()
