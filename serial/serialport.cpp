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

SerialPort::SerialPort()
    : m_waker(backend::CreateWaker())
{ }

SerialPort::~SerialPort()
{
    for (Slot &slot : FHandles) {
        const intptr_t handle = slot.handle.exchange(kInvalidHandle);
        if (handle != kInvalidHandle) {
            backend::Wake(m_waker);
            releaseWhenUnused(slot, handle);
        }
    }
    backend::DestroyWaker(m_waker);
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
    // After the port number, before the new handle: a fill that sees the new handle
    // also reads the new generation, one that saw the old number does not.
    m_openGeneration.fetch_add(1);
    // A read waiting on the previous port's device looks again at once.
    backend::Wake(m_waker);
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
    if (previous != kInvalidHandle) {
        m_openGeneration.fetch_add(1);
        backend::Wake(m_waker);
        releaseWhenUnused(slot, previous);
    }
    backend::ClearErrors(handle);
    m_lastError.clear();
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
    // After the handle is out: a fill that still found it in the slot read the
    // generation before this.
    m_openGeneration.fetch_add(1);
    // A read waiting on the device ends now rather than at the end of its wait.
    backend::Wake(m_waker);
    // Waiting for the attempts in flight also means the device is really free when
    // Close returns, so an Open right after it (ours or another program's) succeeds.
    releaseWhenUnused(slot, handle);
    return true;
}

int SerialPort::WriteByte(uint8_t byte)
{
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
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

bool SerialPort::takeReadAhead(uint8_t &byte)
{
    if (m_readNext == m_readEnd)
        return false;
    if (m_openGeneration.load() != m_readGeneration) {
        m_readNext = m_readEnd = 0;
        return false;
    }
    byte = m_readAhead[m_readNext++];
    return true;
}

void SerialPort::keepReadAhead(const Handle &handle, std::size_t count)
{
    // In this order: the generation, then the port number and the handle. A Close
    // advances the generation only after taking the handle out, and an Open only
    // after setting the port number, so when both are still as the fill found them,
    // any later Close or Open changes the generation read here.
    const uint32_t generation = m_openGeneration.load();
    const int32_t port = FCurrentPort.load();
    const bool same = validPort(port) && handle.slot == &FHandles[port - 1]
        && handle.slot->handle.load() == handle.value;
    m_readNext = 0;
    m_readEnd = same ? count : 0;
    m_readGeneration = generation;
}

int SerialPort::ReadByte(uint8_t &byte)
{
    byte = 0;
    // While data streams in, most bytes come from here without a system call or a
    // clock reading.
    if (takeReadAhead(byte))
        return 1;
    if (backend::kHasErrorState) {
        if (const Handle handle = hold())
            backend::ClearErrors(handle.value);
    }
    const uint32_t start = backend::TickMs();
    for (;;) {
        const uint32_t elapsed = backend::TickMs() - start;
        if (elapsed > kReadBudgetMs)
            return 0;
        // With a wake-up for Open and Close, one attempt may wait out the rest of the
        // budget: a quiet line then costs one wake-up per call, not one per ms.
        const int waitMs
            = m_waker != kInvalidHandle ? static_cast<int>(kReadBudgetMs + 1 - elapsed) : 1;
        backend::Attempt result = backend::Attempt::Failed;
        {
            // Held for this one attempt only, so a Close in between takes effect at
            // the next attempt; Close and Open wake an attempt that is waiting.
            const Handle handle = hold();
            if (handle) {
                if (backend::kHasErrorState)
                    backend::ClearErrors(handle.value);
                std::size_t count = 0;
                result = backend::ReadChunk(
                    handle.value, m_waker, waitMs, m_readAhead.data(), m_readAhead.size(), count);
                if (result == backend::Attempt::Byte)
                    keepReadAhead(handle, count);
            }
        }
        if (result == backend::Attempt::Byte && takeReadAhead(byte))
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
