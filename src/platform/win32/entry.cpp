// The program's entry and its window procedure: thin adapters between the
// system's calling convention and the host.
#include "platform/win32/entry.h"

#include "host/run_modes.h"
#include "host/saver_window.h"

LRESULT CALLBACK SaverWindowAdapter(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return SaverWindowProc(reinterpret_cast<plat::Window>(window), message, wParam, lParam);
}

// The runtime's view of the command line and show state is not used: the host
// reads the system's own command line.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SaverMain();
    return 0;
}
