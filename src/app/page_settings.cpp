#include "app/page_settings.h"

#include <cstdio>
#include <cstring>

namespace {

// A page key and the saver option it stands for; switches have an "off" option too.
struct PageKey {
    const char* key;
    const char* option;
    const char* offOption;
    std::int32_t SaverOptions::*number;
    bool SaverOptions::*flag;
};

constexpr PageKey KEYS[] = {
    {"count", "-count", nullptr, &SaverOptions::bodyCount, nullptr},
    {"attraction", "-attraction", nullptr, &SaverOptions::attraction, nullptr},
    {"refresh", "-refresh", nullptr, &SaverOptions::refreshMinutes, nullptr},
    {"red", "-red", "-no-red", nullptr, &SaverOptions::red},
    {"blue", "-blue", "-no-blue", nullptr, &SaverOptions::blue},
};

// The value as an option list for ParseSaverOptions; false when a switch's value
// is neither 0 nor 1.
bool AsOptions(const PageKey& k, const char* value, const char* (&argv)[3], int* argc) {
    argv[0] = "pendral";
    if (!k.offOption) {
        argv[1] = k.option;
        argv[2] = value;
        *argc = 3;
        return true;
    }
    *argc = 2;
    if (std::strcmp(value, "1") == 0) argv[1] = k.option;
    else if (std::strcmp(value, "0") == 0) argv[1] = k.offOption;
    else return false;
    return true;
}

}  // namespace

PageSettingResult ApplyPageSetting(SaverOptions* options, const char* key, const char* value, char* error,
                                   std::size_t errorSize) {
    if (errorSize > 0) error[0] = '\0';
    const PageKey* k = nullptr;
    for (const PageKey& candidate : KEYS)
        if (key && std::strcmp(key, candidate.key) == 0) k = &candidate;
    if (!k) return PageSettingResult::Unknown;

    const char* argv[3];
    int argc = 0;
    SaverOptions parsed;
    bool ok = value && AsOptions(*k, value, argv, &argc);
    if (ok) {
        ok = ParseSaverOptions(argc, argv, &parsed, error, errorSize);
        // The option's message without its dash names the page's key.
        if (!ok && error[0] == '-') std::memmove(error, error + 1, std::strlen(error));
    } else if (errorSize > 0) {
        std::snprintf(error, errorSize, "%s takes 0 or 1", k->key);
    }
    // On a bad value `parsed` still holds the defaults.
    if (k->number) options->*(k->number) = parsed.*(k->number);
    else options->*(k->flag) = parsed.*(k->flag);
    return ok ? PageSettingResult::Applied : PageSettingResult::Bad;
}

void WritePageSettings(const SaverOptions& options, char* out, std::size_t size) {
    if (size == 0) return;
    std::snprintf(out, size, "count=%d&attraction=%d&refresh=%d&red=%d&blue=%d", options.bodyCount,
                  options.attraction, options.refreshMinutes, options.red ? 1 : 0, options.blue ? 1 : 0);
}
