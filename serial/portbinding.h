#pragma once

#include "base/status.h"

#include <cstdint>
#include <string>

// Which device a port number stands for, and binding a device to a number. On POSIX
// systems port N opens the link comN in the settings folder when it exists, else
// /dev/ttyS<N-1>; binding writes that link. On Windows the numbers are the fixed
// names COM1..COM8 and nothing can be bound.
namespace PortBinding {

// The path of port `port`'s link; empty where there are none (Windows) and for
// numbers outside 1..8.
std::string linkPath(int32_t port);

// The system's device for the port number, which applies when no link maps it
// (POSIX: /dev/ttyS<N-1>; Windows: COMn). Empty for numbers outside 1..8.
std::string systemDevice(int32_t port);

// Whether the port number's link exists (also when it leads nowhere).
bool hasLink(int32_t port);

// What the port number maps to now, as the user would name it: the link's target
// when the link exists (also when the target is away), else the system's device.
std::string mappedDevice(int32_t port);

// The device file that opening the port reaches now, every link followed (so a
// /dev/serial/by-id name shows as its /dev/ttyUSB0); where nothing is reached, the
// mapped device as it is named.
std::string resolvedDevice(int32_t port);

// Binds `device` to port `port`: writes the link anew (a new link renamed over the
// old one, so the port always finds one or the other); an empty `device` removes
// the link, so the system's device applies again. Fails when the link cannot be
// written or removed; nothing has changed then.
[[nodiscard]] Status bind(int32_t port, const std::string &device);

// A name for `device` that stays the same across renumbering and replugging: the
// udev link under /dev/serial/by-id/ that leads to it, when there is one; else
// `device` itself.
std::string stableName(const std::string &device);

} // namespace PortBinding
