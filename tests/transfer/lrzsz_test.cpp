#include "ptydevice.h"
#include "ptyrelay.h"
#include "rowname.h"
#include "serial/serialport.h"
#include "transfer/modem.h"
#include "transfer/transferjob.h"
#include "transfer/transferlink.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <filesystem>
#include <thread>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

enum class Side { WeSend, WeReceive };

// Our Port on end A of a relay, an lrzsz program on end B, and a folder for each.
class LrzszTest
{
public:
    explicit LrzszTest(std::vector<PtyRelay::Fault> faults = {})
        : relay(std::move(faults))
    {
        home.link(1, relay.deviceA());
        root = home.root() + "/files";
        fs::create_directories(root + "/ours");
        fs::create_directories(root + "/peer");
        opened = port.Open(1, 115200, 0, 0, 8);
    }
    ~LrzszTest() { (void)port.Close(); }
    std::string ours(const std::string &name) const { return root + "/ours/" + name; }
    std::string peerFile(const std::string &name) const { return root + "/peer/" + name; }
    std::unique_ptr<PeerProgram> startPeer(const std::vector<std::string> &args)
    {
        return std::make_unique<PeerProgram>(args, relay.endB(), root + "/peer");
    }
    std::string peerLog() const { return ReadFileBytes(root + "/peer.log"); }

    TempConfigHome home;
    PtyRelay relay;
    SerialPort port;
    std::string root;
    bool opened = false;
};

ModemTimeouts Quick()
{
    ModemTimeouts timeouts;
    timeouts.startMs = 5000;
    timeouts.answerMs = 3000;
    timeouts.byteMs = 200;
    timeouts.requestMs = 1000;
    timeouts.quietMs = 100;
    return timeouts;
}

// What XMODEM delivers: the file, then 0x1A up to the end of its last block.
void ExpectPadded(const std::string &got, const std::string &sent)
{
    ASSERT_GE(got.size(), sent.size());
    EXPECT_EQ(got.size() % 128, 0u);
    EXPECT_LT(got.size() - sent.size(), 1024u);
    EXPECT_TRUE(got.compare(0, sent.size(), sent) == 0) << "the prefix differs";
    EXPECT_EQ(got.find_first_not_of('\x1A', sent.size()), std::string::npos) << "bad padding";
}

struct Row
{
    const char *name;
    Side side;
    ModemKind kind;
    std::size_t size;
    std::vector<std::string> peer; // the lrzsz command; the file name is appended
};

// One transfer with an lrzsz peer; checks the bytes that arrived.
void RunAgainstPeer(LrzszTest &bench, const Row &row, const ModemTimeouts &timeouts)
{
    ASSERT_TRUE(bench.opened);
    const std::string data = PatternBytes(row.size, unsigned(row.size) + 7);
    const std::string name = "file-" + std::to_string(row.size) + ".bin";
    const bool ymodem = row.kind == ModemKind::Ymodem;
    std::vector<std::string> args = row.peer;
    if (row.side == Side::WeReceive) {
        WriteFileBytes(bench.peerFile(name), data);
        args.push_back(name);
    } else {
        WriteFileBytes(bench.ours(name), data);
        if (!ymodem)
            args.push_back(name);
    }
    auto peer = bench.startPeer(args);
    PortLink link(bench.port);
    TransferProgress progress;
    std::vector<ReceivedFile> received;
    Status status = row.side == Side::WeSend
        ? ModemSend(link, row.kind, { fs::path(bench.ours(name)) }, timeouts, progress)
        : ModemReceive(link, row.kind, bench.root + "/ours", name, timeouts, progress, received);
    ASSERT_TRUE(status.ok()) << status.reason() << "\n" << bench.peerLog();
    ASSERT_EQ(peer->wait(10000), 0) << bench.peerLog();
    std::string got;
    if (row.side == Side::WeSend) {
        got = ReadFileBytes(bench.peerFile(name));
    } else {
        ASSERT_EQ(received.size(), 1u);
        EXPECT_EQ(received[0].name, name);
        ASSERT_TRUE(CommitReceived(received[0], bench.root + "/ours", false).ok());
        got = ReadFileBytes(bench.ours(name));
        EXPECT_FALSE(fs::exists(received[0].temporary));
    }
    if (ymodem)
        EXPECT_EQ(got, data) << "size " << got.size() << " of " << data.size();
    else
        ExpectPadded(got, data);
}

