#include "rowname.h"
#include "transfer/modem.h"
#include "transfer/transferlink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace modem;
using Bytes = std::vector<uint8_t>;

namespace {

// The far side as a script: answer k is heard once this side has written
// `lead` + k times, so a purge never swallows the answer to the NAK it precedes.
// A read with nothing to hear returns at once, as a time-out would.
class ScriptLink : public TransferLink
{
public:
    ScriptLink(std::vector<Bytes> answers, int lead)
        : m_answers(std::move(answers))
        , m_lead(lead)
    { }
    bool read(uint8_t &byte, int) override
    {
        while (m_at < m_answers.size() && m_pos == m_answers[m_at].size()
            && int(m_at) + m_lead < int(writes.size())) {
            ++m_at;
            m_pos = 0;
        }
        if (m_at >= m_answers.size() || int(m_at) + m_lead > int(writes.size())
            || m_pos >= m_answers[m_at].size()) {
            return false;
        }
        byte = m_answers[m_at][m_pos++];
        return true;
    }
    Status write(const uint8_t *data, std::size_t size) override
    {
        writes.emplace_back(data, data + size);
        return {};
    }
    std::vector<Bytes> writes;

private:
    std::vector<Bytes> m_answers;
    int m_lead;
    std::size_t m_at = 0, m_pos = 0;
};

Bytes Pattern(std::size_t size, uint8_t seed)
{
    Bytes data(size);
    for (std::size_t i = 0; i < size; ++i)
        data[i] = uint8_t(seed + i * 7);
    return data;
}

Bytes DataBlock(uint8_t number, const Bytes &data, bool crc = true, std::size_t size = 128)
{
    return Block(number, data.data(), data.size(), size, crc);
}

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

ModemTimeouts Instant()
{
    ModemTimeouts timeouts;
    timeouts.startMs = timeouts.answerMs = timeouts.byteMs = timeouts.requestMs = 1;
    timeouts.quietMs = 1;
    return timeouts;
}

const Bytes kOne = Pattern(128, 1);
const Bytes kTwo = Pattern(128, 2);
Bytes Corrupted(Bytes block)
{
    block[block.size() - 1] ^= 0xFF;
    return block;
}

struct ReceiveRow
{
    const char *name;
    ModemKind kind;
    std::vector<Bytes> sender; // what the far side sends after each of our replies
    ErrorKind outcome;
    Bytes replies; // our replies, first bytes of each write
    Bytes file; // the received file (XMODEM) when it succeeds
    std::string fileName = "x.bin";
};

class ReceiveRows : public ::testing::TestWithParam<ReceiveRow>
{
};

TEST_P(ReceiveRows, RepliesAndFile)
{
    const ReceiveRow &row = GetParam();
    const fs::path folder = fs::temp_directory_path() / ("byteway-modem-" + std::string(row.name));
    fs::remove_all(folder);
    fs::create_directories(folder);
    ScriptLink link(row.sender, 1);
    TransferProgress progress;
    std::vector<ReceivedFile> received;
    const Status status
        = ModemReceive(link, row.kind, folder, "x.bin", Instant(), progress, received);
    EXPECT_EQ(status.kind(), row.outcome) << status.reason();
    Bytes replies;
    for (const Bytes &write : link.writes)
        replies.push_back(write.front());
    EXPECT_EQ(replies, row.replies);
    if (row.outcome == ErrorKind::None) {
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].name, row.fileName);
        std::ifstream in(received[0].temporary, std::ios::binary);
        EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(in), {}), row.file);
    } else {
        EXPECT_TRUE(received.empty());
        EXPECT_TRUE(fs::is_empty(folder)) << "a half file was left";
    }
    fs::remove_all(folder);
}

const Bytes kHeader = Block(0, HeaderPayload("dir/a.bin", 200).data(),
    HeaderPayload("dir/a.bin", 200).size(), 128, true, 0);
const Bytes kEnd = Block(0, nullptr, 0, 128, true, 0);
const Bytes kBig = Pattern(200, 9);

