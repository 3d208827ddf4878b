// The program's window procedure as the system calls it.
#pragma once

#include <windows.h>

LRESULT CALLBACK SaverWindowAdapter(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
