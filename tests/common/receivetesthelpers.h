#pragma once

#include "document/memorydocument.h"
#include "ptyport.h"
#include "receive/receiveengine.h"
#include "settings/settingsvalues.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

// A reception from a real pseudo-terminal into a MemoryDocument. The test thread
// plays the user-interface thread: it waits on a condition variable that the
// receive thread's notify signals and carries out the waiting changes.
class Reception
{
public:
    Reception()
        : engine(
            settings, [this](uint8_t &byte) { return pty.port.ReadByte(byte); }, [this] { wake(); },
            queueCapacity)
    { }
    ~Reception() { engine.Stop(&doc); }

    // Carries out the waiting changes until `done` holds or 20 s have passed: a
    // bound for a test that fails, wide enough for ThreadSanitizer on a busy machine.
    bool pumpUntil(const std::function<bool()> &done)
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline) {
                return false;
            }
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait_for(lock, std::chrono::milliseconds(10), [this] { return m_notified; });
                m_notified = false;
            }
            engine.ApplyPending(target);
        }
        return true;
    }
    // Carries out changes until the document holds at least `size` bytes.
    bool pumpUntilSize(std::size_t size)
    {
        return pumpUntil([&] { return doc.text().size() >= size; });
    }
    int notifications() const
    {
        std::lock_guard lock(m_mutex);
        return m_notifyCount;
    }

    static constexpr std::size_t queueCapacity = 256;
    PtyPort pty;
    SettingsValues settings;
    MemoryDocument doc;
    DocumentOps *target = &doc;
    ReceiveEngine engine;

private:
    void wake()
    {
        {
            std::lock_guard lock(m_mutex);
            m_notified = true;
            ++m_notifyCount;
        }
        m_wake.notify_one();
    }

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_notified = false;
    int m_notifyCount = 0;
};

// The bytes first..last, in order.
inline std::string ByteRun(int first, int last)
{
    std::string bytes;
    for (int value = first; value <= last; ++value) {
        bytes.push_back(static_cast<char>(value));
    }
    return bytes;
}
