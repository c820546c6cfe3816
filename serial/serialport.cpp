#include "serialport.h"

#include "controllines_backend.h"
#include "portbinding.h"
#include "portio.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

namespace backend = port_io;
using backend::kInvalidHandle;
using backend::kLostHandle;

SerialPort Port;

namespace {

constexpr int kWriteAttempts = 100;
// How long a device that has taken bytes may go without taking one before a write
// gives up on it: a slow drain slows the send down, only a stop ends it.
constexpr uint32_t kDrainPatienceMs = 5000;
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
    // Before the port reads as lost, so that its reason is there with it.
    backend::NoteDrop(handle.value);
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
        m_failure.kind = OpenFailure::Kind::BadNumber;
        m_failure.detail = "port number " + std::to_string(port) + " is outside 1..8";
        return false;
    }
    OpenFailure failure;
    const intptr_t handle = backend::OpenDevice(port, settings.baudRate, settings.parity,
        settings.stopBits, settings.dataBits, m_openLineOptions, failure);
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
    }
    // A read waiting on the old handle lets go of it, and one waiting for a device
    // (the port was closed or lost) takes the new one now.
    backend::Wake(m_waker);
    if (realHandle(previous)) {
        releaseWhenUnused(slot, previous);
    }
    // A device that is gone already is found out by the first transfer.
    static_cast<void>(backend::ClearErrors(handle));
    m_openLineStatus = backend::ApplyOpenOptions(handle, m_openLineOptions);
    m_failure = OpenFailure();
    m_openedSettings = settings;
    m_openedDevice = SerialPort::DeviceName(port);
    std::error_code error;
    const std::filesystem::path file = std::filesystem::canonical(m_openedDevice, error);
    // A network port's link names an address, not a file.
    m_openedFile = error ? PortBinding::mappedDevice(port) : file.string();
    m_tookSinceOpen.store(false);
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
        m_failure.kind = OpenFailure::Kind::Missing;
        m_failure.device = m_openedDevice;
        m_failure.detail = m_openedDevice + ": not there";
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
    const State now = state();
    // A network port says why it was lost; the next reconnect's failure replaces it.
    if (now == State::Lost && m_failure.kind == OpenFailure::Kind::None) {
        m_failure = backend::TakeDropReason();
    }
    return now;
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
    // Waiting for room is not a failure: a device that took a byte since it was
    // opened, and within kDrainPatienceMs, is draining and the write waits on. One
    // that has taken nothing gets the 100 attempts, and so does a port without a
    // handle (closed or lost), whose attempts fail at once.
    bool found = true;
    const auto draining = [this, &found] {
        const uint32_t last = m_lastTakenMs.load(std::memory_order_relaxed);
        return found && m_tookSinceOpen.load(std::memory_order_relaxed)
            && backend::TickMs() - last < kDrainPatienceMs;
    };
    for (int attempt = 0; attempt < kWriteAttempts || draining(); ++attempt) {
        if (giveUp.load(std::memory_order_relaxed)) {
            return 0;
        }
        intptr_t gone = kInvalidHandle;
        Slot *slot = nullptr;
        {
            const Handle handle = hold();
            found = static_cast<bool>(handle);
            if (!handle) {
                continue;
            }
            if (backend::kHasErrorState) {
                // A device that did not answer fails the write that follows.
                static_cast<void>(backend::ClearErrors(handle.value));
            }
            if (backend::WriteAttempt(handle.value, byte)) {
                m_lastTakenMs.store(backend::TickMs(), std::memory_order_relaxed);
                m_tookSinceOpen.store(true, std::memory_order_relaxed);
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

std::size_t SerialPort::WriteBytes(
    const uint8_t *data, std::size_t size, const std::atomic<bool> &giveUp)
{
    std::size_t written = 0;
    for (int idle = 0; written < size && idle < kWriteAttempts; ++idle) {
        if (giveUp.load(std::memory_order_relaxed)) {
            break;
        }
        intptr_t gone = kInvalidHandle;
        Slot *slot = nullptr;
        {
            const Handle handle = hold();
            if (!handle) {
                continue;
            }
            if (backend::kHasErrorState) {
                // A device that did not answer fails the write that follows.
                static_cast<void>(backend::ClearErrors(handle.value));
            }
            const std::size_t count
                = backend::WriteChunk(handle.value, data + written, size - written);
            if (count > 0) {
                m_lastTakenMs.store(backend::TickMs(), std::memory_order_relaxed);
                m_tookSinceOpen.store(true, std::memory_order_relaxed);
                written += count;
                idle = -1;
                continue;
            }
            gone = takeIfGone(handle);
            slot = handle.slot;
        }
        if (gone != kInvalidHandle) {
            releaseGone(*slot, gone);
        }
    }
    return written;
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

std::size_t SerialPort::TakeReadAhead(uint8_t *buffer, std::size_t size)
{
    if (m_readNext == m_readEnd) {
        return 0;
    }
    if (m_openGeneration.load() != m_readGeneration) {
        m_readNext = m_readEnd = 0;
        return 0;
    }
    const std::size_t count = std::min(size, m_readEnd - m_readNext);
    std::memcpy(buffer, m_readAhead.data() + m_readNext, count);
    m_readNext += count;
    return count;
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
        bool held = false;
        {
            // Held for this one attempt only, so a Close in between takes effect at
            // the next attempt; Close and Open wake an attempt that is waiting.
            const Handle handle = hold();
            held = static_cast<bool>(handle);
            if (handle) {
                std::size_t count = 0;
                // A device that does not even report its error state counts as a
                // failed attempt: under Wine a hung-up terminal shows itself only so,
                // while its reads go on finding nothing.
                result = backend::kHasErrorState && !backend::ClearErrors(handle.value)
                    ? backend::Attempt::Failed
                    : backend::ReadChunk(handle.value, m_waker, waitMs, m_readAhead.data(),
                        m_readAhead.size(), count);
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
        // Without a device to wait on, an attempt returns at once. A port with no
        // handle (closed, or its device gone) waits for the Open or Reconnect that
        // wakes it, so a reception left on costs next to nothing; a device that
        // refused gets a 1 ms pause, so the thread does not spin a core.
        if (result == backend::Attempt::Failed) {
            if (held) {
                backend::SleepOneMs();
            } else {
                backend::WaitForWake(m_waker, waitMs);
            }
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
    if (handle == kInvalidHandle) {
        return State::Closed;
    }
    if (backend::IsNetHandle(handle)) {
        // Held, so that a Close cannot release the link while it is asked.
        const Handle held(const_cast<Slot *>(&FHandles[port - 1]));
        // A link that failed is as good as lost; the watch's next look takes it out.
        const backend::LinkPhase phase
            = held ? backend::Phase(held.value) : backend::LinkPhase::Ready;
        if (phase == backend::LinkPhase::Connecting) {
            return State::Connecting;
        }
        if (phase == backend::LinkPhase::Failed) {
            return State::Lost;
        }
    }
    return State::Open;
}

bool SerialPort::lineErrors(LineErrorCounts &counts)
{
    const Handle handle = hold();
    return handle && backend::ReadLineErrors(handle.value, counts);
}

std::string SerialPort::lastError() const
{
    return lastFailure().detail;
}

OpenFailure SerialPort::lastFailure() const
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    const int32_t port = FCurrentPort.load();
    if (m_failure.kind != OpenFailure::Kind::None || !validPort(port)) {
        return m_failure;
    }
    // A network link that failed shows the port lost (state) before the watch takes
    // its reason: while it is in place, and once a transfer or a control call has
    // released it.
    if (FHandles[port - 1].handle.load() == kLostHandle) {
        return backend::DropReason();
    }
    const Handle held(const_cast<Slot *>(&FHandles[port - 1]));
    return held ? backend::LinkFailure(held.value) : m_failure;
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

void SerialPort::setOpenLineOptions(const OpenLineOptions &options)
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    m_openLineOptions = options;
}

OpenLineOptions SerialPort::openLineOptions() const
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    return m_openLineOptions;
}

Status SerialPort::openLineStatus() const
{
    const std::lock_guard<std::mutex> lock(m_openLock);
    return m_openLineStatus;
}

Status SerialPort::withOpenHandle(const std::function<Status(intptr_t)> &action)
{
    intptr_t gone = kInvalidHandle;
    Slot *slot = nullptr;
    Status result;
    {
        const Handle handle = hold();
        if (!handle) {
            return handle.value == kLostHandle ? Status(ErrorKind::Lost, "the device has gone away")
                                               : Status(ErrorKind::Invalid, "the port is not open");
        }
        result = action(handle.value);
        if (!result.ok()) {
            gone = takeIfGone(handle);
            slot = handle.slot;
        }
    }
    if (gone != kInvalidHandle) {
        releaseGone(*slot, gone);
        return { ErrorKind::Lost, result.reason() };
    }
    return result;
}

std::string SerialPort::DeviceName(int32_t port)
{
    if (!validPort(port)) {
        return {};
    }
    return backend::DeviceName(port);
}
