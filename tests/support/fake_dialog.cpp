#include "fake_dialog.h"

#include <string>

#include "fake.h"
#include "platform/dialog.h"

namespace fake {
namespace {
DialogState dialogState;
ResetHook resetDialog([] { dialogState = DialogState{}; });

// Made-up control windows live in their own address range, one per 16-bit id.
constexpr std::uintptr_t CONTROL_WINDOW_BASE = 0x7C000000;

// Like the system's scroll bar, a bar keeps its position inside its range.
void KeepInRange(ScrollBarState& bar) {
    if (bar.pos > bar.high) bar.pos = bar.high;
    if (bar.pos < bar.low) bar.pos = bar.low;
}
}  // namespace

DialogState& Dialog() { return dialogState; }

plat::Window ControlWindow(std::int32_t id) {
    return reinterpret_cast<plat::Window>(CONTROL_WINDOW_BASE + (static_cast<std::uint32_t>(id) & 0xFFFF));
}

}  // namespace fake

namespace plat {

void SetCheck(Window dialog, std::int32_t id, std::uint32_t state) {
    fake::Record("SetCheck", {fake::Arg(dialog), id, static_cast<std::intptr_t>(state)});
    fake::dialogState.checked[id] = state;
}

Window DialogItem(Window dialog, std::int32_t id) {
    fake::Record("DialogItem", {fake::Arg(dialog), id});
    auto found = fake::dialogState.controls.find(id);
    return found != fake::dialogState.controls.end() ? found->second : fake::ControlWindow(id);
}

void SetScrollBarRange(Window bar, std::int32_t low, std::int32_t high, bool redraw) {
    fake::Record("SetScrollBarRange", {fake::Arg(bar), low, high, redraw ? 1 : 0});
    fake::ScrollBarState& state = fake::dialogState.bars[bar];
    state.low = low;
    state.high = high;
    fake::KeepInRange(state);
}

void SetScrollBarPos(Window bar, std::int32_t pos, bool redraw) {
    fake::Record("SetScrollBarPos", {fake::Arg(bar), pos, redraw ? 1 : 0});
    fake::ScrollBarState& state = fake::dialogState.bars[bar];
    state.pos = pos;
    fake::KeepInRange(state);
}

void SetItemUnsigned(Window dialog, std::int32_t id, std::uint32_t value) {
    fake::Record("SetItemUnsigned", {fake::Arg(dialog), id, static_cast<std::intptr_t>(value)});
    fake::dialogState.itemText[id] = std::to_string(value);
}

void SetItemText(Window dialog, std::int32_t id, const char* text) {
    fake::Record("SetItemText", {fake::Arg(dialog), id});
    fake::dialogState.itemText[id] = text;
}

std::uint32_t ControlId(Window control) {
    fake::Record("ControlId", {fake::Arg(control)});
    for (const auto& [id, window] : fake::dialogState.controls)
        if (window == control) return static_cast<std::uint32_t>(id) & 0xFFFF;
    const auto address = reinterpret_cast<std::uintptr_t>(control);
    if (address >= fake::CONTROL_WINDOW_BASE && address <= fake::CONTROL_WINDOW_BASE + 0xFFFF)
        return static_cast<std::uint32_t>(address - fake::CONTROL_WINDOW_BASE);
    return 0;
}

void ShowErrorMessage(Window owner, const char* text, const char* caption) {
    fake::Record("ShowErrorMessage", {fake::Arg(owner)});
    fake::dialogState.messages.push_back(std::string(caption) + ": " + text);
}

void EndModalDialog(Window dialog, MessageResult result) {
    fake::Record("EndModalDialog", {fake::Arg(dialog), result});
    fake::dialogState.ended = true;
    fake::dialogState.endResult = result;
}

MessageResult RunModalDialog(std::int32_t templateId, Window owner) {
    fake::Record("RunModalDialog", {templateId, fake::Arg(owner)});
    return fake::dialogState.modalResult;
}

}  // namespace plat
