// The configuration dialog's procedure: a small controller over the six settings.
#pragma once

#include <cstdint>

#include "platform/types.h"

inline constexpr std::int32_t CONFIG_DIALOG_ID = 2003;

// Dialog procedure of template 2003: edits saverSettings in place, saves on OK.
plat::MessageResult ConfigDialogProc(plat::Window dialog, std::uint32_t message, plat::WordParam wParam,
                                     plat::LongParam lParam);
