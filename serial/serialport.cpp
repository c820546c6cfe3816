#include "serialport.h"

#include "serialport_backend.h"

#include <chrono>
#include <thread>

namespace backend = serial_backend;
using backend::kInvalidHandle;

SerialPort Port;

namespace {

constexpr int kWriteAttempts = 100;
constexpr uint32_t kReadBudgetMs = 50;

bool validPort(int32_t port)
{
    return port >= 1 && port <= SerialPort::kPortCount;
}

} // namespace

// Counts itself among the slot's users before it reads the handle. Close swaps the
// handle out first and then waits for the count to drop to zero; with both sides
// sequentially consistent, a hold either sees the invalid value or is waited for.
struct SerialPort::Handle
{
    explicit Handle(Slot *held)
        : slot(held)
    {
        if (slot) {
            slot->users.fetch_add(1);
            value = slot->handle.load();
        }
    }
    ~Handle()
    {
        if (slot)
            slot->users.fetch_sub(1);
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    explicit operator bool() const { return value != kInvalidHandle; }

    Slot *const slot;
    intptr_t value = kInvalidHandle;
};

SerialPort::SerialPort() = default;

SerialPort::~SerialPort()
{
    for (Slot &slot : FHandles) {
        const intptr_t handle = slot.handle.exchange(kInvalidHandle);
        if (handle != kInvalidHandle)
            releaseWhenUnused(slot, handle);
    }
}

SerialPort::Handle SerialPort::hold()
{
    const int32_t port = FCurrentPort.load();
    return Handle(validPort(port) ? &FHandles[port - 1] : nullptr);
}

void SerialPort::releaseWhenUnused(Slot &slot, intptr_t handle)
{
    // An attempt holds the slot for about 1 ms at most.
    while (slot.users.load() != 0)
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    backend::CloseDevice(handle);
}

bool SerialPort::Open(
    int32_t port, int32_t baudRate, uint8_t parity, uint8_t stopBits, uint8_t dataBits)
{
    FCurrentPort.store(port);
    if (!validPort(port)) {
        m_lastError = "port number " + std::to_string(port) + " is outside 1..8";
        return false;
    }
    std::string error;
    const intptr_t handle = backend::OpenDevice(port, baudRate, parity, stopBits, dataBits, error);
    if (handle == kInvalidHandle) {
        m_lastError = error;
        return false;
    }
    // The device is opened for exclusive use, so the slot is normally empty here; a
    // system that lets a second open through gets the older handle released.
    Slot &slot = FHandles[port - 1];
    const intptr_t previous = slot.handle.exchange(handle);
    if (previous != kInvalidHandle)
        releaseWhenUnused(slot, previous);
    backend::ClearErrors(handle);
    m_lastError.clear();
    m_openCount.fetch_add(1);
    return true;
}

bool SerialPort::Close()
{
    const int32_t port = FCurrentPort.load();
    if (!validPort(port))
        return false;
    Slot &slot = FHandles[port - 1];
    const intptr_t handle = slot.handle.exchange(kInvalidHandle);
    if (handle == kInvalidHandle)
        return false;
    // Waiting for the attempts in flight also means the device is really free when
    // Close returns, so an Open right after it (ours or another program's) succeeds.
    releaseWhenUnused(slot, handle);
    return true;
}

int SerialPort::WriteByte(uint8_t byte)
{
    static const std::atomic<bool> never { false };
    return WriteByte(byte, never);
}

int SerialPort::WriteByte(uint8_t byte, const std::atomic<bool> &giveUp)
{
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        if (giveUp.load(std::memory_order_relaxed))
            return 0;
        const Handle handle = hold();
        if (!handle)
            continue;
        if (backend::kHasErrorState)
            backend::ClearErrors(handle.value);
        if (backend::WriteAttempt(handle.value, byte))
            return 1;
    }
    return 0;
}

int SerialPort::ReadByte(uint8_t &byte)
{
    byte = 0;
    if (backend::kHasErrorState) {
        if (const Handle handle = hold())
            backend::ClearErrors(handle.value);
    }
    // A byte already waiting is taken before the clock is read at all: the budget
    // would start microseconds later, far below the clock's resolution, and the
    // clock reading is a good part of what a byte costs when data streams in.
    if (backend::kHasQuickRead) {
        const Handle handle = hold();
        if (handle && backend::QuickRead(handle.value, byte) == backend::Attempt::Byte)
            return 1;
    }
    const uint32_t start = backend::TickMs();
    for (;;) {
        if (backend::TickMs() - start > kReadBudgetMs)
            return 0;
        backend::Attempt result = backend::Attempt::Failed;
        {
            // Held for this one attempt only, so a Close in between takes effect at
            // the next attempt.
            const Handle handle = hold();
            if (handle) {
                if (backend::kHasErrorState)
                    backend::ClearErrors(handle.value);
                result = backend::ReadAttempt(handle.value, byte);
            }
        }
        if (result == backend::Attempt::Byte)
            return 1;
        // Without a device to wait on, an attempt returns at once; pausing keeps the
        // receive thread from spinning a core for the rest of the budget.
        if (result == backend::Attempt::Failed)
            backend::SleepOneMs();
    }
}

bool SerialPort::isOpen() const
{
    const int32_t port = FCurrentPort.load();
    return validPort(port) && FHandles[port - 1].handle.load() != kInvalidHandle;
}

bool SerialPort::lineErrors(LineErrorCounts &counts)
{
    const Handle handle = hold();
    return handle && backend::ReadLineErrors(handle.value, counts);
}

std::string SerialPort::lastError() const
{
    return m_lastError;
}

std::string SerialPort::DeviceName(int32_t port)
{
    if (!validPort(port))
        return {};
    return backend::DeviceName(port);
}
