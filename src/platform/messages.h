// The system's own numbers for the messages, codes and styles that the core
// decides on. win32/messages_check.cpp proves that they equal <windows.h>'s.
#pragma once

#include <cstdint>

namespace msg {

// Window messages.
inline constexpr std::uint32_t CREATE = 0x0001;
inline constexpr std::uint32_t DESTROY = 0x0002;
inline constexpr std::uint32_t SETTEXT = 0x000C;
inline constexpr std::uint32_t PAINT = 0x000F;
inline constexpr std::uint32_t CLOSE = 0x0010;
inline constexpr std::uint32_t QUIT = 0x0012;
inline constexpr std::uint32_t SHOWWINDOW = 0x0018;
inline constexpr std::uint32_t ACTIVATEAPP = 0x001C;
inline constexpr std::uint32_t SETCURSOR = 0x0020;
inline constexpr std::uint32_t HELP = 0x0053;
inline constexpr std::uint32_t CONTEXTMENU = 0x007B;
inline constexpr std::uint32_t DISPLAYCHANGE = 0x007E;
inline constexpr std::uint32_t KEYDOWN = 0x0100;
inline constexpr std::uint32_t KEYUP = 0x0101;
inline constexpr std::uint32_t SYSKEYDOWN = 0x0104;
inline constexpr std::uint32_t SYSKEYUP = 0x0105;
inline constexpr std::uint32_t INITDIALOG = 0x0110;
inline constexpr std::uint32_t COMMAND = 0x0111;
inline constexpr std::uint32_t SYSCOMMAND = 0x0112;
inline constexpr std::uint32_t TIMER = 0x0113;
inline constexpr std::uint32_t HSCROLL = 0x0114;
inline constexpr std::uint32_t MOUSEMOVE = 0x0200;
inline constexpr std::uint32_t LBUTTONDOWN = 0x0201;
inline constexpr std::uint32_t LBUTTONUP = 0x0202;
inline constexpr std::uint32_t RBUTTONDOWN = 0x0204;
inline constexpr std::uint32_t RBUTTONUP = 0x0205;
inline constexpr std::uint32_t MBUTTONDOWN = 0x0207;
inline constexpr std::uint32_t MBUTTONUP = 0x0208;
inline constexpr std::uint32_t MOUSEWHEEL = 0x020A;
inline constexpr std::uint32_t POWERBROADCAST = 0x0218;
inline constexpr std::uint32_t APP = 0x8000;

// System commands (WM_SYSCOMMAND's wParam). The low four bits of wParam are the
// system's own: compare wParam & SYSCMD_MASK.
inline constexpr std::uintptr_t SYSCMD_MASK = 0xFFF0;
inline constexpr std::uintptr_t SYSCMD_NEXTWINDOW = 0xF040;
inline constexpr std::uintptr_t SYSCMD_PREVWINDOW = 0xF050;
inline constexpr std::uintptr_t SYSCMD_SCREENSAVE = 0xF140;
inline constexpr std::uintptr_t SYSCMD_MONITORPOWER = 0xF170;

// Power broadcast events (WM_POWERBROADCAST's wParam).
inline constexpr std::uintptr_t POWER_SETTING_CHANGE = 0x8013;

// Scroll codes (low word of WM_HSCROLL's wParam).
inline constexpr std::uint32_t SCROLL_LINELEFT = 0;
inline constexpr std::uint32_t SCROLL_LINERIGHT = 1;
inline constexpr std::uint32_t SCROLL_PAGELEFT = 2;
inline constexpr std::uint32_t SCROLL_PAGERIGHT = 3;
inline constexpr std::uint32_t SCROLL_THUMBPOSITION = 4;
inline constexpr std::uint32_t SCROLL_THUMBTRACK = 5;

// Window class styles.
inline constexpr std::uint32_t CLASS_VREDRAW = 0x0001;
inline constexpr std::uint32_t CLASS_HREDRAW = 0x0002;
inline constexpr std::uint32_t CLASS_DBLCLKS = 0x0008;
inline constexpr std::uint32_t CLASS_OWNDC = 0x0020;

// Window styles and extended styles.
inline constexpr std::uint32_t STYLE_POPUP = 0x80000000u;
inline constexpr std::uint32_t STYLE_CHILD = 0x40000000u;
inline constexpr std::uint32_t STYLE_VISIBLE = 0x10000000u;
inline constexpr std::uint32_t STYLE_CLIPSIBLINGS = 0x04000000u;
inline constexpr std::uint32_t STYLE_CLIPCHILDREN = 0x02000000u;
inline constexpr std::uint32_t EXSTYLE_TOPMOST = 0x00000008u;

// Platform id of the version query for the Windows 95 family.
inline constexpr std::int32_t PLATFORM_WIN95_FAMILY = 1;

// Dialog command ids of the system.
inline constexpr std::uint32_t CMD_OK = 1;
inline constexpr std::uint32_t CMD_CANCEL = 2;

}  // namespace msg
