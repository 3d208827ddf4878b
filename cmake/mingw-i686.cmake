# Cross-compile for 32-bit Windows with MinGW-w64, posix thread model, which GoogleTest
# needs: the test programs. The shipped program is built with mingw-i686-win32threads.cmake
# in a sub-build (PENDRAL_PRODUCT_TOOLCHAIN).
set(PENDRAL_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686-common.cmake)
