#include "modem.h"

#include "newfile.h"
#include "transferlink.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <system_error>

namespace modem {

uint16_t Crc16(const uint8_t *data, std::size_t size)
{
    uint16_t crc = 0;
    for (std::size_t i = 0; i < size; ++i) {
        crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) != 0 ? static_cast<uint16_t>((crc << 1) ^ 0x1021)
                                      : static_cast<uint16_t>(crc << 1);
        }
    }
    return crc;
}

std::vector<uint8_t> Block(uint8_t number, const uint8_t *data, std::size_t size,
    std::size_t blockSize, bool crc, uint8_t pad)
{
    std::vector<uint8_t> block;
    block.reserve(blockSize + 5);
    block.push_back(blockSize == 1024 ? STX : SOH);
    block.push_back(number);
    block.push_back(static_cast<uint8_t>(~number));
    block.insert(block.end(), data, data + size);
    block.resize(3 + blockSize, pad);
    const uint8_t *payload = block.data() + 3;
    if (crc) {
        const uint16_t sum = Crc16(payload, blockSize);
        block.push_back(static_cast<uint8_t>(sum >> 8));
        block.push_back(static_cast<uint8_t>(sum & 0xFF));
    } else {
        uint8_t sum = 0;
        for (std::size_t i = 0; i < blockSize; ++i) {
            sum = static_cast<uint8_t>(sum + payload[i]);
        }
        block.push_back(sum);
    }
    return block;
}

std::vector<uint8_t> HeaderPayload(
    const std::string &name, int64_t size, int64_t modified, uint32_t mode)
{
    std::vector<uint8_t> payload(name.begin(), name.end());
    payload.push_back(0);
    if (!name.empty()) {
        std::string fields = std::to_string(size);
        if (modified > 0 || mode != 0) {
            char text[48];
            std::snprintf(text, sizeof text, " %llo %o",
                static_cast<unsigned long long>(std::max<int64_t>(modified, 0)), mode);
            fields += text;
        }
        payload.insert(payload.end(), fields.begin(), fields.end());
    }
    return payload;
}

Header ParseHeader(const uint8_t *payload, std::size_t size)
{
    Header header;
    std::size_t i = 0;
    while (i < size && payload[i] != 0) {
        header.name.push_back(static_cast<char>(payload[i++]));
    }
    ++i;
    int64_t value = 0;
    bool digits = false;
    for (; i < size && payload[i] >= '0' && payload[i] <= '9' && value < (int64_t(1) << 52); ++i) {
        value = value * 10 + (payload[i] - '0');
        digits = true;
    }
    header.size = digits ? value : -1;
    // Then, each after a space: the time and the mode in octal.
    const auto octal = [&](uint64_t limit) {
        while (i < size && payload[i] == ' ') {
            ++i;
        }
        uint64_t number = 0;
        for (; i < size && payload[i] >= '0' && payload[i] <= '7' && number < limit; ++i) {
            number = number * 8 + uint64_t(payload[i] - '0');
        }
        return std::min(number, limit);
    };
    if (digits) {
        header.modified = static_cast<int64_t>(octal(uint64_t(1) << 40));
        header.mode = static_cast<uint32_t>(octal(0xFFFFFFFFu));
    }
    return header;
}

std::string SafeFileName(const std::string &name)
{
    const std::size_t slash = name.find_last_of("/\\");
    std::string base = slash == std::string::npos ? name : name.substr(slash + 1);
    for (char &c : base) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F || c == ':' || c == '*' || c == '?' || c == '"' || c == '<'
            || c == '>' || c == '|') {
            c = '_';
        }
    }
    if (base == "." || base == "..") {
        return {};
    }
    return base;
}

} // namespace modem

using namespace modem;

namespace {

constexpr std::size_t kCancelLength = 5;

// The pieces both directions share: the link, the limits, the cancel handshake.
class Session
{
public:
    Session(TransferLink &link, const ModemTimeouts &timeouts, TransferProgress &progress)
        : m_link(link)
        , m_timeouts(timeouts)
        , m_progress(progress)
    { }

    Status send(const std::vector<uint8_t> &bytes)
    {
        return m_link.write(bytes.data(), bytes.size());
    }
    Status sendByte(uint8_t byte) { return m_link.write(&byte, 1); }
    bool read(uint8_t &byte, int timeoutMs) { return m_link.read(byte, timeoutMs); }

