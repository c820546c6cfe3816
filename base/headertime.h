#pragma once

#include <atomic>
#include <cstdint>
#include <string>

// The time of day that may stand before the "Receiving: " and "Sending: " headers.
// Both directions stamp their headers with it, so it sits below both of them.

// Whether the headers start with the time of day. The user-interface thread sets
// it; the receive thread and the send loop read it.
extern std::atomic<bool> HeaderTimes;

// 1 + the milliseconds since local midnight now, or 0 when HeaderTimes is off.
[[nodiscard]] int32_t HeaderTimeNow();
// "[HH:MM:SS.mmm] " for a value of HeaderTimeNow(); "" for 0.
[[nodiscard]] std::string HeaderTimePrefix(int32_t headerTime);
