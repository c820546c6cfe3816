#pragma once

#include "controllines.h"
#include "lineerrors.h"
#include "openfailure.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

// The one serial port of the program, opened by its number 1..8 (COM1..COM8).
//
// Open and Close run on the user-interface thread, WriteByte on the send thread and
// ReadByte on the receive thread at the same time, without a lock: each transfer
// attempt fetches the current handle afresh, and a Close racing a transfer never
// lets it touch a descriptor the number of which was reused.
//
// Reading takes everything the device has waiting in one system call, keeps it in a
// read-ahead buffer and hands it out one byte per ReadByte call (where the backend
// reads ahead; on Win32 a chunk is one byte). The buffer belongs to the reading side
// alone: only ReadByte touches it, so ReadByte must not run on two threads at once.
// Open and Close never touch it; they move the open generation on instead, a counter
// that every Open (when it sets the port number, and again when it puts a new handle
// in place) and every Close (after taking the handle out) advances. The buffer is
// tagged with the generation read after its fill, while the fill still held the
// slot and found the same handle in it, and bytes are served only while the
// generation is unchanged. So a Close discards what was read ahead, as the system
// discards its own queue, and no byte read ahead from one device is delivered after
// a Close, an Open or a change of the port number, while the bytes of a device
// opened in the middle of a fill are kept.
//
// A read attempt waits for bytes on the device and on a wake-up that Open and Close
// send (where the backend has one, POSIX), so it can wait out the rest of the 50 ms
// budget in one go and still end at once when the port changes; without a wake-up
// every attempt waits at most 1 ms.
//
// Failures are results: Open returns false, WriteByte and ReadByte return 0.
// Nothing is shown to the user.
//
// A device that goes away while the port is open (an adapter pulled out) is noticed
// by the transfer that fails on it, or by CheckDevice: its handle is released and the
// port counts as lost. Reconnect opens a lost port again with the line settings it had;
// Close ends the lost state (the user no longer wants the port). Open, Close, CheckDevice
// and Reconnect may run on different threads; they take turns.
class SerialPort
{
public:
    static constexpr int kPortCount = 8;
    // The most one system call reads ahead.
    static constexpr std::size_t kReadAheadSize = 4096;

    enum class State {
        Closed, // not open: never opened, closed, or the last Open failed
        Open,
        Lost, // the device went away while open; Reconnect may bring it back
        Connecting, // a network port whose connection is still being made
    };

    // The arguments of an Open call.
    struct LineSettings
    {
        int32_t port = 0;
        int32_t baudRate = 0;
        uint8_t parity = 0;
        uint8_t stopBits = 0;
        uint8_t dataBits = 0;
    };

    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    // Opens port `port` (1..8) and applies baud rate, data bits, parity code
    // (0 none, 1 odd, 2 even, 3 mark, 4 space) and stop-bits code (0 one, 1 one and a
    // half, 2 two); every other line setting stays as the device had it. The port
    // number becomes the current port even when opening fails.
    bool Open(int32_t port, int32_t baudRate, uint8_t parity, uint8_t stopBits, uint8_t dataBits);
    // Closes the current port; false when it held no open handle (a lost port
    // counts as held: closing it ends the attempts to reopen it).
    bool Close();
    // Writes one byte: up to 100 attempts of at most 1 ms each, and more while the
    // device is draining (it took a byte since Open and within the last 5 s), so a
    // slow device slows the writer down. 1 on success, else 0.
    int WriteByte(uint8_t byte);
    // The same, but gives up (0, nothing written) before the next attempt once
    // `giveUp` is set, so that a writer on a line that does not drain can be
    // stopped within about one attempt. Any thread.
    int WriteByte(uint8_t byte, const std::atomic<bool> &giveUp);
    // Writes the `size` bytes of `data` in as few system calls as the device takes
    // them, for transfers of whole blocks; the same limit as WriteByte: gives up
    // after 100 attempts that wrote nothing, or once `giveUp` is set. How many bytes
    // went out, in order. Any thread.
    std::size_t WriteBytes(const uint8_t *data, std::size_t size, const std::atomic<bool> &giveUp);
    // Reads one byte: the next byte read ahead if there is one, else attempts of at
    // most 1 ms until bytes come or more than 50 ms have passed. 1 with the byte in
    // `byte`, else 0 with `byte` set to 0. Reading thread only (see above).
    int ReadByte(uint8_t &byte);
    // Reading side: whether bytes read ahead are still in hand, so that the next
    // ReadByte hands one out without asking the line.
    bool hasReadAhead() const { return m_readNext != m_readEnd; }
    // Hands out up to `size` bytes already read ahead, without a system call or a
    // wait; 0 when there are none. Reading thread only, like ReadByte.
    std::size_t TakeReadAhead(uint8_t *buffer, std::size_t size);

