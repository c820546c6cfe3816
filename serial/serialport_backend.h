#pragma once

#include "serialport.h"

#include <cstdint>
#include <memory>
#include <string>

// The platform side of SerialPort: one backend file per system implements these.
// Everything here is internal to the serial library (and its tests).
namespace serial_backend {

// The outcome of one read attempt.
enum class Attempt {
    Byte, // one byte arrived
    Nothing, // the attempt's time-out passed with nothing
    Failed, // the device refused at once (gone, hung up, not a terminal)
};

// Opens and configures the device of port `port` (1..8). Null with `error` set
// on failure; the device is then released again.
std::shared_ptr<SerialPort::Handle> OpenDevice(int32_t port, int32_t baudRate, uint8_t parity,
    uint8_t stopBits, uint8_t dataBits, std::string &error);

// Clears the device's error state (line errors would otherwise hold up transfers).
void ClearErrors(SerialPort::Handle &handle);

// One read attempt of at most about 1 ms; `byte` is written only on Attempt::Byte.
Attempt ReadAttempt(SerialPort::Handle &handle, uint8_t &byte);

// One write attempt of at most about 1 ms; true when exactly one byte went out.
bool WriteAttempt(SerialPort::Handle &handle, uint8_t byte);

// A millisecond tick count from an arbitrary start; only differences are used.
uint32_t TickMs();

// Sleeps about one millisecond (used when an attempt could not wait by itself).
void SleepOneMs();

std::string DeviceName(int32_t port);

} // namespace serial_backend
