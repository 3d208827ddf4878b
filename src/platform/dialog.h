// Dialogs and their controls: check boxes, scroll bars, item texts, the modal run.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace plat {

// Sets the check state of button `id` of `dialog` (0 unchecked, 1 checked).
void SetCheck(Window dialog, std::int32_t id, std::uint32_t state);

// The window of control `id` of `dialog`, or null when there is none.
Window DialogItem(Window dialog, std::int32_t id);

// Range and thumb position of a scroll-bar control, optionally redrawn at once.
void SetScrollBarRange(Window bar, std::int32_t low, std::int32_t high, bool redraw);
void SetScrollBarPos(Window bar, std::int32_t pos, bool redraw);

// Sets the text of item `id` of `dialog` to `value` as an unsigned decimal number.
void SetItemUnsigned(Window dialog, std::int32_t id, std::uint32_t value);

// Sets the text of item `id` of `dialog`.
void SetItemText(Window dialog, std::int32_t id, const char* text);

// The control id of a child window (16 bits, as the dialog template stores it).
std::uint32_t ControlId(Window control);

// Shows `text` in a modal error message box with an OK button over `owner`
// (may be null), titled `caption`, and returns when the user has closed it.
void ShowErrorMessage(Window owner, const char* text, const char* caption);

// Ends the modal loop of `dialog`; RunModalDialog then returns `result`.
void EndModalDialog(Window dialog, MessageResult result);

// Runs the program's dialog template `templateId` modally over `owner` (may be
// null), with ConfigDialogProc as its procedure, until EndModalDialog. Returns
// the result given there, or -1 when the dialog could not be created.
MessageResult RunModalDialog(std::int32_t templateId, Window owner);

}  // namespace plat