INSTANTIATE_TEST_SUITE_P(Script, ReceiveRows,
    ::testing::Values(ReceiveRow { "two_blocks", ModemKind::XmodemCrc,
                          { DataBlock(1, kOne), DataBlock(2, kTwo), { EOT } }, ErrorKind::None,
                          { 'C', ACK, ACK, ACK }, Joined({ kOne, kTwo }) },
        ReceiveRow { "duplicate_block_acked_once_stored", ModemKind::XmodemCrc,
            { DataBlock(1, kOne), DataBlock(1, kOne), DataBlock(2, kTwo), { EOT } },
            ErrorKind::None, { 'C', ACK, ACK, ACK, ACK }, Joined({ kOne, kTwo }) },
        ReceiveRow { "wrong_crc_before_the_first_block_asks_again", ModemKind::XmodemCrc,
            { Corrupted(DataBlock(1, kOne)), DataBlock(1, kOne), { EOT } }, ErrorKind::None,
            { 'C', 'C', ACK, ACK }, kOne },
        ReceiveRow { "wrong_complement_asks_again", ModemKind::Xmodem1k,
            { Joined({ { SOH, 1, 0xFF }, Bytes(130, 0) }), DataBlock(1, kOne), { EOT } },
            ErrorKind::None, { 'C', 'C', ACK, ACK }, kOne },
        ReceiveRow { "wrong_checksum_is_asked_again", ModemKind::XmodemChecksum,
            { Corrupted(DataBlock(1, kOne, false)), DataBlock(1, kOne, false), { EOT } },
            ErrorKind::None, { NAK, NAK, ACK, ACK }, kOne },
        ReceiveRow { "short_final_block_keeps_padding", ModemKind::XmodemChecksum,
            { DataBlock(1, kOne, false), DataBlock(2, Pattern(10, 3), false), { EOT } },
            ErrorKind::None, { NAK, ACK, ACK, ACK },
            Joined({ kOne, Pattern(10, 3), Bytes(118, PAD) }) },
        ReceiveRow { "one_k_block_in_crc_mode", ModemKind::XmodemCrc,
            { DataBlock(1, Pattern(1024, 4), true, 1024), { EOT } }, ErrorKind::None,
            { 'C', ACK, ACK }, Pattern(1024, 4) },
        ReceiveRow { "block_out_of_sequence_cancels", ModemKind::XmodemCrc, { DataBlock(2, kOne) },
            ErrorKind::Io, { 'C', CAN }, {} },
        ReceiveRow { "far_side_cancel", ModemKind::XmodemCrc, { DataBlock(1, kOne), { CAN, CAN } },
            ErrorKind::Cancelled, { 'C', ACK }, {} },
        ReceiveRow { "silence_falls_back_to_checksum_then_times_out", ModemKind::XmodemCrc, {},
            ErrorKind::Timeout, { 'C', 'C', 'C', NAK, NAK, NAK, NAK, NAK, NAK, NAK, CAN }, {} },
        ReceiveRow { "ymodem_exact_size_and_base_name", ModemKind::Ymodem,
            { kHeader, DataBlock(1, kBig, true, 1024), { EOT }, { EOT }, kEnd }, ErrorKind::None,
            { 'C', ACK, 'C', ACK, NAK, ACK, 'C', ACK }, kBig, "a.bin" },
        ReceiveRow { "ymodem_repeated_header_asks_for_data_again", ModemKind::Ymodem,
            { kHeader, kHeader, DataBlock(1, kBig, true, 1024), { EOT }, { EOT }, kEnd },
            ErrorKind::None, { 'C', ACK, 'C', ACK, 'C', ACK, NAK, ACK, 'C', ACK }, kBig, "a.bin" }),
    RowName());

struct SendRow
{
    const char *name;
    ModemKind kind;
    std::vector<Bytes> receiver; // the far side's answer before each of our writes
    ErrorKind outcome;
    std::vector<Bytes> writes;
};

class SendRows : public ::testing::TestWithParam<SendRow>
{
};

const Bytes kTail = Pattern(72, 5);
const Bytes kFile = Joined({ kOne, kTail });
const Bytes kCancel(5, CAN);

TEST_P(SendRows, WritesAndOutcome)
{
    const SendRow &row = GetParam();
    const fs::path path = fs::temp_directory_path() / "byteway-modem-send.bin";
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(kFile.data()), std::streamsize(kFile.size()));
    ScriptLink link(row.receiver, 0);
    TransferProgress progress;
    ModemTimeouts timeouts = Instant();
    timeouts.maxRetries = 3;
    const Status status = ModemSend(link, row.kind, { path }, timeouts, progress);
    EXPECT_EQ(status.kind(), row.outcome) << status.reason();
    EXPECT_EQ(link.writes, row.writes);
    fs::remove(path);
}

