# 32-bit Windows with MinGW-w64; included by mingw-i686.cmake (posix thread model) and
# mingw-i686-win32threads.cmake (win32 thread model), which set PENDRAL_MINGW_THREADS.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_C_COMPILER i686-w64-mingw32-gcc-${PENDRAL_MINGW_THREADS})
set(CMAKE_CXX_COMPILER i686-w64-mingw32-g++-${PENDRAL_MINGW_THREADS})
set(CMAKE_RC_COMPILER i686-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/i686-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Pentium Pro instructions and x87 arithmetic: Windows 95 and 98 never enable SSE, and the
# processors of their time have none.
set(CMAKE_C_FLAGS_INIT "-march=i686 -mtune=generic -mfpmath=387 -mno-mmx -mno-sse")
set(CMAKE_CXX_FLAGS_INIT "-march=i686 -mtune=generic -mfpmath=387 -mno-mmx -mno-sse")
# CRT_fp8.o makes the runtime's start-up (_fpreset, before any constructor and before
# main or WinMain) set the x87 unit to 53-bit precision, as msvcrt.dll's _fpreset does:
# then +, -, *, / and sqrt round exactly as double arithmetic on every other build.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ ${CMAKE_FIND_ROOT_PATH}/lib/CRT_fp8.o")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++")
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
