// The display's power as the system reports it to the saver window: the power
// settings that Vista and later send, and the monitor-power system command that
// every Windows knows. While the display is off nothing can be seen, so the
// saver stops drawing; it draws again when the display is on or dimmed.
#pragma once

#include <cstdint>

#include "platform/types.h"

enum class DisplayPower { unknown, off, on, dimmed };

// The monitor's power (0 off, 1 on): Vista and 7.
inline constexpr plat::Guid MONITOR_POWER_ON_SETTING{
    0x02731015, 0x4510, 0x4526, {0x99, 0xE6, 0xE5, 0xA1, 0x7E, 0xBD, 0x1A, 0xEA}};
// The state of the display of the saver's own session (0 off, 1 on, 2 dimmed):
// Windows 8 and later. In a remote session that is the remote display, not the
// host's physical one.
inline constexpr plat::Guid SESSION_DISPLAY_STATUS_SETTING{
    0x2B84C20E, 0xAD23, 0x4DDF, {0x93, 0xDB, 0x05, 0xFF, 0xBD, 0x7E, 0xFC, 0xA5}};

// The setting to watch on a system of this version (major * 256 + minor):
// the session display's state from 6.2 (Windows 8) on, the monitor's power before.
const plat::Guid& DisplayPowerSetting(std::uint32_t version);

// What a power-setting change says of the display. `setting` is the record the
// message points to: the setting's id (16 bytes), the length of its data (4 bytes),
// the data; a 4-byte value of one of the two display settings is read, anything
// else is unknown.
DisplayPower PowerSettingChange(const void* setting);

// What the monitor-power system command asks for (its lParam): 1 (low power)
// and 2 (off) switch the display off, -1 switches it on.
DisplayPower MonitorPowerCommand(plat::LongParam lParam);
