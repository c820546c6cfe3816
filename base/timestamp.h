#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>

// Time stamps: the time of day that may stand before the "Receiving: " and
// "Sending: " headers (both directions stamp their headers, so it sits below both
// of them), and the local time the capture file's stamps are written in.

// Whether the headers start with the time of day. The user-interface thread sets
// it; the receive thread and the send loop read it.
extern std::atomic<bool> HeaderTimes;

// 1 + the milliseconds since local midnight now, or 0 when HeaderTimes is off.
[[nodiscard]] int32_t HeaderTimeNow();
// "[HH:MM:SS.mmm] " for a value of HeaderTimeNow(); "" for 0.
[[nodiscard]] std::string HeaderTimePrefix(int32_t headerTime);

// `seconds` since 1970 in the local time zone, thread-safe on every system (the
// capture file's time stamps read it too).
[[nodiscard]] std::tm LocalTime(std::time_t seconds);
