#include "ptyport.h"
#include "ptyrelay.h"
#include "rowname.h"
#include "send/delay.h"
#include "transfer/rawsend.h"
#include "transfer/transferlink.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <future>

namespace {

using Clock = std::chrono::steady_clock;

struct RawRow
{
    const char *name;
    std::size_t size;
    RawPacing pacing;
    int64_t minimumMs; // what the pacing must take at least
};

class RawSendRows : public ::testing::TestWithParam<RawRow>
{
};

TEST_P(RawSendRows, FarSideGetsTheFilePaced)
{
    const RawRow &row = GetParam();
    PtyPort pty;
    ASSERT_TRUE(pty.isOpen());
    const std::string path = (std::filesystem::temp_directory_path() / "byteway-raw.bin").string();
    const std::string data = PatternBytes(row.size, 3);
    WriteFileBytes(path, data);
    PortLink link(pty.port);
    InterruptibleWait wait;
    TransferProgress progress;
    const auto began = Clock::now();
    auto sending = std::async(
        std::launch::async, [&] { return RawSend(link, path, row.pacing, wait, progress); });
    const std::string got = pty.receive(row.size, 20000);
    const Status status = sending.get();
    const auto tookMs
        = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - began).count();
    std::filesystem::remove(path);
    ASSERT_TRUE(status.ok()) << status.reason();
    EXPECT_EQ(got, data);
    EXPECT_EQ(progress.done.load(), int64_t(row.size));
    EXPECT_GE(tookMs, row.minimumMs);
}

INSTANTIATE_TEST_SUITE_P(Pacing, RawSendRows,
    ::testing::Values(RawRow { "unpaced_64k", 65536, {}, 0 },
        RawRow { "gap_2ms_between_51_bytes", 51, { 2000, 0, 0, false, {}, 0 }, 100 },
        RawRow { "chunks_of_16_with_20ms", 64, { 0, 16, 20, false, {}, 0 }, 60 },
        RawRow { "empty", 0, {}, 0 }),
    RowName());

// After each line the sender waits for the prompt; without it, it gives up.
TEST(RawSendPrompt, EachLineWaitsForThePrompt)
{
    for (const bool answer : { true, false }) {
        PtyPort pty;
        ASSERT_TRUE(pty.isOpen());
        const std::string path
            = (std::filesystem::temp_directory_path() / "byteway-lines.txt").string();
        WriteFileBytes(path, "one\ntwo\n");
        RawPacing pacing;
        pacing.waitAfterLine = true;
        pacing.prompt = "> ";
        pacing.promptTimeoutMs = 800;
        PortLink link(pty.port);
        InterruptibleWait wait;
        TransferProgress progress;
        auto sending = std::async(
            std::launch::async, [&] { return RawSend(link, path, pacing, wait, progress); });
        EXPECT_EQ(pty.receive(4, 2000), "one\n");
        EXPECT_EQ(pty.receive(1, 300), "") << "the next line went before the prompt";
        if (answer) {
            pty.send("ok> ");
            EXPECT_EQ(pty.receive(4, 2000), "two\n");
            pty.send("> ");
        }
        const Status status = sending.get();
        std::filesystem::remove(path);
        EXPECT_EQ(status.kind(), answer ? ErrorKind::None : ErrorKind::Timeout) << status.reason();
        EXPECT_EQ(progress.done.load(), answer ? 8 : 4);
    }
}

} // namespace