    // After a CAN: a second one within a second means the far side cancelled.
    bool secondCan()
    {
        uint8_t next = 0;
        return read(next, m_timeouts.byteMs) && next == CAN;
    }
    // Ends the transfer from this side: CAN CAN (and a few more, as line noise may eat
    // one), then the reason.
    Status abort(Status why)
    {
        const std::vector<uint8_t> cancel(kCancelLength, CAN);
        (void)send(cancel);
        return why;
    }
    // The user's cancel, when the mark is set.
    bool userCancelled() const { return m_link.cancelled(); }
    Status userCancel() { return abort({ ErrorKind::Cancelled, "cancelled" }); }
    static Status farCancel() { return { ErrorKind::Cancelled, "the far side cancelled" }; }
    // Reads until the line has been quiet for a while, so that a block is asked
    // for again only once the rest of a broken one has passed. A line that never
    // falls quiet ends the purge after the time an answer may take, and the user's
    // cancel ends it at once.
    void purge()
    {
        const auto end
            = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_timeouts.answerMs);
        uint8_t byte = 0;
        while (!userCancelled() && read(byte, m_timeouts.quietMs)
            && std::chrono::steady_clock::now() < end) { }
    }

    TransferLink &m_link;
    const ModemTimeouts &m_timeouts;
    TransferProgress &m_progress;
};

class Sender : public Session
{
public:
    using Session::Session;

    // Waits for the receiver's 'C' or NAK; `crc` tells which came.
    Status waitRequest(int timeoutMs, bool &crc)
    {
        const int rounds = std::max(1, timeoutMs / m_timeouts.byteMs);
        for (int round = 0; round < rounds; ++round) {
            uint8_t byte = 0;
            if (userCancelled()) {
                return userCancel();
            }
            if (!read(byte, m_timeouts.byteMs)) {
                continue;
            }
            if (byte == CRC_REQUEST || byte == NAK) {
                crc = byte == CRC_REQUEST;
                return {};
            }
            if (byte == CAN && secondCan()) {
                return farCancel();
            }
        }
        if (userCancelled()) {
            return userCancel();
        }
        return abort({ ErrorKind::Timeout, "the receiver did not ask for data" });
    }

    // Sends one packet until the receiver acknowledges it.
    Status sendPacket(const std::vector<uint8_t> &packet, const std::string &what)
    {
        for (int attempt = 0; attempt < m_timeouts.maxRetries; ++attempt) {
            if (attempt > 0) {
                m_progress.retries.fetch_add(1, std::memory_order_relaxed);
            }
            if (userCancelled()) {
                return userCancel();
            }
            if (Status sent = send(packet); !sent) {
                return sent;
            }
            const Answer answer = waitAnswer();
            if (answer == Answer::Ack) {
                return {};
            }
            if (answer == Answer::Cancelled) {
                return farCancel();
            }
            if (answer == Answer::UserCancel) {
                return userCancel();
            }
        }
        return abort({ ErrorKind::Timeout,
            what + " was not acknowledged after " + std::to_string(m_timeouts.maxRetries)
                + " tries" });
    }

    Status sendFile(const std::filesystem::path &path, bool crc, bool oneK, uint8_t firstNumber)
    {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            return abort({ ErrorKind::NotFound, "cannot read " + path.string() });
        }
        std::vector<uint8_t> data(1024);
        uint8_t number = firstNumber;
        int64_t done = 0;
        // Read ahead one block so the tail block's size is known before it goes.
        std::vector<uint8_t> pending;
        auto fill = [&]() {
            while (pending.size() < 1024 && in) {
                in.read(
                    reinterpret_cast<char *>(data.data()), 1024 - std::streamsize(pending.size()));
                pending.insert(pending.end(), data.begin(), data.begin() + in.gcount());
            }
        };
        fill();
        if (in.bad()) {
            return abort({ ErrorKind::Io, "cannot read " + path.string() });
        }
        while (!pending.empty()) {
            // 1K blocks where they save more than they pad; the tail goes in 128s.
            const std::size_t blockSize = oneK && crc && pending.size() > 896 ? 1024 : 128;
            const std::size_t take = std::min(blockSize, pending.size());
            const std::vector<uint8_t> packet = Block(number, pending.data(), take, blockSize, crc);
            if (Status sent = sendPacket(packet, "block " + std::to_string(number)); !sent) {
                return sent;
            }
            done += int64_t(take);
            m_progress.done.store(done, std::memory_order_relaxed);
            pending.erase(pending.begin(), pending.begin() + std::ptrdiff_t(take));
            ++number;
            fill();
            if (in.bad()) {
                return abort({ ErrorKind::Io, "cannot read " + path.string() });
            }
        }
        return sendEot();
    }

    Status sendEot() { return sendPacket({ EOT }, "the end of the file"); }

