#include "host/display_power.h"

#include <cstring>

namespace {

constexpr std::size_t DATA_LENGTH_OFFSET = sizeof(plat::Guid);
constexpr std::size_t DATA_OFFSET = DATA_LENGTH_OFFSET + sizeof(std::uint32_t);

bool SameGuid(const plat::Guid& a, const plat::Guid& b) {
    return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
           std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

}  // namespace

const plat::Guid& DisplayPowerSetting(std::uint32_t version) {
    return version >= 0x602 ? SESSION_DISPLAY_STATUS_SETTING : MONITOR_POWER_ON_SETTING;
}

DisplayPower PowerSettingChange(const void* setting) {
    if (!setting) return DisplayPower::unknown;
    const auto* bytes = static_cast<const std::uint8_t*>(setting);
    plat::Guid id;
    std::uint32_t length = 0;
    std::memcpy(&id, bytes, sizeof id);
    std::memcpy(&length, bytes + DATA_LENGTH_OFFSET, sizeof length);
    if (length != sizeof(std::uint32_t)) return DisplayPower::unknown;
    std::uint32_t value = 0;
    std::memcpy(&value, bytes + DATA_OFFSET, sizeof value);
    const bool session = SameGuid(id, SESSION_DISPLAY_STATUS_SETTING);
    if (!session && !SameGuid(id, MONITOR_POWER_ON_SETTING)) return DisplayPower::unknown;
    switch (value) {
        case 0:
            return DisplayPower::off;
        case 1:
            return DisplayPower::on;
        case 2:
            return session ? DisplayPower::dimmed : DisplayPower::unknown;
        default:
            return DisplayPower::unknown;
    }
}

DisplayPower MonitorPowerCommand(plat::LongParam lParam) {
    switch (lParam) {
        case 1:
        case 2:
            return DisplayPower::off;
        case -1:
            return DisplayPower::on;
        default:
            return DisplayPower::unknown;
    }
}
