#pragma once

#include "base/status.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

class TransferLink;

// The block protocols: XMODEM (checksum, CRC, 1K blocks) and YMODEM batch.
enum class ModemKind {
    XmodemChecksum, // 128-byte blocks, one-byte sum, asked for with NAK
    XmodemCrc, // 128-byte blocks, CRC-16, asked for with 'C'
    Xmodem1k, // 1024-byte blocks (128 for a short tail), CRC-16
    Ymodem, // batch of files: block 0 names each file and its size, 1K blocks, CRC-16
};

namespace modem {
constexpr uint8_t SOH = 0x01;
constexpr uint8_t STX = 0x02;
constexpr uint8_t EOT = 0x04;
constexpr uint8_t ACK = 0x06;
constexpr uint8_t NAK = 0x15;
constexpr uint8_t CAN = 0x18;
constexpr uint8_t CRC_REQUEST = 'C';
constexpr uint8_t PAD = 0x1A;

// CRC-16/XMODEM (polynomial 0x1021, initial 0).
[[nodiscard]] uint16_t Crc16(const uint8_t *data, std::size_t size);
// One data block as it goes on the line: header, number, its complement, the
// payload padded to `blockSize` with `pad`, then the sum or the CRC (high byte first).
[[nodiscard]] std::vector<uint8_t> Block(uint8_t number, const uint8_t *data, std::size_t size,
    std::size_t blockSize, bool crc, uint8_t pad = PAD);
// The YMODEM block 0 payload for a file: name, NUL, size in decimal, then (when
// either is known) the modification time in octal seconds since 1970 and the
// file's mode in octal, a Unix st_mode (an empty name ends the batch).
[[nodiscard]] std::vector<uint8_t> HeaderPayload(
    const std::string &name, int64_t size, int64_t modified = 0, uint32_t mode = 0);
// Reads a block 0 payload: the name as sent, the size (-1 when not given), the
// modification time and the mode (0 when not given).
struct Header
{
    std::string name;
    int64_t size = -1;
    int64_t modified = 0; // seconds since 1970, UTC
    uint32_t mode = 0; // st_mode: the type bits and the permissions
};
[[nodiscard]] Header ParseHeader(const uint8_t *payload, std::size_t size);
// A name from the far side made safe to create in the chosen folder: the last path
// component, control characters replaced; empty when nothing usable is left.
[[nodiscard]] std::string SafeFileName(const std::string &name);
} // namespace modem

// Time-outs and limits of one transfer. The defaults are the customary ones.
struct ModemTimeouts
{
    int startMs = 60000; // sender: waiting for the receiver's first request
    int answerMs = 10000; // waiting for ACK/NAK, or for the next block
    int byteMs = 1000; // between two bytes of one block
    int requestMs = 3000; // receiver: between two requests before the first block
    int quietMs = 300; // a purge ends once the line was quiet this long
    int maxRetries = 10; // tries of one block
};

// What the user interface shows while a transfer runs. Written by the transfer's
// thread, read by any.
struct TransferProgress
{
    std::atomic<int64_t> done { 0 }; // bytes of the current file
    std::atomic<int64_t> total { -1 }; // its size, -1 when unknown
    std::atomic<int> retries { 0 }; // repeated blocks so far
    std::atomic<int> files { 0 }; // files completed

    void setName(std::string name)
    {
        std::lock_guard lock(m_mutex);
        m_name = std::move(name);
    }
    [[nodiscard]] std::string name() const
    {
        std::lock_guard lock(m_mutex);
        return m_name;
    }

private:
    mutable std::mutex m_mutex;
    std::string m_name;
};

// A file that arrived complete: kept under a temporary name in the chosen folder
// until CommitReceived gives it its own.
struct ReceivedFile
{
    std::filesystem::path temporary;
    std::string name; // as the far side named it (safe), or the name the user gave
    int64_t size = 0;
    int64_t declared = -1; // the size the YMODEM header gave, -1 when none

    // Fewer bytes came than the header declared: the sender ended the file early.
    [[nodiscard]] bool isShort() const { return declared >= 0 && size < declared; }
};

// Sends `files` (one for XMODEM) over `link`. A cancel (the link's mark) sends CAN
// CAN; a CAN CAN from the far side ends with Cancelled. Transfer thread.
[[nodiscard]] Status ModemSend(TransferLink &link, ModemKind kind,
    const std::vector<std::filesystem::path> &files, const ModemTimeouts &timeouts,
    TransferProgress &progress);

// Receives into `folder`. XMODEM has no names: its one file is called `xmodemName`.
// Each file that ended properly is added to `received` under a temporary name of
// its own (".byteway-N.part", created only where nothing is, so a link planted there
// is never followed); a file that did not is removed, and the failure names it. A
// YMODEM file takes the modification time and the permission bits its header gives
// (narrowed by the umask); one that ended before its declared size keeps the bytes
// that came, without the last block's padding (see ReceivedFile::isShort).
// Transfer thread.
[[nodiscard]] Status ModemReceive(TransferLink &link, ModemKind kind,
    const std::filesystem::path &folder, const std::string &xmodemName,
    const ModemTimeouts &timeouts, TransferProgress &progress, std::vector<ReceivedFile> &received);

// Gives a received file its name in `folder`. An existing file of that name is
// replaced only when `replace` is set; otherwise the result is Busy and the
// temporary file stays.
[[nodiscard]] Status CommitReceived(
    const ReceivedFile &file, const std::filesystem::path &folder, bool replace);
// `name` in `folder`, or "stem (2).ext" and so on when taken.
[[nodiscard]] std::string FreeName(const std::filesystem::path &folder, const std::string &name);