private:
    enum class Answer { Ack, Nak, Cancelled, UserCancel, None };

    Answer waitAnswer()
    {
        const int rounds = std::max(1, m_timeouts.answerMs / m_timeouts.byteMs);
        for (int round = 0; round < rounds; ++round) {
            uint8_t byte = 0;
            if (userCancelled()) {
                return Answer::UserCancel;
            }
            if (!read(byte, m_timeouts.byteMs)) {
                continue;
            }
            if (byte == ACK) {
                return Answer::Ack;
            }
            if (byte == NAK || byte == CRC_REQUEST) {
                return Answer::Nak;
            }
            if (byte == CAN && secondCan()) {
                return Answer::Cancelled;
            }
        }
        return userCancelled() ? Answer::UserCancel : Answer::None;
    }
};

// A received file under a temporary name of its own in the folder; removed unless
// kept.
class PartFile
{
public:
    PartFile() = default;
    ~PartFile()
    {
        if (m_file != nullptr) {
            std::fclose(m_file);
        }
        if (!m_kept && !m_path.empty()) {
            std::error_code ignored;
            std::filesystem::remove(m_path, ignored);
        }
    }
    PartFile(const PartFile &) = delete;
    PartFile &operator=(const PartFile &) = delete;

    // ".byteway-N.part" with the first N at which nothing is: short whatever the
    // file's own name, and never a file or link that was there before.
    Status create(const std::filesystem::path &folder, unsigned permissions)
    {
        for (int n = 1; n <= 1000; ++n) {
            const std::filesystem::path path = folder / (".byteway-" + std::to_string(n) + ".part");
            int error = 0;
            m_file = CreateNewFile(path, permissions, error);
            if (m_file != nullptr) {
                m_path = path;
                return {};
            }
            if (error != EEXIST) {
                return Status::FromErrno(error, "cannot create " + path.string());
            }
        }
        return { ErrorKind::Busy, "no free temporary name in " + folder.string() };
    }
    bool write(const uint8_t *data, std::size_t size)
    {
        return size == 0 || std::fwrite(data, 1, size, m_file) == size;
    }
    bool keep()
    {
        const bool flushed = std::fflush(m_file) == 0;
        const bool closed = std::fclose(m_file) == 0;
        m_file = nullptr;
        m_kept = flushed && closed;
        return m_kept;
    }
    const std::filesystem::path &path() const { return m_path; }

private:
    std::filesystem::path m_path;
    std::FILE *m_file = nullptr;
    bool m_kept = false;
};

class Receiver : public Session
{
public:
    using Session::Session;

    enum class Got { Block, Eot, Cancelled, UserCancel, Bad, Silence };

    // Reads one packet: header, number and complement, payload and check.
    Got readPacket(int waitMs, bool crc, uint8_t &number, std::vector<uint8_t> &payload)
    {
        uint8_t byte = 0;
        const int rounds = std::max(1, waitMs / m_timeouts.byteMs);
        int round = 0;
        for (;;) {
            if (userCancelled()) {
                return Got::UserCancel;
            }
            if (!read(byte, m_timeouts.byteMs)) {
                if (++round >= rounds) {
                    return userCancelled() ? Got::UserCancel : Got::Silence;
                }
                continue;
            }
            if (byte == SOH || byte == STX) {
                break;
            }
            if (byte == EOT) {
                return Got::Eot;
            }
            if (byte == CAN && secondCan()) {
                return Got::Cancelled;
            }
        }
        const std::size_t size = byte == STX ? 1024 : 128;
        std::vector<uint8_t> packet(2 + size + (crc ? 2 : 1));
        for (uint8_t &slot : packet) {
            if (!read(slot, m_timeouts.byteMs)) {
                return userCancelled() ? Got::UserCancel : Got::Bad;
            }
        }
        if (static_cast<uint8_t>(packet[0] ^ packet[1]) != 0xFF) {
            return Got::Bad;
        }
        const uint8_t *data = packet.data() + 2;
        if (crc) {
            const uint16_t sum = Crc16(data, size);
            if (packet[2 + size] != (sum >> 8) || packet[3 + size] != (sum & 0xFF)) {
                return Got::Bad;
            }
        } else {
            uint8_t sum = 0;
            for (std::size_t i = 0; i < size; ++i) {
                sum = static_cast<uint8_t>(sum + data[i]);
            }
            if (packet[2 + size] != sum) {
                return Got::Bad;
            }
        }
        number = packet[0];
        payload.assign(data, data + size);
        return Got::Block;
    }

