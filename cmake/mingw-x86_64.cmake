# Cross build for 64-bit Windows (tests on hosts that run no 32-bit programs) with the
# posix-thread MinGW-w64 compilers.
set(TAP_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
