// pendral.scr: the Windows screen saver's top. The system's screen-saver
// machinery starts it with a switch (/s, /p, /c, /a); the host reads the
// system's own command line, runs the one mode it selects and ends the process
// with that mode's exit status (see host/run_modes.h).
//
// A GUI program (linked with -mwindows) whose runtime start-up calls main; the
// arguments the runtime parsed are not used. Nothing here needs <windows.h>:
// the platform lives in src/platform/win32/.
#include "host/run_modes.h"

int main() {
    SaverMain();  // ends the process itself
    return 0;
}
