#pragma once

#include <QString>

struct TrafficSnapshot;

// The traffic field's text: bytes received and sent, the receive rate, and the total
// of the line errors when it is not zero.
QString TrafficText(const TrafficSnapshot &snapshot);
// Its tooltip: the same in words, and each line-error counter where the driver
// counts them (nothing about them where it does not).
QString TrafficToolTip(const TrafficSnapshot &snapshot);
// A rate in bytes per second: "950 B/s", "12.3 kB/s".
QString RateText(double bytesPerSecond);