INSTANTIATE_TEST_SUITE_P(Script, SendRows,
    ::testing::Values(SendRow { "crc_two_blocks_short_tail_padded", ModemKind::XmodemCrc,
                          { { 'C' }, { ACK }, { ACK }, { ACK } }, ErrorKind::None,
                          { DataBlock(1, kOne), DataBlock(2, kTail), { EOT } } },
        SendRow { "checksum_when_asked_with_nak", ModemKind::Xmodem1k,
            { { NAK }, { ACK }, { ACK }, { ACK } }, ErrorKind::None,
            { DataBlock(1, kOne, false), DataBlock(2, kTail, false), { EOT } } },
        SendRow { "one_k_sends_a_short_rest_in_128s", ModemKind::Xmodem1k,
            { { 'C' }, { ACK }, { ACK }, { ACK } }, ErrorKind::None,
            { DataBlock(1, kOne), DataBlock(2, kTail), { EOT } } },
        SendRow { "nak_repeats_the_block", ModemKind::XmodemCrc,
            { { 'C' }, { NAK }, { ACK }, { ACK }, { ACK } }, ErrorKind::None,
            { DataBlock(1, kOne), DataBlock(1, kOne), DataBlock(2, kTail), { EOT } } },
        SendRow { "retries_run_out", ModemKind::XmodemCrc, { { 'C' }, { NAK }, { NAK }, { NAK } },
            ErrorKind::Timeout,
            { DataBlock(1, kOne), DataBlock(1, kOne), DataBlock(1, kOne), kCancel } },
        SendRow { "far_side_cancel", ModemKind::XmodemCrc, { { 'C' }, { CAN, CAN } },
            ErrorKind::Cancelled, { DataBlock(1, kOne) } },
        SendRow { "one_can_is_noise", ModemKind::XmodemCrc,
            { { 'C' }, { CAN, ACK }, { ACK }, { ACK }, { ACK } }, ErrorKind::None,
            { DataBlock(1, kOne), DataBlock(1, kOne), DataBlock(2, kTail), { EOT } } },
        SendRow { "no_request_times_out", ModemKind::Ymodem, {}, ErrorKind::Timeout, { kCancel } }),
    RowName());

// One YMODEM file as a script sends it: what is kept, with the header's time and
// permission bits (never set-user-ID).
struct YmodemFileRow
{
    const char *name;
    std::string fileName; // as the header gives it
    int64_t declared;
    std::size_t sent; // bytes in the one block
    std::size_t kept;
};

class YmodemFiles : public ::testing::TestWithParam<YmodemFileRow>
{
};

TEST_P(YmodemFiles, KeepsWhatCame)
{
    const YmodemFileRow &row = GetParam();
    const fs::path folder = fs::temp_directory_path() / ("byteway-ymodem-" + std::string(row.name));
    fs::remove_all(folder);
    fs::create_directories(folder);
    const Bytes header = HeaderPayload(row.fileName, row.declared, 1000000000, 0104600);
    ScriptLink link({ Block(0, header.data(), header.size(), 1024, true, 0),
                        DataBlock(1, Pattern(row.sent, 6), true, 1024), { EOT }, { EOT }, kEnd },
        1);
    TransferProgress progress;
    std::vector<ReceivedFile> received;
    const Status status
        = ModemReceive(link, ModemKind::Ymodem, folder, {}, Instant(), progress, received);
    ASSERT_TRUE(status.ok()) << status.reason();
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].isShort(), row.kept < std::size_t(row.declared));
    EXPECT_EQ(fs::last_write_time(received[0].temporary),
        std::chrono::file_clock::from_sys(
            std::chrono::sys_seconds(std::chrono::seconds(1000000000))));
#ifndef _WIN32
    EXPECT_EQ(fs::status(received[0].temporary).permissions(), fs::perms(0600));
#endif
    ASSERT_TRUE(CommitReceived(received[0], folder, false).ok());
    Bytes kept;
    {
        // Closed before the folder goes: Windows removes no file that is open.
        std::ifstream in(folder / row.fileName, std::ios::binary);
        kept.assign(std::istreambuf_iterator<char>(in), {});
    }
    EXPECT_TRUE(kept == Pattern(row.kept, 6));
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Script, YmodemFiles,
    ::testing::Values(YmodemFileRow { "short_loses_the_padding", "a.bin", 5000, 1000, 1000 },
        YmodemFileRow { "name_of_250_bytes", std::string(246, 'n') + ".bin", 300, 300, 300 }),
    RowName());

TEST(ModemFormat, CrcHeaderAndNames)
{
    const std::string check = "123456789";
    EXPECT_EQ(Crc16(reinterpret_cast<const uint8_t *>(check.data()), check.size()), 0x31C3);
    const Bytes payload = HeaderPayload("fw.bin", 1048577);
    const Header header = ParseHeader(payload.data(), payload.size());
    EXPECT_EQ(header.name, "fw.bin");
    EXPECT_EQ(header.size, 1048577);
    const Bytes noSize = { 'a', 0, ' ' };
    EXPECT_EQ(ParseHeader(noSize.data(), noSize.size()).size, -1);
    // The time and mode in octal, as lrzsz writes and reads them.
    const Bytes full = HeaderPayload("fw.bin", 10, 07346545000, 0100640);
    EXPECT_EQ(std::string(full.begin(), full.end()),
        std::string("fw.bin\0"
                    "10 7346545000 100640",
            27));
    const Header timed = ParseHeader(full.data(), full.size());
    EXPECT_EQ(timed.modified, 07346545000);
    EXPECT_EQ(timed.mode, 0100640u);
    const std::pair<const char *, const char *> names[] = { { "../../etc/passwd", "passwd" },
        { "C:\\boot\\fw.bin", "fw.bin" }, { "..", "" }, { "a\x01:b", "a__b" } };
    for (const auto &[given, safe] : names)
        EXPECT_EQ(SafeFileName(given), safe) << given;
}

} // namespace
