# Clang cross toolchain: 64-bit Windows programs.
set(QUILLMOSS_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)
include(${CMAKE_CURRENT_LIST_DIR}/clang-mingw-w64.cmake)
