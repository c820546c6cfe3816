#include "serialport.h"

#include "serialport_backend.h"

#include <chrono>
#include <filesystem>
#include <thread>

namespace backend = serial_backend;
using backend::kInvalidHandle;
using backend::kLostHandle;

SerialPort Port;

namespace {

constexpr int kWriteAttempts = 100;
constexpr uint32_t kReadBudgetMs = 50;

bool validPort(int32_t port)
{
    return port >= 1 && port <= SerialPort::kPortCount;
}

bool realHandle(intptr_t handle)
{
    return handle != kInvalidHandle && handle != kLostHandle;
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
        if (slot) {
            slot->users.fetch_sub(1);
        }
    }
    Handle(const Handle &) = delete;
    Handle &operator=(const Handle &) = delete;

    explicit operator bool() const { return realHandle(value); }

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
        if (realHandle(handle)) {
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
    while (slot.users.load() != 0) {
        std::this_thread::sleep_for(std::chrono::microseconds(20));
    }
    backend::CloseDevice(handle);
}

intptr_t SerialPort::takeIfGone(const Handle &handle)
{
    if (!handle || !backend::DeviceGone(handle.value)) {
        return kInvalidHandle;
    }
    // While this attempt holds the handle nobody can release it, so its number cannot
    // have been reused: the exchange only succeeds on the very handle that failed. Of
    // several threads noticing at once, one takes it; a Close in between wins.
    intptr_t expected = handle.value;
    return handle.slot->handle.compare_exchange_strong(expected, kLostHandle) ? handle.value
                                                                              : kInvalidHandle;
}

void SerialPort::releaseGone(Slot &slot, intptr_t handle)
{
    // A read may be waiting on the gone device for the rest of its budget.
    backend::Wake(m_waker);
    releaseWhenUnused(slot, handle);
}

bool SerialPort::Open(
    int32_t port, int32_t baudRate, uint8_t parity, uint8_t stopBits, uint8_t dataBits)
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    FCurrentPort.store(port);
    // After the port number, before the new handle: a fill that sees the new handle
    // also reads the new generation, one that saw the old number does not.
    m_openGeneration.fetch_add(1);
    // A read waiting on the previous port's device looks again at once.
    backend::Wake(m_waker);
    m_lastSettings = { port, baudRate, parity, stopBits, dataBits };
    return openLocked(m_lastSettings);
}

bool SerialPort::openLocked(const LineSettings &settings)
{
    const int32_t port = settings.port;
    if (!validPort(port)) {
        m_failure = OpenFailure();
        m_failure.status = Status(
            ErrorKind::Invalid, "port number " + std::to_string(port) + " is outside 1..8");
        return false;
    }
    OpenFailure failure;
    const intptr_t handle = backend::OpenDevice(
        port, settings.baudRate, settings.parity, settings.stopBits, settings.dataBits, failure);
    if (handle == kInvalidHandle) {
        m_failure = failure;
        return false;
    }
    // The device is opened for exclusive use, so the slot is normally empty (or lost)
    // here; a system that lets a second open through gets the older handle released.
    Slot &slot = FHandles[port - 1];
    const intptr_t previous = slot.handle.exchange(handle);
    if (realHandle(previous)) {
        m_openGeneration.fetch_add(1);
        backend::Wake(m_waker);
        releaseWhenUnused(slot, previous);
    }
    backend::ClearErrors(handle);
    m_failure = OpenFailure();
    m_openedSettings = settings;
    m_openedDevice = SerialPort::DeviceName(port);
    std::error_code error;
    const std::filesystem::path file = std::filesystem::canonical(m_openedDevice, error);
    m_openedFile = error ? m_openedDevice : file.string();
    m_openCount.fetch_add(1);
    return true;
}

bool SerialPort::Reconnect()
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    const int32_t port = FCurrentPort.load();
    if (!validPort(port)) {
        return false;
    }
    const intptr_t held = FHandles[port - 1].handle.load();
    if (held != kLostHandle) {
        return realHandle(held);
    }
    // Lost implies that this port number opened with these settings before. Only
    // the device that was open comes back: when its link has gone, the number would
    // fall back to another device, which must not be opened in its place.
    if (SerialPort::DeviceName(port) != m_openedDevice) {
        m_failure = OpenFailure();
        m_failure.status = Status(ErrorKind::NotFound, m_openedDevice + ": not there");
        m_failure.device = m_openedDevice;
        return false;
    }
    return openLocked(m_openedSettings);
}

SerialPort::State SerialPort::CheckDevice()
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    intptr_t gone = kInvalidHandle;
    Slot *slot = nullptr;
    {
        const Handle handle = hold();
        gone = takeIfGone(handle);
        slot = handle.slot;
    }
    if (gone != kInvalidHandle) {
        releaseGone(*slot, gone);
    }
    return state();
}

