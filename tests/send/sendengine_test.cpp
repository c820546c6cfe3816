// The send thread on a real pseudo-terminal: stopping, holding, pacing, the honest
// echo, and the port closed and reopened under it while another thread reads.
// Runs under ThreadSanitizer too.

#include "document/memorydocument.h"
#include "ptyport.h"
#include "send/delay.h"
#include "send/sendengine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int32_t kLongestDelay = 2147483647; // µs, about 35 minutes
// How much later than the send thread's own clock a write's stamp may be taken: a
// function call, or under ThreadSanitizer an instrumented call that a busy machine
// may stretch past 100 µs. Never more than half the delay, so a burst or a lost
// delay still shows.
#if defined(__SANITIZE_THREAD__)
constexpr double kStampSlackUs = 250;
#else
constexpr double kStampSlackUs = 5;
#endif

int64_t MsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

// A send from the test thread, which plays the user-interface thread and carries
// the echo out into `doc`. Every write is stamped when it begins; `slowWrite`
// makes the write of that byte (by position) take `slowMs` longer.
class SendRun
{
public:
    SendRun()
        : engine(
            [this](uint8_t byte, const std::atomic<bool> &giveUp) {
                const auto began = Clock::now();
                const int written = pty.port.WriteByte(byte, giveUp);
                std::lock_guard lock(m_mutex);
                if (written == 1) {
                    if (m_stamps.size() == slowWrite) {
                        std::this_thread::sleep_for(milliseconds(slowMs));
                    }
                    m_stamps.push_back(began);
                }
                return written;
            },
            [this] { return notation.load(); }, nullptr)
    { }

    void range(int32_t start, int32_t end, int32_t delay)
    {
        SendJob job;
        job.autoSend = true;
        job.sendStart = start;
        job.sendEnd = end;
        job.twoCharDelay = delay;
        engine.Start(job);
    }
    void tokens(const std::string &text, int32_t delay)
    {
        SendJob job;
        job.sendChar = text;
        job.twoCharDelay = delay;
        engine.Start(job);
    }
    // The gaps between the beginnings of successive writes, in µs.
    std::vector<double> gaps() const
    {
        std::lock_guard lock(m_mutex);
        std::vector<double> result;
        for (std::size_t i = 1; i < m_stamps.size(); ++i) {
            result.push_back(
                std::chrono::duration<double, std::micro>(m_stamps[i] - m_stamps[i - 1]).count());
        }
        return result;
    }
    std::size_t written() const
    {
        std::lock_guard lock(m_mutex);
        return m_stamps.size();
    }
    // The echo pieces carried out so far.
    std::size_t echoes() const
    {
        std::size_t count = 0;
        for (const char c : doc.text()) {
            count += c == ' ' ? 1 : 0;
        }
        return count;
    }

    PtyPort pty;
    MemoryDocument doc;
    std::atomic<Notation> notation { Notation::Hex };
    std::size_t slowWrite = static_cast<std::size_t>(-1);
    int slowMs = 0;
    SendEngine engine;

private:
    mutable std::mutex m_mutex;
    std::vector<Clock::time_point> m_stamps;
};

struct StopCase
{
    const char *name;
    bool autoSend;
    std::size_t bytesBeforeStop; // what has gone out when the stop comes
};

class SendStopTest : public ::testing::TestWithParam<StopCase>
{
};

// The range sends its first byte and then waits; a token waits before its byte.
// Either way a stop ends the wait at once and the echo holds what went out.
TEST_P(SendStopTest, LongestDelayEndsOnStopWithinATenthOfASecond)
{
    const StopCase &c = GetParam();
    SendRun run;
    ASSERT_TRUE(run.pty.isOpen());
    if (c.autoSend) {
        run.range(0, 10, kLongestDelay);
    } else {
        run.tokens("41 42", kLongestDelay);
    }
    std::this_thread::sleep_for(milliseconds(50));
    const auto start = Clock::now();
    const SendResult result = run.engine.Stop(&run.doc);
    EXPECT_LT(MsSince(start), 100);
    EXPECT_EQ(result.outcome, SendOutcome::Stopped);
    EXPECT_EQ(result.bytesSent, static_cast<int64_t>(c.bytesBeforeStop));
    EXPECT_EQ(run.echoes(), c.bytesBeforeStop);
    EXPECT_EQ(run.pty.receive(c.bytesBeforeStop + 1, 100).size(), c.bytesBeforeStop);
}