    int32_t currentPort() const { return FCurrentPort.load(); }
    bool isOpen() const;
    State state() const;
    // The operating system's text for the last failure of Open, for messages.
    std::string lastError() const;
    // How many times Open has succeeded; a change means the port was opened anew.
    uint64_t openCount() const { return m_openCount.load(); }
    // The line errors the driver has counted on the open port (POSIX: TIOCGICOUNT,
    // counted since the driver started; Win32: the errors ClearCommError reported
    // since the port was opened). False when the port is closed or the driver does
    // not count them (a pseudo-terminal). Any thread.
    bool lineErrors(LineErrorCounts &counts);
    // Why the last Open (or Reconnect) failed; Kind::None after one that succeeded.
    OpenFailure lastFailure() const;
    // The settings of the most recent Open call.
    LineSettings lastSettings() const;
    // The device file that the last successful Open reached (links followed); what a
    // lost port waits for.
    std::string openedDevice() const;

    // Asks whether the device of the open current port is still there; if it has
    // gone, releases it and marks the port lost. Returns the state afterwards.
    State CheckDevice();
    // When the current port is lost, opens its device again (the port's device is
    // looked up afresh) with the line settings that opened it before. True when the
    // port is open afterwards. Shows nothing; a failure is in lastFailure().
    bool Reconnect();

    // The device that port number `port` stands for on this system (on POSIX the
    // comN link in the settings folder if present, else /dev/ttyS<N-1>; on Windows
    // "COMn"). Empty for numbers outside 1..8.
    static std::string DeviceName(int32_t port);

    // What Open and Reconnect do besides the line settings: flow control, RS-485 and
    // the state of DTR and RTS (controllines_open.cpp). At the defaults they leave the
    // device as it is. Takes effect at the next Open.
    void setOpenLineOptions(const OpenLineOptions &options);
    OpenLineOptions openLineOptions() const;
    // What went wrong carrying those options out at the last successful Open (the
    // port is open all the same); success when nothing did.
    Status openLineStatus() const;
    // Runs `action` on the handle of the open current port, held as a transfer holds
    // it, so a Close waits for it. When the action fails because the device has gone,
    // the port counts as lost (as after a failed transfer) and the result is Lost.
    // Any thread; for calls that return at once.
    Status withOpenHandle(const std::function<Status(intptr_t)> &action);

    struct Handle; // one transfer attempt's hold on the handle of the current port

private:
    // One slot per port number: the platform's handle as one atomic word (-1, the
    // invalid value of POSIX descriptors and of Win32 handles alike, when closed)
    // and the number of transfer attempts holding the slot. Close takes the handle
    // out of the slot and releases it only once no attempt holds it, so no attempt
    // ever uses a released handle or a descriptor number that was reused.
    struct Slot
    {
        std::atomic<intptr_t> handle { -1 };
        std::atomic<int> users { 0 };
    };

    Handle hold();
    static void releaseWhenUnused(Slot &slot, intptr_t handle);
    // After a failed attempt on `handle`: when its device has gone, takes it out of
    // the slot (which then holds kLostHandle) and returns it for release once no
    // longer held; else the invalid value.
    static intptr_t takeIfGone(const Handle &handle);
    // Releases a handle that takeIfGone took out, waking a read waiting on it.
    void releaseGone(Slot &slot, intptr_t handle);
    bool openLocked(const LineSettings &settings);
    // Reading side: the next byte read ahead, if the generation still allows it.
    bool takeReadAhead(uint8_t &byte);
    // Reading side, while `handle` is still held: keeps the `count` bytes just read
    // into m_readAhead, unless a Close, an Open or a change of port raced the read.
    void keepReadAhead(const Handle &handle, std::size_t count);

    Slot FHandles[kPortCount];
    std::atomic<int32_t> FCurrentPort { 0 };
    std::atomic<uint64_t> m_openCount { 0 };
    // The writer's: when the device last took a byte, and whether it took one since
    // the last Open (which clears it).
    std::atomic<uint32_t> m_lastTakenMs { 0 };
    std::atomic<bool> m_tookSinceOpen { false };
    std::atomic<uint32_t> m_openGeneration { 0 };
    const intptr_t m_waker; // backend wake-up for waiting reads, or -1

    // Open, Close, CheckDevice and Reconnect one at a time; guards the members below.
    mutable std::mutex m_openLock;
    OpenFailure m_failure;
    LineSettings m_lastSettings;
    LineSettings m_openedSettings; // of the Open that succeeded last
    std::string m_openedDevice; // the device name that Open used then
    std::string m_openedFile; // and the device file it led to
    OpenLineOptions m_openLineOptions;
    Status m_openLineStatus;

    // Reading side only: bytes m_readNext..m_readEnd of m_readAhead are still to be
    // handed out, valid while m_openGeneration equals m_readGeneration.
    std::array<uint8_t, kReadAheadSize> m_readAhead {};
    std::size_t m_readNext = 0;
    std::size_t m_readEnd = 0;
    uint32_t m_readGeneration = 0;
};

extern SerialPort Port;