bool SerialPort::Close()
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    const int32_t port = FCurrentPort.load();
    if (!validPort(port)) {
        return false;
    }
    Slot &slot = FHandles[port - 1];
    // A lost port becomes a closed one that nothing brings back; as far as the user
    // can tell it was open, so closing it counts like closing an open one.
    const intptr_t handle = slot.handle.exchange(kInvalidHandle);
    if (handle == kLostHandle) {
        return true;
    }
    if (handle == kInvalidHandle) {
        return false;
    }
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
    static const std::atomic<bool> never { false };
    return WriteByte(byte, never);
}

int SerialPort::WriteByte(uint8_t byte, const std::atomic<bool> &giveUp)
{
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        if (giveUp.load(std::memory_order_relaxed)) {
            return 0;
        }
        intptr_t gone = kInvalidHandle;
        Slot *slot = nullptr;
        {
            const Handle handle = hold();
            if (!handle) {
                continue;
            }
            if (backend::kHasErrorState) {
                backend::ClearErrors(handle.value);
            }
            if (backend::WriteAttempt(handle.value, byte)) {
                return 1;
            }
            gone = takeIfGone(handle);
            slot = handle.slot;
        }
        // The rest of the attempts find no handle and fail at once.
        if (gone != kInvalidHandle) {
            releaseGone(*slot, gone);
        }
    }
    return 0;
}

bool SerialPort::takeReadAhead(uint8_t &byte)
{
    if (m_readNext == m_readEnd) {
        return false;
    }
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
    if (takeReadAhead(byte)) {
        return 1;
    }
    if (backend::kHasErrorState) {
        if (const Handle handle = hold()) {
            backend::ClearErrors(handle.value);
        }
    }
    const uint32_t start = backend::TickMs();
    for (;;) {
        const uint32_t elapsed = backend::TickMs() - start;
        if (elapsed > kReadBudgetMs) {
            return 0;
        }
        // With a wake-up for Open and Close, one attempt may wait out the rest of the
        // budget: a quiet line then costs one wake-up per call, not one per ms.
        const int waitMs
            = m_waker != kInvalidHandle ? static_cast<int>(kReadBudgetMs + 1 - elapsed) : 1;
        backend::Attempt result = backend::Attempt::Failed;
        intptr_t gone = kInvalidHandle;
        Slot *slot = nullptr;
        {
            // Held for this one attempt only, so a Close in between takes effect at
            // the next attempt; Close and Open wake an attempt that is waiting.
            const Handle handle = hold();
            if (handle) {
                if (backend::kHasErrorState) {
                    backend::ClearErrors(handle.value);
                }
                std::size_t count = 0;
                result = backend::ReadChunk(
                    handle.value, m_waker, waitMs, m_readAhead.data(), m_readAhead.size(), count);
                if (result == backend::Attempt::Byte) {
                    keepReadAhead(handle, count);
                }
                if (result == backend::Attempt::Failed) {
                    gone = takeIfGone(handle);
                    slot = handle.slot;
                }
            }
        }
        if (result == backend::Attempt::Byte && takeReadAhead(byte)) {
            return 1;
        }
        if (gone != kInvalidHandle) {
            releaseGone(*slot, gone);
        }
        // Without a device to wait on, an attempt returns at once; pausing keeps the
        // receive thread from spinning a core for the rest of the budget.
        if (result == backend::Attempt::Failed) {
            backend::SleepOneMs();
        }
    }
}

bool SerialPort::isOpen() const
{
    return state() == State::Open;
}

SerialPort::State SerialPort::state() const
{
    const int32_t port = FCurrentPort.load();
    if (!validPort(port)) {
        return State::Closed;
    }
    const intptr_t handle = FHandles[port - 1].handle.load();
    if (handle == kLostHandle) {
        return State::Lost;
    }
    return handle == kInvalidHandle ? State::Closed : State::Open;
}

bool SerialPort::lineErrors(LineErrorCounts &counts)
{
    const Handle handle = hold();
    return handle && backend::ReadLineErrors(handle.value, counts);
}

std::string SerialPort::lastError() const
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    return m_failure.status.reason();
}

OpenFailure SerialPort::lastFailure() const
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    return m_failure;
}

std::string SerialPort::openedDevice() const
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    return m_openedFile;
}

SerialPort::LineSettings SerialPort::lastSettings() const
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    return m_lastSettings;
}

std::string SerialPort::DeviceName(int32_t port)
{
    if (!validPort(port)) {
        return {};
    }
    return backend::DeviceName(port);
}