INSTANTIATE_TEST_SUITE_P(Sources, SendStopTest,
    ::testing::Values(StopCase { "range_after_its_first_byte", true, 1 },
        StopCase { "token_before_its_byte", false, 0 }),
    [](const auto &row) { return std::string(row.param.name); });

struct PacingCase
{
    const char *name;
    int32_t delay; // µs
    std::size_t slowWrite; // position of a write that takes slowMs longer (none: -1)
    int slowMs;
};

class SendPacingTest : public ::testing::TestWithParam<PacingCase>
{
};

// No write begins sooner than the delay after the one before, whether the wait
// busy-waits (short delays) or sleeps first (long ones); and after a write that
// took longer than the delay the next ones keep their distance instead of
// catching up in a burst. The stamps are taken a function call after the send
// thread reads its clock, so a gap may look shorter by that call's jitter
// (kStampSlackUs). How close the gaps come to the delay is measured by send_bench.
TEST_P(SendPacingTest, WritesAreNeverCloserThanTheDelay)
{
    const PacingCase &c = GetParam();
    SendRun run;
    ASSERT_TRUE(run.pty.isOpen());
    run.slowWrite = c.slowWrite;
    run.slowMs = c.slowMs;
    run.range(0, 19, c.delay);
    const SendResult result = run.engine.Wait(&run.doc);
    EXPECT_EQ(result.outcome, SendOutcome::Completed);
    ASSERT_EQ(run.written(), 20U);
    const std::vector<double> gaps = run.gaps();
    for (std::size_t i = 0; i < gaps.size(); ++i) {
        EXPECT_GE(gaps[i], c.delay - std::min(kStampSlackUs, c.delay / 2.0))
            << "gap before write " << i + 1;
    }
    std::string expected;
    for (int i = 0; i < 20; ++i) {
        expected.push_back(static_cast<char>(i));
    }
    EXPECT_EQ(run.pty.receive(21, 500), expected);
}

INSTANTIATE_TEST_SUITE_P(Delays, SendPacingTest,
    ::testing::Values(PacingCase { "busy_wait", 300, static_cast<std::size_t>(-1), 0 },
        PacingCase { "sleep_then_busy_wait", 3000, static_cast<std::size_t>(-1), 0 },
        PacingCase { "slow_write_no_burst", 1000, 5, 8 }),
    [](const auto &row) { return std::string(row.param.name); });

// Between the bytes of one character token there is no wait; the delay is kept
// before every token, counted from the last byte of the one before.
TEST(SendPacing, TokenBytesGoBackToBackAndTokensKeepTheDelay)
{
    constexpr int32_t kDelay = 50000;
    SendRun run;
    ASSERT_TRUE(run.pty.isOpen());
    run.notation = Notation::Chars;
    run.tokens("AB CD", kDelay);
    const SendResult result = run.engine.Wait(&run.doc);
    EXPECT_EQ(result.bytesSent, 4);
    EXPECT_EQ(run.doc.text(), "'A' 'B' 'C' 'D' ");
    const std::vector<double> gaps = run.gaps();
    ASSERT_EQ(gaps.size(), 3U);
    EXPECT_LT(gaps[0], kDelay) << "A and B belong to one token";
    EXPECT_GE(gaps[1], kDelay - kStampSlackUs);
    EXPECT_LT(gaps[2], kDelay) << "C and D belong to one token";
    EXPECT_EQ(run.pty.receive(5, 300), "ABCD");
}

// The port refuses every byte: nothing is echoed, and the send ends at the first.
TEST(SendHonestEcho, ClosedPortEchoesNothing)
{
    SendRun run;
    ASSERT_TRUE(run.pty.isOpen());
    ASSERT_TRUE(run.pty.port.Close());
    run.tokens("41 42 43", 0);
    const SendResult result = run.engine.Wait(&run.doc);
    EXPECT_EQ(result.outcome, SendOutcome::WriteFailed);
    EXPECT_EQ(result.bytesSent, 0);
    EXPECT_EQ(run.doc.text(), "");
}

