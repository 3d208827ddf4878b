#include "platform/dialog.h"

#include <windows.h>

#include "app/config_dialog.h"

namespace plat {
namespace {

HWND ToHandle(Window window) { return reinterpret_cast<HWND>(window); }

// The system calls this for every message of the dialog; the decisions are the core's.
INT_PTR CALLBACK ConfigDialogAdapter(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return ConfigDialogProc(reinterpret_cast<Window>(dialog), message, wParam, lParam);
}

}  // namespace

void SetCheck(Window dialog, std::int32_t id, std::uint32_t state) { CheckDlgButton(ToHandle(dialog), id, state); }

Window DialogItem(Window dialog, std::int32_t id) { return reinterpret_cast<Window>(GetDlgItem(ToHandle(dialog), id)); }

void ShowErrorMessage(Window owner, const char* text, const char* caption) {
    MessageBoxA(ToHandle(owner), text, caption, MB_OK | MB_ICONERROR);
}

void SetScrollBarRange(Window bar, std::int32_t low, std::int32_t high, bool redraw) {
    SetScrollRange(ToHandle(bar), SB_CTL, low, high, redraw ? TRUE : FALSE);
}

void SetScrollBarPos(Window bar, std::int32_t pos, bool redraw) {
    SetScrollPos(ToHandle(bar), SB_CTL, pos, redraw ? TRUE : FALSE);
}

void SetItemUnsigned(Window dialog, std::int32_t id, std::uint32_t value) {
    SetDlgItemInt(ToHandle(dialog), id, value, FALSE);
}

void SetItemText(Window dialog, std::int32_t id, const char* text) { SetDlgItemTextA(ToHandle(dialog), id, text); }

// The low word of the window's id, which is what GetWindowWord(GWW_ID) gives on
// the systems that still answer that Win16 offset; Wine answers it with 0, so the
// id is read as a long and cut to the template's 16 bits.
std::uint32_t ControlId(Window control) {
    return static_cast<std::uint32_t>(GetWindowLongPtrA(ToHandle(control), GWLP_ID)) & 0xFFFF;
}

void EndModalDialog(Window dialog, MessageResult result) { EndDialog(ToHandle(dialog), result); }

MessageResult RunModalDialog(std::int32_t templateId, Window owner) {
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(templateId), ToHandle(owner),
                           ConfigDialogAdapter, 0);
}

}  // namespace plat