    // Receives blocks `first`, `first`+1, ... until EOT, handing each payload to
    // `store`, which may set `last` to end after this block's ACK. The first request is `request`
    // ('C' or NAK); a receiver asking with 'C' falls back to NAK (checksums) after three unanswered
    // requests when `fallback`. `nakFirstEot` asks for an EOT twice, as YMODEM does, so that noise
    // taken for EOT cannot end a file.
    template <class Store>
    Status receiveBlocks(uint8_t first, bool &crc, bool fallback, bool nakFirstEot, Store store)
    {
        uint8_t expected = first;
        bool started = false;
        bool eotSeen = false;
        int errors = 0;
        uint8_t reply = crc ? CRC_REQUEST : NAK;
        std::vector<uint8_t> payload;
        for (;;) {
            if (Status sent = sendByte(reply); !sent) {
                return sent;
            }
            uint8_t number = 0;
            const Got got = readPacket(
                started ? m_timeouts.answerMs : m_timeouts.requestMs, crc, number, payload);
            switch (got) {
            case Got::UserCancel:
                return userCancel();
            case Got::Cancelled:
                return farCancel();
            case Got::Eot:
                if (nakFirstEot && !eotSeen) {
                    eotSeen = true;
                    reply = NAK;
                    continue;
                }
                return sendByte(ACK);
            case Got::Block:
                eotSeen = false;
                if (number == expected) {
                    bool last = false;
                    if (Status stored = store(payload, last); !stored) {
                        return abort(stored);
                    }
                    if (last) {
                        return sendByte(ACK);
                    }
                    started = true;
                    errors = 0;
                    ++expected;
                    reply = ACK;
                    continue;
                }
                if (number == static_cast<uint8_t>(expected - 1)) {
                    // Our ACK was lost: the sender repeats the block we have. A repeated
                    // YMODEM header means the request for data was lost too.
                    reply = ACK;
                    if (!started && number == 0) {
                        (void)sendByte(ACK);
                        reply = CRC_REQUEST;
                    }
                    continue;
                }
                return abort({ ErrorKind::Io,
                    "block " + std::to_string(number) + " came where block "
                        + std::to_string(expected) + " was due" });
            case Got::Bad:
            case Got::Silence:
                break;
            }
            if (++errors >= m_timeouts.maxRetries) {
                return abort({ ErrorKind::Timeout,
                    started ? "block " + std::to_string(expected) + " failed "
                            + std::to_string(errors) + " times"
                            : std::string("the sender did not start") });
            }
            if (got == Got::Bad) {
                m_progress.retries.fetch_add(1, std::memory_order_relaxed);
                purge();
            }
            if (!started && crc && fallback && errors >= 3 && got == Got::Silence) {
                crc = false;
            }
            reply = started ? NAK : (crc ? CRC_REQUEST : NAK);
        }
    }
};

// The failure of one file of a batch says which file it was.
Status OfFile(const std::string &name, const Status &status)
{
    if (status.ok() || status.kind() == ErrorKind::Cancelled) {
        return status;
    }
    return { status.kind(), name + ": " + status.reason() };
}

// Gives a kept file the modification time its header carried.
void SetModified(const std::filesystem::path &path, int64_t seconds)
{
    if (seconds <= 0) {
        return;
    }
    const auto at = std::chrono::file_clock::from_sys(
        std::chrono::sys_seconds(std::chrono::seconds(seconds)));
    std::error_code ignored;
    std::filesystem::last_write_time(path, at, ignored);
}

constexpr unsigned kNewFilePermissions = 0666;

