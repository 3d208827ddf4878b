// Test double of dialogs and their controls. Every call is logged (see fake.h)
// with its arguments; the double also keeps what the calls left on screen, so
// tests can ask for a box's check state, a bar's range and position or a label.
// As on the system, a scroll bar control starts with the empty range 0 to 0 and
// keeps its position inside its range.
//
// Logged as: SetCheck(dialog, id, state), DialogItem(dialog, id),
// SetScrollBarRange(bar, low, high, redraw), SetScrollBarPos(bar, pos, redraw),
// SetItemUnsigned(dialog, id, value), SetItemText(dialog, id) (the text is kept
// in itemText), ControlId(control), EndModalDialog(dialog, result),
// RunModalDialog(templateId, owner), ShowErrorMessage(owner) (the text is kept
// in messages).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/types.h"

namespace fake {

struct ScrollBarState {
    std::int32_t low = 0;
    std::int32_t high = 0;
    std::int32_t pos = 0;
};

struct DialogState {
    // Controls that DialogItem finds and ControlId names. An id missing here
    // answers ControlWindow(id), which ControlId decodes back to id.
    std::map<std::int32_t, plat::Window> controls;
    // What RunModalDialog answers.
    plat::MessageResult modalResult = 1;

    // What the calls left: check states and texts by item id, bars by window.
    std::map<std::int32_t, std::uint32_t> checked;
    std::map<std::int32_t, std::string> itemText;
    std::map<plat::Window, ScrollBarState> bars;
    bool ended = false;
    plat::MessageResult endResult = 0;
    // Each error message box shown, as "caption: text".
    std::vector<std::string> messages;
};

DialogState& Dialog();

// The made-up window of control `id` that DialogItem answers by default.
plat::Window ControlWindow(std::int32_t id);

}  // namespace fake
