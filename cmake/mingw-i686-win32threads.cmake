# Cross-compile for 32-bit Windows with MinGW-w64, win32 thread model: the shipped program.
# Its runtime calls only functions that Windows 95 and NT 4.0 have; the posix model's
# runtime (winpthreads) imports functions of Windows XP and later.
set(PENDRAL_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686-common.cmake)
