#pragma once

#include "base/linecodes.h"

#include <atomic>
#include <cstdint>
#include <string>

// The default of every setting, the one place they are written: the members start
// from them and SetDefaultSettings puts them back.
namespace SettingDefaults {
inline constexpr bool TimedSend = true;
inline constexpr bool AutoClear = true;
inline constexpr bool CheckOrder = false;
inline constexpr bool AutoSend = false;
inline constexpr int32_t TimeInterval = 1000; // ms
inline constexpr int32_t SendStart = 0;
inline constexpr int32_t SendEnd = 127;
inline constexpr int32_t ComPort = 1;
inline constexpr int32_t ComBitNum = 8;
inline constexpr int32_t StopBits = 0;
inline constexpr int32_t ComBps = 57600;
inline constexpr int32_t ClearLineNum = 100;
inline constexpr int32_t ParaStart = 0;
inline constexpr int32_t ParaEnd = 127;
inline constexpr int32_t LineCharNum = 10;
inline constexpr int32_t ParaCharNum = 100;
inline constexpr int32_t Parity = 0;
inline constexpr int32_t TwoCharDelay = 100; // µs
inline constexpr const char *SendChar = "00"; // code page 936 bytes
} // namespace SettingDefaults

// The program's settings values. The one instance is the settings dialog object
// FrmOption (TFrmOption derives from this type), so that every part reads them in
// place as FrmOption->FComPort. Members are declared in the program's fixed order.
//
// Threads: the user-interface thread writes them (the dialog's OK, the loader,
// Edit2Change for FSendChar); the receive thread reads the numbers and flags once
// per byte, so those are atomics, each read whole. FSendChar is user-interface
// thread only.
struct SettingsValues
{
    // Parity and stop-bits code for each item of the dialog's combo boxes, by position.
    int32_t FParityCodes[5] = { ParityNone, ParityOdd, ParityEven, ParityMark, ParitySpace };
    int32_t FStopBitCodes[3] = { StopBitsOne, StopBitsOneAndHalf, StopBitsTwo };

    std::atomic<bool> FTimedSend { SettingDefaults::TimedSend };
    std::atomic<bool> FAutoClear { SettingDefaults::AutoClear };
    std::atomic<bool> FCheckOrder { SettingDefaults::CheckOrder };
    std::atomic<bool> FAutoSend { SettingDefaults::AutoSend };
    std::atomic<int32_t> FTimeInterval { SettingDefaults::TimeInterval };
    std::atomic<int32_t> FSendStart { SettingDefaults::SendStart };
    std::atomic<int32_t> FSendEnd { SettingDefaults::SendEnd };
    std::atomic<int32_t> FComPort { SettingDefaults::ComPort };
    std::atomic<int32_t> FComBitNum { SettingDefaults::ComBitNum };
    std::atomic<int32_t> FStopBits { SettingDefaults::StopBits };
    std::atomic<int32_t> FComBps { SettingDefaults::ComBps };
    std::atomic<int32_t> FClearLineNum { SettingDefaults::ClearLineNum };
    std::atomic<int32_t> FParaStart { SettingDefaults::ParaStart };
    std::atomic<int32_t> FParaEnd { SettingDefaults::ParaEnd };
    std::atomic<int32_t> FLineCharNum { SettingDefaults::LineCharNum };
    std::atomic<int32_t> FParaCharNum { SettingDefaults::ParaCharNum };
    std::atomic<int32_t> FParity { SettingDefaults::Parity };
    std::atomic<int32_t> FTwoCharDelay { SettingDefaults::TwoCharDelay };
    std::string FSendChar { SettingDefaults::SendChar };
};

// Sets every settings member to its default (FSendChar to "00"); the code tables
// are left alone.
void SetDefaultSettings(SettingsValues &settings);
