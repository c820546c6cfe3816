#pragma once

#include <atomic>
#include <cstdint>
#include <string>

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
    int32_t FParityCodes[5] = { 0, 1, 2, 3, 4 };
    int32_t FStopBitCodes[3] = { 0, 1, 2 };

    std::atomic<bool> FTimedSend { true };
    std::atomic<bool> FAutoClear { true };
    std::atomic<bool> FCheckOrder { false };
    std::atomic<bool> FAutoSend { false };
    std::atomic<int32_t> FTimeInterval { 1000 }; // ms
    std::atomic<int32_t> FSendStart { 0 };
    std::atomic<int32_t> FSendEnd { 127 };
    std::atomic<int32_t> FComPort { 1 };
    std::atomic<int32_t> FComBitNum { 8 };
    std::atomic<int32_t> FStopBits { 0 };
    std::atomic<int32_t> FComBps { 57600 };
    std::atomic<int32_t> FClearLineNum { 100 };
    std::atomic<int32_t> FParaStart { 0 };
    std::atomic<int32_t> FParaEnd { 127 };
    std::atomic<int32_t> FLineCharNum { 10 };
    std::atomic<int32_t> FParaCharNum { 100 };
    std::atomic<int32_t> FParity { 0 };
    std::atomic<int32_t> FTwoCharDelay { 100 }; // µs
    std::string FSendChar { "00" }; // code page 936 bytes
};

// Sets every settings member to its default (FSendChar to "00"); the code tables
// are left alone.
void SetDefaultSettings(SettingsValues &settings);
