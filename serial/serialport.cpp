#include "serialport.h"

#include "serialport_backend.h"

#include <chrono>
#include <thread>

namespace backend = serial_backend;

SerialPort Port;

namespace {

constexpr int kWriteAttempts = 100;
constexpr uint32_t kReadBudgetMs = 50;

bool validPort(int32_t port)
{
    return port >= 1 && port <= SerialPort::kPortCount;
}

} // namespace

SerialPort::SerialPort() = default;

SerialPort::~SerialPort() = default;

std::shared_ptr<SerialPort::Handle> SerialPort::handleOf(int32_t port) const
{
    if (!validPort(port))
        return nullptr;
    return FHandles[port - 1].load();
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
    std::shared_ptr<Handle> handle
        = backend::OpenDevice(port, baudRate, parity, stopBits, dataBits, error);
    if (!handle) {
        m_lastError = error;
        return false;
    }
    // The device is opened for exclusive use, so the slot is normally empty here; a
    // system that lets a second open through would drop the older handle.
    FHandles[port - 1].store(handle);
    backend::ClearErrors(*handle);
    m_lastError.clear();
    return true;
}

bool SerialPort::Close()
{
    const int32_t port = FCurrentPort.load();
    if (!validPort(port))
        return false;
    std::shared_ptr<Handle> handle = FHandles[port - 1].exchange(nullptr);
    if (!handle)
        return false;
    // A read or write attempt of another thread may still hold the handle for up to
    // about 1 ms. Waiting for it lets the device be really closed on return, so an
    // Open right after this (ours or another program's) finds it free. Should a
    // holder take longer, it closes the device itself when it lets go.
    using namespace std::chrono;
    const auto deadline = steady_clock::now() + milliseconds(200);
    while (handle.use_count() > 1 && steady_clock::now() < deadline)
        std::this_thread::sleep_for(microseconds(50));
    handle.reset();
    return true;
}

int SerialPort::WriteByte(uint8_t byte)
{
    for (int attempt = 0; attempt < kWriteAttempts; ++attempt) {
        std::shared_ptr<Handle> handle = handleOf(FCurrentPort.load());
        if (!handle)
            continue;
        backend::ClearErrors(*handle);
        if (backend::WriteAttempt(*handle, byte))
            return 1;
    }
    return 0;
}

int SerialPort::ReadByte(uint8_t &byte)
{
    byte = 0;
    if (std::shared_ptr<Handle> handle = handleOf(FCurrentPort.load()))
        backend::ClearErrors(*handle);
    const uint32_t start = backend::TickMs();
    for (;;) {
        if (backend::TickMs() - start > kReadBudgetMs)
            return 0;
        backend::Attempt result = backend::Attempt::Failed;
        {
            // The handle is held for this one attempt only, so a Close in between
            // takes effect at the next attempt.
            std::shared_ptr<Handle> handle = handleOf(FCurrentPort.load());
            if (handle) {
                backend::ClearErrors(*handle);
                result = backend::ReadAttempt(*handle, byte);
            }
        }
        if (result == backend::Attempt::Byte)
            return 1;
        // Without a device to wait on, an attempt would return at once; pausing keeps
        // the receive thread from spinning a core for the rest of the budget.
        if (result == backend::Attempt::Failed)
            backend::SleepOneMs();
    }
}

bool SerialPort::isOpen() const
{
    return handleOf(FCurrentPort.load()) != nullptr;
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