Status ReceiveXmodem(Receiver &receiver, bool crc, const std::filesystem::path &folder,
    const std::string &name, TransferProgress &progress, std::vector<ReceivedFile> &received)
{
    PartFile file;
    if (Status created = file.create(folder, kNewFilePermissions); !created) {
        return receiver.abort(created);
    }
    progress.setName(name);
    progress.total.store(-1);
    int64_t done = 0;
    Status status = receiver.receiveBlocks(
        1, crc, true, false, [&](const std::vector<uint8_t> &data, bool &) {
            if (!file.write(data.data(), data.size())) {
                return Status(ErrorKind::Io, "cannot write " + file.path().string());
            }
            done += int64_t(data.size());
            progress.done.store(done, std::memory_order_relaxed);
            return Status();
        });
    if (!status) {
        return status;
    }
    if (!file.keep()) {
        return { ErrorKind::Io, "cannot write " + file.path().string() };
    }
    received.push_back({ file.path(), name, done });
    progress.files.fetch_add(1);
    return {};
}

// One YMODEM file after its header: the blocks into a temporary file. The last
// block is held until the next comes or the file ends, so that a file ending before
// its declared size loses the padding of its last block.
Status ReceiveYmodemFile(Receiver &receiver, bool &crc, const Header &header,
    const std::string &name, const std::filesystem::path &folder, TransferProgress &progress,
    std::vector<ReceivedFile> &received)
{
    // The sender's permission bits, never set-user-ID, set-group-ID or sticky; the
    // umask narrows them as it does any new file's.
    const unsigned permissions = header.mode != 0 ? header.mode & 0777 : kNewFilePermissions;
    PartFile file;
    if (Status created = file.create(folder, permissions); !created) {
        return receiver.abort(created);
    }
    progress.setName(name);
    progress.done.store(0);
    progress.total.store(header.size);
    int64_t done = 0;
    std::vector<uint8_t> held;
    const std::string cannotWrite = "cannot write " + file.path().string();
    Status status = receiver.receiveBlocks(
        1, crc, false, true, [&](const std::vector<uint8_t> &data, bool &) {
            std::size_t take = data.size();
            if (header.size >= 0) {
                take = std::size_t(std::clamp<int64_t>(header.size - done, 0, int64_t(take)));
            }
            if (!file.write(held.data(), held.size())) {
                return Status(ErrorKind::Io, cannotWrite);
            }
            held.assign(data.begin(), data.begin() + std::ptrdiff_t(take));
            done += int64_t(take);
            progress.done.store(done, std::memory_order_relaxed);
            return Status();
        });
    if (!status) {
        return status;
    }
    if (header.size >= 0 && done < header.size) {
        // Ended early: the last block was padded, and the padding is no part of the file.
        while (!held.empty() && held.back() == PAD) {
            held.pop_back();
            --done;
        }
    }
    if (!file.write(held.data(), held.size()) || !file.keep()) {
        return receiver.abort({ ErrorKind::Io, cannotWrite });
    }
    SetModified(file.path(), header.modified);
    received.push_back({ file.path(), name, done, header.size });
    progress.files.fetch_add(1);
    return {};
}

Status ReceiveYmodem(Receiver &receiver, const std::filesystem::path &folder,
    TransferProgress &progress, std::vector<ReceivedFile> &received)
{
    for (;;) {
        Header header;
        bool gotHeader = false;
        bool crc = true;
        Status status = receiver.receiveBlocks(
            0, crc, false, false, [&](const std::vector<uint8_t> &data, bool &last) {
                header = ParseHeader(data.data(), data.size());
                gotHeader = true;
                last = true;
                return Status();
            });
        if (!status) {
            return status;
        }
        if (!gotHeader) {
            continue; // an EOT repeated because our ACK was lost
        }
        if (header.name.empty()) {
            return {};
        }
        std::string name = SafeFileName(header.name);
        if (name.empty()) {
            name = "received";
        }
        status = ReceiveYmodemFile(receiver, crc, header, name, folder, progress, received);
        if (!status) {
            return OfFile(name, status);
        }
    }
}

// A file's modification time in seconds since 1970, 0 when unknown.
int64_t ModifiedSeconds(const std::filesystem::path &path)
{
    std::error_code error;
    const auto at = std::filesystem::last_write_time(path, error);
    if (error) {
        return 0;
    }
    const auto system = std::chrono::file_clock::to_sys(at);
    return std::max<int64_t>(
        0, std::chrono::duration_cast<std::chrono::seconds>(system.time_since_epoch()).count());
}

