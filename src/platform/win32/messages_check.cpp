// The core's copies of the system's message numbers and codes must equal <windows.h>'s.
#include "platform/messages.h"

#include <windows.h>

static_assert(msg::CREATE == WM_CREATE);
static_assert(msg::DESTROY == WM_DESTROY);
static_assert(msg::SETTEXT == WM_SETTEXT);
static_assert(msg::PAINT == WM_PAINT);
static_assert(msg::CLOSE == WM_CLOSE);
static_assert(msg::QUIT == WM_QUIT);
static_assert(msg::SHOWWINDOW == WM_SHOWWINDOW);
static_assert(msg::ACTIVATEAPP == WM_ACTIVATEAPP);
static_assert(msg::SETCURSOR == WM_SETCURSOR);
static_assert(msg::HELP == WM_HELP);
static_assert(msg::CONTEXTMENU == WM_CONTEXTMENU);
static_assert(msg::KEYDOWN == WM_KEYDOWN);
static_assert(msg::KEYUP == WM_KEYUP);
static_assert(msg::SYSKEYDOWN == WM_SYSKEYDOWN);
static_assert(msg::SYSKEYUP == WM_SYSKEYUP);
static_assert(msg::INITDIALOG == WM_INITDIALOG);
static_assert(msg::COMMAND == WM_COMMAND);
static_assert(msg::SYSCOMMAND == WM_SYSCOMMAND);
static_assert(msg::TIMER == WM_TIMER);
static_assert(msg::HSCROLL == WM_HSCROLL);
static_assert(msg::MOUSEMOVE == WM_MOUSEMOVE);
static_assert(msg::LBUTTONDOWN == WM_LBUTTONDOWN);
static_assert(msg::LBUTTONUP == WM_LBUTTONUP);
static_assert(msg::RBUTTONDOWN == WM_RBUTTONDOWN);
static_assert(msg::RBUTTONUP == WM_RBUTTONUP);
static_assert(msg::MBUTTONDOWN == WM_MBUTTONDOWN);
static_assert(msg::MBUTTONUP == WM_MBUTTONUP);
static_assert(msg::MOUSEWHEEL == WM_MOUSEWHEEL);
static_assert(msg::APP == WM_APP);
static_assert(msg::SYSCMD_NEXTWINDOW == SC_NEXTWINDOW);
static_assert(msg::SYSCMD_PREVWINDOW == SC_PREVWINDOW);
static_assert(msg::SYSCMD_SCREENSAVE == SC_SCREENSAVE);
static_assert(msg::SCROLL_LINELEFT == SB_LINELEFT);
static_assert(msg::SCROLL_LINERIGHT == SB_LINERIGHT);
static_assert(msg::SCROLL_PAGELEFT == SB_PAGELEFT);
static_assert(msg::SCROLL_PAGERIGHT == SB_PAGERIGHT);
static_assert(msg::SCROLL_THUMBPOSITION == SB_THUMBPOSITION);
static_assert(msg::SCROLL_THUMBTRACK == SB_THUMBTRACK);
static_assert(msg::CMD_OK == IDOK);
static_assert(msg::CMD_CANCEL == IDCANCEL);
static_assert(msg::CLASS_VREDRAW == CS_VREDRAW);
static_assert(msg::CLASS_HREDRAW == CS_HREDRAW);
static_assert(msg::CLASS_DBLCLKS == CS_DBLCLKS);
static_assert(msg::CLASS_OWNDC == CS_OWNDC);
static_assert(msg::STYLE_POPUP == static_cast<std::uint32_t>(WS_POPUP));
static_assert(msg::STYLE_CHILD == WS_CHILD);
static_assert(msg::STYLE_VISIBLE == WS_VISIBLE);
static_assert(msg::STYLE_CLIPSIBLINGS == WS_CLIPSIBLINGS);
static_assert(msg::STYLE_CLIPCHILDREN == WS_CLIPCHILDREN);
static_assert(msg::EXSTYLE_TOPMOST == WS_EX_TOPMOST);
static_assert(msg::PLATFORM_WIN95_FAMILY == VER_PLATFORM_WIN32_WINDOWS);
