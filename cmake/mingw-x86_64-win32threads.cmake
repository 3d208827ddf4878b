# Cross-compile for 64-bit Windows with MinGW-w64, win32 thread model: the shipped program,
# which then runs on every 64-bit Windows (the posix model's runtime imports functions of
# Windows Vista and later).
set(PENDRAL_MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64-common.cmake)