// A regular file's mode as a Unix st_mode: the type bit and the permissions.
uint32_t UnixMode(const std::filesystem::path &path)
{
    constexpr uint32_t kRegularFile = 0100000;
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error) {
        return 0;
    }
    return kRegularFile | (static_cast<uint32_t>(status.permissions()) & 0777);
}

} // namespace

Status ModemSend(TransferLink &link, ModemKind kind,
    const std::vector<std::filesystem::path> &files, const ModemTimeouts &timeouts,
    TransferProgress &progress)
{
    Sender sender(link, timeouts, progress);
    if (kind != ModemKind::Ymodem && files.size() != 1) {
        return { ErrorKind::Invalid, "XMODEM sends exactly one file" };
    }
    bool crc = true;
    if (Status asked = sender.waitRequest(timeouts.startMs, crc); !asked) {
        return asked;
    }
    if (kind != ModemKind::Ymodem) {
        std::error_code error;
        const auto size = std::filesystem::file_size(files.front(), error);
        progress.setName(files.front().filename().string());
        progress.total.store(error ? -1 : int64_t(size));
        return sender.sendFile(files.front(), crc, kind == ModemKind::Xmodem1k, 1);
    }
    for (const std::filesystem::path &path : files) {
        std::error_code error;
        const auto size = std::filesystem::file_size(path, error);
        if (error) {
            return sender.abort(
                { ErrorKind::NotFound, "cannot read " + path.string() + ": " + error.message() });
        }
        const std::string name = path.filename().string();
        progress.setName(name);
        progress.done.store(0);
        progress.total.store(int64_t(size));
        const std::vector<uint8_t> payload
            = HeaderPayload(name, int64_t(size), ModifiedSeconds(path), UnixMode(path));
        const std::vector<uint8_t> header
            = Block(0, payload.data(), payload.size(), payload.size() > 128 ? 1024 : 128, crc, 0);
        if (Status sent = sender.sendPacket(header, "the header of " + name); !sent) {
            return sent;
        }
        if (Status asked = sender.waitRequest(timeouts.answerMs, crc); !asked) {
            return asked;
        }
        if (Status sent = sender.sendFile(path, crc, true, 1); !sent) {
            return sent;
        }
        progress.files.fetch_add(1);
        if (Status asked = sender.waitRequest(timeouts.answerMs, crc); !asked) {
            return asked;
        }
    }
    const std::vector<uint8_t> end = Block(0, nullptr, 0, 128, crc, 0);
    return sender.sendPacket(end, "the end of the batch");
}

Status ModemReceive(TransferLink &link, ModemKind kind, const std::filesystem::path &folder,
    const std::string &xmodemName, const ModemTimeouts &timeouts, TransferProgress &progress,
    std::vector<ReceivedFile> &received)
{
    Receiver receiver(link, timeouts, progress);
    if (kind == ModemKind::Ymodem) {
        return ReceiveYmodem(receiver, folder, progress, received);
    }
    const std::string name = SafeFileName(xmodemName);
    if (name.empty()) {
        return { ErrorKind::Invalid, "no file name for the received file" };
    }
    return ReceiveXmodem(
        receiver, kind != ModemKind::XmodemChecksum, folder, name, progress, received);
}

Status CommitReceived(const ReceivedFile &file, const std::filesystem::path &folder, bool replace)
{
    const std::filesystem::path target = folder / file.name;
    std::error_code error;
    if (!replace && std::filesystem::exists(target, error)) {
        return { ErrorKind::Busy, target.string() + " exists" };
    }
    std::filesystem::rename(file.temporary, target, error);
    if (error) {
        return { ErrorKind::Io, "cannot rename to " + target.string() + ": " + error.message() };
    }
    return {};
}

std::string FreeName(const std::filesystem::path &folder, const std::string &name)
{
    std::error_code error;
    if (!std::filesystem::exists(folder / name, error)) {
        return name;
    }
    const std::filesystem::path path(name);
    const std::string stem = path.stem().string();
    const std::string extension = path.extension().string();
    for (int n = 2;; ++n) {
        std::string candidate = stem;
        candidate.append(" (").append(std::to_string(n)).append(")").append(extension);
        if (!std::filesystem::exists(folder / candidate, error)) {
            return candidate;
        }
    }
}