class AgainstLrzsz : public ::testing::TestWithParam<Row>
{
};

TEST_P(AgainstLrzsz, ByteExact)
{
    LrzszTest bench;
    RunAgainstPeer(bench, GetParam(), Quick());
}

std::vector<Row> SizeRows()
{
    const std::vector<std::size_t> sizes { 0, 1, 127, 128, 129, 1023, 1024, 1025, 1 << 20 };
    std::vector<Row> rows;
    static std::vector<std::string> names;
    names.reserve(64);
    for (std::size_t size : sizes) {
        const std::string s = std::to_string(size);
        names.push_back("send_ymodem_to_rb_" + s);
        rows.push_back(
            { names.back().c_str(), Side::WeSend, ModemKind::Ymodem, size, { "rb", "-b", "-q" } });
        names.push_back("send_xmodem1k_to_rx_" + s);
        rows.push_back({ names.back().c_str(), Side::WeSend, ModemKind::Xmodem1k, size,
            { "rx", "-b", "-c", "-q" } });
        names.push_back("receive_ymodem_from_sb_" + s);
        rows.push_back({ names.back().c_str(), Side::WeReceive, ModemKind::Ymodem, size,
            { "sb", "-b", "-q" } });
        names.push_back("receive_xmodem1k_from_sx_" + s);
        rows.push_back({ names.back().c_str(), Side::WeReceive, ModemKind::Xmodem1k, size,
            { "sx", "-b", "-k", "-q" } });
    }
    rows.push_back({ "send_checksum_to_rx_1025", Side::WeSend, ModemKind::XmodemChecksum, 1025,
        { "rx", "-b", "-q" } });
    rows.push_back({ "receive_checksum_from_sx_1025", Side::WeReceive, ModemKind::XmodemChecksum,
        1025, { "sx", "-b", "-q" } });
    rows.push_back({ "send_crc_to_rx_129", Side::WeSend, ModemKind::XmodemCrc, 129,
        { "rx", "-b", "-c", "-q" } });
    rows.push_back({ "receive_crc_from_sx_129", Side::WeReceive, ModemKind::XmodemCrc, 129,
        { "sx", "-b", "-q" } });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(Sizes, AgainstLrzsz, ::testing::ValuesIn(SizeRows()), RowName());

// A relay that spoils bytes: the retries must bring every byte through.
struct FaultRow
{
    const char *name;
    Side side;
    PtyRelay::Fault fault;
};

class SpoiltLine : public ::testing::TestWithParam<FaultRow>
{
};

TEST_P(SpoiltLine, RetriesRecover)
{
    const FaultRow &row = GetParam();
    LrzszTest bench({ row.fault });
    const Row transfer { row.name, row.side, ModemKind::Ymodem, 8000,
        row.side == Side::WeSend ? std::vector<std::string> { "rb", "-b", "-q", "-t", "20" }
                                 : std::vector<std::string> { "sb", "-b", "-q", "-t", "20" } };
    RunAgainstPeer(bench, transfer, Quick());
    const auto direction = row.fault.direction;
    EXPECT_GT(bench.relay.passed(direction), row.fault.offset) << "the fault never happened";
}

using Fault = PtyRelay::Fault;
using Kind = PtyRelay::Fault::Kind;
constexpr auto AtoB = PtyRelay::Direction::AtoB;
constexpr auto BtoA = PtyRelay::Direction::BtoA;

INSTANTIATE_TEST_SUITE_P(Relay, SpoiltLine,
    ::testing::Values(FaultRow { "send_corrupt_header", Side::WeSend, { Kind::Corrupt, AtoB, 20 } },
        FaultRow { "send_corrupt_data", Side::WeSend, { Kind::Corrupt, AtoB, 700 } },
        FaultRow { "send_drop_data", Side::WeSend, { Kind::Drop, AtoB, 2000 } },
        FaultRow { "send_corrupt_ack", Side::WeSend, { Kind::Corrupt, BtoA, 3 } },
        FaultRow { "send_delay_block", Side::WeSend, { Kind::Delay, AtoB, 3000, 1500 } },
        FaultRow { "receive_corrupt_data", Side::WeReceive, { Kind::Corrupt, BtoA, 900 } },
        FaultRow { "receive_drop_data", Side::WeReceive, { Kind::Drop, BtoA, 2500 } },
        FaultRow {
            "receive_corrupt_crc", Side::WeReceive, { Kind::Corrupt, BtoA, 133 + 1029 - 1 } },
        FaultRow { "receive_drop_ack", Side::WeReceive, { Kind::Drop, AtoB, 3 } }),
    RowName());

// A far side that never answers: a clear time-out, and the port is free after.
TEST(SilentFarSide, TimesOutAndFreesThePort)
{
    for (Side side : { Side::WeSend, Side::WeReceive }) {
        LrzszTest bench;
        ASSERT_TRUE(bench.opened);
        WriteFileBytes(bench.ours("a.bin"), "abc");
        ModemTimeouts timeouts = Quick();
        timeouts.startMs = 1000;
        timeouts.maxRetries = 3;
        PortLink link(bench.port);
        TransferProgress progress;
        std::vector<ReceivedFile> received;
        const Status status = side == Side::WeSend
            ? ModemSend(
                link, ModemKind::Ymodem, { fs::path(bench.ours("a.bin")) }, timeouts, progress)
            : ModemReceive(link, ModemKind::Xmodem1k, bench.root + "/ours", "b.bin", timeouts,
                progress, received);
        EXPECT_EQ(status.kind(), ErrorKind::Timeout) << status.reason();
        EXPECT_FALSE(fs::exists(bench.ours("b.bin")));
        EXPECT_FALSE(fs::exists(bench.ours(".b.bin.part")));
        const uint64_t before = bench.relay.passed(AtoB);
        EXPECT_EQ(bench.port.WriteByte('x'), 1);
        for (int i = 0; i < 100 && bench.relay.passed(AtoB) == before; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_GT(bench.relay.passed(AtoB), before) << "the port took nothing after the time-out";
    }
}

// Cancel from either side in the middle of a 1 MB transfer.
struct CancelRow
{
    const char *name;
    Side side;
    bool farSideCancels;
};

class CancelMidway : public ::testing::TestWithParam<CancelRow>
{
};

TEST_P(CancelMidway, EndsBothSidesAndLeavesNoFile)
{
    const CancelRow &row = GetParam();
    LrzszTest bench;
    ASSERT_TRUE(bench.opened);
    const std::string data = PatternBytes(1 << 20);
    std::unique_ptr<PeerProgram> peer;
    if (row.side == Side::WeSend) {
        WriteFileBytes(bench.ours("big.bin"), data);
        peer = bench.startPeer({ "rb", "-b", "-q" });
    } else {
        WriteFileBytes(bench.peerFile("big.bin"), data);
        peer = bench.startPeer({ "sb", "-b", "-q", "big.bin" });
    }
    std::vector<ReceivedFile> received;
    const fs::path folder = bench.root + "/ours";
    TransferJob job(std::make_unique<PortLink>(bench.port),
        [&](TransferLink &link, InterruptibleWait &, TransferProgress &progress) {
            return row.side == Side::WeSend
                ? ModemSend(link, ModemKind::Ymodem, { folder / "big.bin" }, Quick(), progress)
                : ModemReceive(link, ModemKind::Ymodem, folder, {}, Quick(), progress, received);
        });
    for (int i = 0; i < 1000 && job.progress.done.load() < 100000; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_GE(job.progress.done.load(), 100000);
    if (row.farSideCancels)
        peer->interrupt();
    else
        job.cancel();
    const Status status = job.wait();
    EXPECT_EQ(status.kind(), ErrorKind::Cancelled) << status.reason();
    EXPECT_NE(peer->wait(10000), 0) << bench.peerLog();
    EXPECT_TRUE(received.empty());
    if (row.side == Side::WeReceive) {
        EXPECT_TRUE(fs::is_empty(folder)) << "a half file was left behind";
    }
}

INSTANTIATE_TEST_SUITE_P(Cancel, CancelMidway,
    ::testing::Values(CancelRow { "we_cancel_our_send", Side::WeSend, false },
        CancelRow { "we_cancel_our_receive", Side::WeReceive, false },
        CancelRow { "far_side_cancels_our_send", Side::WeSend, true },
        CancelRow { "far_side_cancels_our_receive", Side::WeReceive, true }),
    RowName());

// A device that keeps sending after a broken block: the purge must still hear the
// cancel, which is also what ending the job does when the program quits.
TEST(StreamingFarSide, CancelEndsThePurge)
{
    LrzszTest bench;
    ASSERT_TRUE(bench.opened);
    std::atomic<bool> streaming { true };
    std::thread noise([&] {
        const std::string chatter = "\x01" + std::string(63, 'x'); // a block start, then junk
        while (streaming && ::write(bench.relay.endB(), chatter.data(), chatter.size()) > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    std::vector<ReceivedFile> received;
    auto job = std::make_unique<TransferJob>(std::make_unique<PortLink>(bench.port),
        [&](TransferLink &link, InterruptibleWait &, TransferProgress &progress) {
            return ModemReceive(
                link, ModemKind::Ymodem, bench.root + "/ours", {}, Quick(), progress, received);
        });
    for (int i = 0; i < 500 && job->progress.retries.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(job->progress.retries.load(), 0) << "no broken block was seen";
    job->cancel();
    for (int i = 0; i < 300 && !job->finished(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(job->finished()) << "the cancel waited for the line to fall quiet";
    streaming = false;
    noise.join();
    job.reset();
    EXPECT_TRUE(fs::is_empty(bench.root + "/ours"));
}

// Two files of one name in a batch from sb: each arrives whole under a temporary of
// its own, and a link planted where a temporary could go is not followed.
TEST(YmodemBatch, EqualNamesBothArriveWhole)
{
    LrzszTest bench;
    ASSERT_TRUE(bench.opened);
    const fs::path folder = bench.root + "/ours";
    WriteFileBytes(bench.root + "/outside.txt", "keep");
    fs::create_symlink(bench.root + "/outside.txt", folder / ".byteway-1.part");
    const std::string sent[] = { PatternBytes(3000, 3), PatternBytes(4000, 4) };
    for (const char *dir : { "one", "two" }) {
        fs::create_directories(bench.peerFile(dir));
        WriteFileBytes(bench.peerFile(std::string(dir) + "/conf.txt"), sent[dir[0] == 't']);
    }
    auto peer = bench.startPeer({ "sb", "-b", "-q", "one/conf.txt", "two/conf.txt" });
    PortLink link(bench.port);
    TransferProgress progress;
    std::vector<ReceivedFile> received;
    const Status status
        = ModemReceive(link, ModemKind::Ymodem, folder, {}, Quick(), progress, received);
    ASSERT_TRUE(status.ok()) << status.reason() << "\n" << bench.peerLog();
    ASSERT_EQ(peer->wait(10000), 0) << bench.peerLog();
    ASSERT_EQ(received.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        ReceivedFile file = received[i];
        file.name = FreeName(folder, file.name); // the second becomes "conf (2).txt"
        ASSERT_TRUE(CommitReceived(file, folder, false).ok()) << file.name;
        EXPECT_TRUE(ReadFileBytes((folder / file.name).string()) == sent[i]) << file.name;
    }
    EXPECT_EQ(ReadFileBytes(bench.root + "/outside.txt"), "keep") << "the link was followed";
}

// Block 0 carries the modification time and the mode: rb keeps them.
TEST(YmodemHeader, RbKeepsTimeAndMode)
{
    LrzszTest bench;
    ASSERT_TRUE(bench.opened);
    const auto at = std::chrono::file_clock::from_sys(
        std::chrono::sys_seconds(std::chrono::seconds(1000000000)));
    WriteFileBytes(bench.ours("t.bin"), PatternBytes(2000));
    fs::last_write_time(bench.ours("t.bin"), at);
    fs::permissions(bench.ours("t.bin"), fs::perms::owner_all | fs::perms::group_read);
    auto peer = bench.startPeer({ "rb", "-b", "-q" });
    PortLink link(bench.port);
    TransferProgress progress;
    const Status status
        = ModemSend(link, ModemKind::Ymodem, { fs::path(bench.ours("t.bin")) }, Quick(), progress);
    ASSERT_TRUE(status.ok()) << status.reason() << "\n" << bench.peerLog();
    ASSERT_EQ(peer->wait(10000), 0) << bench.peerLog();
    EXPECT_EQ(fs::last_write_time(bench.peerFile("t.bin")), at);
    EXPECT_EQ(fs::status(bench.peerFile("t.bin")).permissions() & fs::perms::owner_all,
        fs::perms::owner_all);
}

} // namespace