// The port closes in the middle of a send: the send ends with the first byte it
// cannot write, and the echo lists exactly the bytes the far side got.
TEST(SendHonestEcho, PortClosedMidSendEchoesWhatWentOut)
{
    SendRun run;
    ASSERT_TRUE(run.pty.isOpen());
    run.range(0, 999, 1000);
    std::this_thread::sleep_for(milliseconds(30));
    run.pty.port.Close();
    const SendResult result = run.engine.Wait(&run.doc);
    EXPECT_EQ(result.outcome, SendOutcome::WriteFailed);
    const std::string arrived = run.pty.receive(1000, 300);
    ASSERT_GT(arrived.size(), 0U);
    ASSERT_LT(arrived.size(), 1000U);
    EXPECT_EQ(result.bytesSent, static_cast<int64_t>(arrived.size()));
    std::string echo;
    for (std::size_t i = 0; i < arrived.size(); ++i) {
        char piece[32];
        std::snprintf(piece, sizeof piece, "0x%02zX ", i);
        echo += piece;
        EXPECT_EQ(static_cast<uint8_t>(arrived[i]), i % 256);
    }
    EXPECT_EQ(run.doc.text(), echo);
}

// Holding a send stops its writes until it is let go; it then finishes with the
// delay given at the release, however long the delay it was held in.
TEST(SendPause, HeldSendWritesNothingAndGoesOnWithTheNewDelay)
{
    SendRun run;
    ASSERT_TRUE(run.pty.isOpen());
    run.range(0, 9, kLongestDelay);
    std::this_thread::sleep_for(milliseconds(20));
    const auto start = Clock::now();
    run.engine.Pause(&run.doc);
    EXPECT_LT(MsSince(start), 100);
    EXPECT_EQ(run.written(), 1U);
    // The port is closed and opened again while the send is held, as the settings
    // dialog does.
    ASSERT_TRUE(run.pty.port.Close());
    std::this_thread::sleep_for(milliseconds(30));
    ASSERT_TRUE(run.pty.port.Open(1, 115200, 0, 0, 8));
    EXPECT_EQ(run.written(), 1U);
    run.engine.Resume(0);
    const SendResult result = run.engine.Wait(&run.doc);
    EXPECT_EQ(result.outcome, SendOutcome::Completed);
    EXPECT_EQ(result.bytesSent, 10);
    EXPECT_EQ(run.doc.text(), "0x00 0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08 0x09 ");
}

// The document went away: the send ends without writing on.
TEST(SendDocument, GoneDocumentEndsTheSend)
{
    SendRun run;
    ASSERT_TRUE(run.pty.isOpen());
    run.range(0, 100000, 100);
    std::this_thread::sleep_for(milliseconds(10));
    // Carrying the echo out to no document is what the owner does once the window
    // is gone; a stop request would race it and end the send as Stopped instead.
    const SendResult result = run.engine.Wait(nullptr);
    EXPECT_EQ(result.outcome, SendOutcome::DocumentGone);
    EXPECT_LT(result.bytesSent, 100001);
}

// A decimal send over a pseudo-terminal whose echo queue holds only 4 pieces.
struct SmallQueueSend
{
    PtyPort pty;
    MemoryDocument doc;
    SendEngine engine { [this](uint8_t byte, const std::atomic<bool> &giveUp) {
                           return pty.port.WriteByte(byte, giveUp);
                       },
        [] { return Notation::Decimal; }, nullptr, 4 };
};

// A full echo queue holds the send thread until the owner takes the pieces: with
// a queue of 4 pieces, every byte of a long range is still echoed, in order.
TEST(SendQueue, SmallQueueLosesNothing)
{
    SmallQueueSend run;
    ASSERT_TRUE(run.pty.isOpen());
    PtyPort &pty = run.pty;
    MemoryDocument &doc = run.doc;
    SendEngine &engine = run.engine;
    std::thread drain([&] { pty.receive(2000, 3000); });
    SendJob job;
    job.autoSend = true;
    job.sendStart = 0;
    job.sendEnd = 1999;
    engine.Start(job);
    const SendResult result = engine.Wait(&doc);
    drain.join();
    EXPECT_EQ(result.outcome, SendOutcome::Completed);
    EXPECT_LE(engine.queueHighWater(), 4U);
    std::string echo;
    for (int i = 0; i < 2000; ++i) {
        echo += std::to_string(i) + " ";
    }
    EXPECT_EQ(doc.text(), echo);
}

