# Clang cross toolchain: 32-bit Windows programs.
set(QUILLMOSS_MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/clang-mingw-w64.cmake)
