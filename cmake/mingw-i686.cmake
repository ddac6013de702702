# Cross build for 32-bit Windows with the posix-thread MinGW-w64 compilers.
set(TAP_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
