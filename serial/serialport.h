#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

// The one serial port of the program, opened by its number 1..8 (COM1..COM8).
//
// Open, Close and WriteByte run on the user-interface thread, ReadByte on the
// receive thread at the same time, without a lock: each transfer attempt fetches
// the current handle afresh, and a Close racing a read never lets that read touch
// a descriptor the number of which was reused.
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
class SerialPort
{
public:
    static constexpr int kPortCount = 8;
    // The most one system call reads ahead.
    static constexpr std::size_t kReadAheadSize = 4096;

    SerialPort();
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    // Opens port `port` (1..8) and applies baud rate, data bits, parity code
    // (0 none, 1 odd, 2 even, 3 mark, 4 space) and stop-bits code (0 one, 1 one and a
    // half, 2 two); every other line setting stays as the device had it. The port
    // number becomes the current port even when opening fails.
    bool Open(int32_t port, int32_t baudRate, uint8_t parity, uint8_t stopBits, uint8_t dataBits);
    // Closes the current port; false when it held no open handle.
    bool Close();
    // Writes one byte: up to 100 attempts of at most 1 ms each. 1 on success, else 0.
    int WriteByte(uint8_t byte);
    // Reads one byte: the next byte read ahead if there is one, else attempts of at
    // most 1 ms until bytes come or more than 50 ms have passed. 1 with the byte in
    // `byte`, else 0 with `byte` set to 0. Reading thread only (see above).
    int ReadByte(uint8_t &byte);

    int32_t currentPort() const { return FCurrentPort.load(); }
    bool isOpen() const;
    // The operating system's text for the last failure of Open, for messages.
    std::string lastError() const;

    // The device that port number `port` stands for on this system (on POSIX the
    // comN link in the settings folder if present, else /dev/ttyS<N-1>; on Windows
    // "COMn"). Empty for numbers outside 1..8.
    static std::string DeviceName(int32_t port);

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
    // Reading side: the next byte read ahead, if the generation still allows it.
    bool takeReadAhead(uint8_t &byte);
    // Reading side, while `handle` is still held: keeps the `count` bytes just read
    // into m_readAhead, unless a Close, an Open or a change of port raced the read.
    void keepReadAhead(const Handle &handle, std::size_t count);

    Slot FHandles[kPortCount];
    std::atomic<int32_t> FCurrentPort { 0 };
    std::atomic<uint32_t> m_openGeneration { 0 };
    const intptr_t m_waker; // backend wake-up for waiting reads, or -1
    std::string m_lastError;

    // Reading side only: bytes m_readNext..m_readEnd of m_readAhead are still to be
    // handed out, valid while m_openGeneration equals m_readGeneration.
    std::array<uint8_t, kReadAheadSize> m_readAhead {};
    std::size_t m_readNext = 0;
    std::size_t m_readEnd = 0;
    uint32_t m_readGeneration = 0;
};

extern SerialPort Port;
