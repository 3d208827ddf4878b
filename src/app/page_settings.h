// The browser page's settings: the Linux saver's options (same ranges and
// defaults as the Windows settings dialog) given as key and value pairs, from the
// page's address (?count=100&red=1) or from what the page stored. Pure.
#pragma once

#include <cstddef>

#include "app/saver_options.h"

enum class PageSettingResult { Applied, Unknown, Bad };

// Sets one setting: count, attraction (-100 to 100), refresh (minutes) as whole
// numbers, red and blue as 0 or 1. A bad value sets that setting to its default
// and writes one line saying what the key takes into `error` (always terminated);
// an unknown key changes nothing.
PageSettingResult ApplyPageSetting(SaverOptions* options, const char* key, const char* value, char* error,
                                   std::size_t errorSize);

// Writes all five settings as "count=51&attraction=10&refresh=5&red=0&blue=0"
// (cut to `size`, always terminated).
void WritePageSettings(const SaverOptions& options, char* out, std::size_t size);