// The send thread writes and a reader reads while the port is closed and opened
// again over and over, as the user-interface thread does with the port button and
// the settings dialog. Each send ends when the port goes; its echo always equals
// the bytes its writes reported. Meant for ThreadSanitizer.
TEST(SendRace, SendAndReadWhileThePortClosesAndReopens)
{
    SendRun run;
    ASSERT_TRUE(run.pty.isOpen());
    std::atomic<bool> stop { false };
    std::thread reader([&] {
        uint8_t byte = 0;
        while (!stop.load()) {
            run.pty.port.ReadByte(byte);
        }
    });
    std::thread drain([&] {
        while (!stop.load()) {
            run.pty.receive(1 << 16, 5);
        }
    });
    constexpr int kRounds = 40;
    int64_t sent = 0;
    for (int round = 0; round < kRounds; ++round) {
        run.doc.ClearDocument();
        run.range(0, 1000000, round % 2 == 0 ? 0 : 50);
        std::this_thread::sleep_for(std::chrono::microseconds(300 + 97 * (round % 10)));
        if (round % 3 == 0) {
            run.engine.Pause(&run.doc);
            run.pty.port.Close();
            run.pty.port.Open(1, 115200, 0, 0, 8);
            run.engine.Resume(0);
        }
        run.pty.port.Close();
        const SendResult result = run.engine.Wait(&run.doc);
        EXPECT_EQ(result.outcome, SendOutcome::WriteFailed) << "round " << round;
        EXPECT_EQ(static_cast<int64_t>(run.echoes()), result.bytesSent) << "round " << round;
        sent += result.bytesSent;
        ASSERT_TRUE(run.pty.port.Open(1, 115200, 0, 0, 8));
    }
    stop = true;
    reader.join();
    drain.join();
    EXPECT_GT(sent, 0);
}

} // namespace

// How a send's end reaches its owner: one that ends by itself shows in hasEnded()
// before anything is carried out; a stop carries out the echo of every byte that
// went out; a stop with no document (the program quits) drops it, even while the
// thread waits for room in a full queue. The line got exactly the bytes counted.
struct EndCase
{
    const char *name;
    int32_t last; // the range is 0..last, delay 0
    bool stop;
    bool withDocument;
    SendOutcome outcome;
};

class SendEndTest : public ::testing::TestWithParam<EndCase>
{
};

TEST_P(SendEndTest, TheOwnerSeesTheEndAndTheEchoMatchesTheLine)
{
    const EndCase &c = GetParam();
    SmallQueueSend run;
    ASSERT_TRUE(run.pty.isOpen());
    PtyPort &pty = run.pty;
    MemoryDocument &doc = run.doc;
    SendEngine &engine = run.engine;
    std::atomic<bool> drained { false };
    std::size_t onTheLine = 0;
    std::thread drain([&] {
        while (!drained.load()) {
            onTheLine += pty.receive(1 << 16, 20).size();
        }
    });
    SendJob job;
    job.autoSend = true;
    job.sendEnd = c.last;
    engine.Start(job);
    // A queue of 4 pieces holds the whole echo of a short range; a long one waits.
    const auto deadline = Clock::now() + std::chrono::milliseconds(c.stop ? 50 : 5000);
    while (!engine.hasEnded() && Clock::now() < deadline) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    EXPECT_NE(engine.hasEnded(), c.stop);
    const SendResult result = c.stop ? engine.Stop(c.withDocument ? &doc : nullptr)
                                     : (engine.ApplyPending(&doc), engine.result());
    EXPECT_FALSE(engine.hasEnded()) << "collected";
    std::this_thread::sleep_for(milliseconds(100));
    drained = true;
    drain.join();
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(static_cast<int64_t>(onTheLine), result.bytesSent);
    EXPECT_EQ(c.stop, result.bytesSent <= c.last);
    const std::string echo = doc.text();
    EXPECT_EQ(std::count(echo.begin(), echo.end(), ' '), c.withDocument ? result.bytesSent : 0);
}

INSTANTIATE_TEST_SUITE_P(Ends, SendEndTest,
    ::testing::Values(EndCase { "by_itself", 2, false, true, SendOutcome::Completed },
        EndCase { "stopped", 1000000, true, true, SendOutcome::Stopped },
        EndCase { "stopped_without_a_document", 1000000, true, false, SendOutcome::DocumentGone }),
    [](const auto &row) { return std::string(row.param.name); });
