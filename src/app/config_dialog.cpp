#include "app/config_dialog.h"

#include <cstdio>

#include "app/settings.h"
#include "platform/dialog.h"
#include "platform/messages.h"
#include "platform/system.h"

namespace {

// How a scroll bar's value label is written.
enum class LabelForm {
    Unsigned,    // the value as an unsigned number
    Signed,      // the value with "%d"
    Attraction,  // the value minus 100 with "%d": the sign shows attraction or repulsion
};

// A setting edited with a scroll bar, and the label that shows it.
struct ScrollSetting {
    std::int32_t barId;
    std::int32_t labelId;
    std::int32_t SaverSettings::*field;
    std::int32_t low;
    std::int32_t high;
    bool redrawRange;
    LabelForm form;
};

constexpr ScrollSetting SCROLL_SETTINGS[] = {
    {105, 106, &SaverSettings::bodyCount, 3, 100, false, LabelForm::Unsigned},
    {110, 111, &SaverSettings::attractionSetting, 0, 200, true, LabelForm::Attraction},
    {116, 117, &SaverSettings::refreshMinutes, 1, 100, true, LabelForm::Signed},
};

// An on/off setting shown as two check boxes that behave as a pair of radio buttons.
struct SwitchSetting {
    std::int32_t onId;
    std::int32_t offId;
    std::int32_t SaverSettings::*field;
};

constexpr SwitchSetting SWITCH_SETTINGS[] = {
    {103, 104, &SaverSettings::soundSwitch},
    {112, 113, &SaverSettings::redSwitch},
    {114, 115, &SaverSettings::blueSwitch},
};

constexpr int LABEL_BUFFER_SIZE = 32;
constexpr int REASON_BUFFER_SIZE = 256;
constexpr int MESSAGE_BUFFER_SIZE = REASON_BUFFER_SIZE + 64;

void WriteLabel(plat::Window dialog, const ScrollSetting& setting) {
    const std::int32_t value = saverSettings.*setting.field;
    if (setting.form == LabelForm::Unsigned) {
        plat::SetItemUnsigned(dialog, setting.labelId, static_cast<std::uint32_t>(value));
        return;
    }
    char text[LABEL_BUFFER_SIZE];
    const long long shown = setting.form == LabelForm::Attraction ? static_cast<long long>(value) - 100 : value;
    std::snprintf(text, sizeof text, "%lld", shown);
    plat::SetItemText(dialog, setting.labelId, text);
}

void InitDialog(plat::Window dialog) {
    LoadSettings();
    for (const SwitchSetting& s : SWITCH_SETTINGS)
        plat::SetCheck(dialog, s.onId, static_cast<std::uint32_t>(saverSettings.*s.field));
    for (const SwitchSetting& s : SWITCH_SETTINGS)
        plat::SetCheck(dialog, s.offId, saverSettings.*s.field == 0 ? 1u : 0u);
    for (const ScrollSetting& s : SCROLL_SETTINGS) {
        plat::Window bar = plat::DialogItem(dialog, s.barId);
        plat::SetScrollBarRange(bar, s.low, s.high, s.redrawRange);
        plat::SetScrollBarPos(bar, saverSettings.*s.field, true);
        WriteLabel(dialog, s);
    }
}

// Tells the user that nothing was stored, in the system's own words.
void ReportSaveFailure(plat::Window dialog, std::uint32_t error) {
    char reason[REASON_BUFFER_SIZE];
    plat::SystemErrorText(error, reason, REASON_BUFFER_SIZE);
    char text[MESSAGE_BUFFER_SIZE];
    std::snprintf(text, sizeof text, "%s\n\n%s", SAVE_FAILED_TEXT, reason);
    plat::ShowErrorMessage(dialog, text, SAVE_FAILED_CAPTION);
}

plat::MessageResult Command(plat::Window dialog, std::uint32_t id) {
    if (id == msg::CMD_OK) {
        // A save that failed keeps the dialog open: the choices are still on
        // screen, to try again or to cancel.
        if (std::uint32_t error = SaveSettings()) {
            ReportSaveFailure(dialog, error);
            return 1;
        }
        plat::EndModalDialog(dialog, 1);
        return 1;
    }
    if (id == msg::CMD_CANCEL) {
        plat::EndModalDialog(dialog, 1);
        return 1;
    }
    for (const SwitchSetting& s : SWITCH_SETTINGS) {
        const bool on = static_cast<std::int32_t>(id) == s.onId;
        if (!on && static_cast<std::int32_t>(id) != s.offId) continue;
        // The boxes toggle themselves when clicked; force both so exactly one stays checked.
        saverSettings.*s.field = on ? 1 : 0;
        plat::SetCheck(dialog, s.onId, on ? 1u : 0u);
        plat::SetCheck(dialog, s.offId, on ? 0u : 1u);
        return 0;
    }
    return 1;
}

void Scroll(plat::Window dialog, std::uint32_t code, std::int32_t thumb, plat::Window bar) {
    const std::uint32_t barId = plat::ControlId(bar);
    for (const ScrollSetting& s : SCROLL_SETTINGS) {
        if (static_cast<std::int32_t>(barId) != s.barId) continue;
        std::int32_t& value = saverSettings.*s.field;
        value = ScrolledValue(value, code, thumb, s.low, s.high);
        plat::SetScrollBarPos(bar, value, true);
        WriteLabel(dialog, s);
        return;
    }
}

}  // namespace

std::int32_t ScrolledValue(std::int32_t value, std::uint32_t code, std::int32_t thumb, std::int32_t low,
                           std::int32_t high) {
    switch (code) {
        case msg::SCROLL_LINELEFT:
        case msg::SCROLL_PAGELEFT:
            return value > low ? value - 1 : low;
        case msg::SCROLL_LINERIGHT:
        case msg::SCROLL_PAGERIGHT:
            return value < high ? value + 1 : high;
        case msg::SCROLL_THUMBTRACK:
            return thumb;
        default:
            return value;
    }
}

plat::MessageResult ConfigDialogProc(plat::Window dialog, std::uint32_t message, plat::WordParam wParam,
                                     plat::LongParam lParam) {
    switch (message) {
        case msg::INITDIALOG:
            InitDialog(dialog);
            return 0;
        case msg::COMMAND:
            return Command(dialog, static_cast<std::uint32_t>(wParam & 0xFFFF));
        case msg::HSCROLL:
            Scroll(dialog, static_cast<std::uint32_t>(wParam & 0xFFFF),
                   static_cast<std::int32_t>((wParam >> 16) & 0xFFFF), reinterpret_cast<plat::Window>(lParam));
            return 0;
        case msg::CLOSE:
            plat::EndModalDialog(dialog, 1);
            return 1;
        default:
            return 0;
    }
}
