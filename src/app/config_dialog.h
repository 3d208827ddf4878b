// The configuration dialog's procedure: a small controller over the six settings.
#pragma once

#include <cstdint>

#include "platform/types.h"

inline constexpr std::int32_t CONFIG_DIALOG_ID = 2003;

// The message box shown when OK could not store the settings anywhere; the
// system's reason follows the text.
inline constexpr const char* SAVE_FAILED_CAPTION = "Pendral";
inline constexpr const char* SAVE_FAILED_TEXT = "The settings could not be saved.";

// Dialog procedure of template 2003: edits saverSettings in place, saves on OK
// and closes, or tells the user and stays open when the save failed.
plat::MessageResult ConfigDialogProc(plat::Window dialog, std::uint32_t message, plat::WordParam wParam,
                                     plat::LongParam lParam);

// A scroll bar's value after one scroll code: line and page codes step by 1 and
// clamp to [low, high], thumb tracking takes the thumb position, the rest keep it.
std::int32_t ScrolledValue(std::int32_t value, std::uint32_t code, std::int32_t thumb, std::int32_t low,
                           std::int32_t high);
