// Sequences against a pseudo-terminal device that answers commands: each step kind,
// a failed wait, repeats, a stop mid-step and a device that vanishes. The control
// lines come from libbyteway-modemsim (preloaded by ctest).

#include "automation/devicelines.h"
#include "automation/sequencereport.h"
#include "automation/sequencerunner.h"
#include "linetest/devicechannel.h"
#include "modemsim.h"
#include "ptydevice.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// Plays the far side: answers "AT\r" with "OK\r\n", "BOOT\r" with a banner, anything
// else ending in CR with "ERROR\r\n"; records the modem lines it saw change.
class Responder
{
public:
    explicit Responder(int master)
        : m_master(master)
    {
        int lines = 0;
        m_now = ::ioctl(m_master, TIOCMGET, &lines) == 0 ? lines : 0;
        m_thread = std::jthread([this](const std::stop_token &stop) { run(stop); });
    }
    int linesSeen() const { return m_seen.load(); }
    int linesNow() const { return m_now.load(); }

private:
    void run(const std::stop_token &stop)
    {
        std::string line;
        while (!stop.stop_requested()) {
            int lines = 0;
            if (::ioctl(m_master, TIOCMGET, &lines) == 0) {
                m_seen |= lines ^ m_now.exchange(lines);
            }
            pollfd waiter { m_master, POLLIN, 0 };
            if (::poll(&waiter, 1, 2) <= 0) {
                continue;
            }
            char c = 0;
            if (::read(m_master, &c, 1) != 1) {
                return;
            }
            if (c != '\r') {
                line += c;
                continue;
            }
            const std::string answer = line == "AT" ? "OK\r\n"
                : line == "BOOT"                    ? "boot v12 ready\r\n"
                                                    : "ERROR\r\n";
            static_cast<void>(::write(m_master, answer.data(), answer.size()));
            line.clear();
        }
    }
    int m_master;
    std::atomic<int> m_seen { 0 };
    std::atomic<int> m_now { 0 };
    std::jthread m_thread;
};

class SequencePty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Result<std::unique_ptr<DeviceChannel>> channel
            = DeviceChannel::Open(m_device.slaveName(), LineFraming());
        ASSERT_TRUE(channel.ok()) << channel.status().reason();
        m_channel = std::move(*channel);
        m_controls = std::make_unique<DeviceControlLines>(m_channel->readDescriptor());
    }
    std::unique_ptr<SequenceRunner> runner(const std::string &steps)
    {
        Result<AutomationSet> set = ParseAutomation("[sequence]\nname = t\n" + steps);
        EXPECT_TRUE(set.ok()) << set.status().reason();
        m_sequence = set.ok() ? set->sequences.at(0) : Sequence();
        return std::make_unique<SequenceRunner>(
            m_sequence, *m_channel, *m_controls, Utf8PassThrough());
    }

    PtyDevice m_device;
    std::unique_ptr<DeviceChannel> m_channel;
    std::unique_ptr<DeviceControlLines> m_controls;
    Sequence m_sequence;
};

struct RunRow
{
    std::string name;
    std::string steps;
    Verdict verdict;
    uint64_t passed;
    uint64_t failed;
    std::string inDetail; // found in the last result's detail or the reason
};

class SequenceRuns : public SequencePty, public ::testing::WithParamInterface<RunRow>
{
};

TEST_P(SequenceRuns, EndWithTheVerdictAndCounts)
{
    Responder responder(m_device.master());
    const RunRow &row = GetParam();
    const SequenceProgress result = runner(row.steps)->Run(std::stop_token());
    EXPECT_EQ(result.verdict, row.verdict) << SequenceSummary(m_sequence, result);
    EXPECT_EQ(result.passed, row.passed) << SequenceSummary(m_sequence, result);
    EXPECT_EQ(result.failed, row.failed);
    const std::string said
        = (result.results.empty() ? std::string() : result.results.back().detail) + result.reason;
    EXPECT_NE(said.find(row.inDetail), std::string::npos) << said;
}

INSTANTIATE_TEST_SUITE_P(Rows, SequenceRuns,
    ::testing::Values(
        RunRow { "send_and_expect", "send = ending=cr text:AT\nexpect = 2000 text:OK\\r\\n\n",
            Verdict::Passed, 2, 0, "" },
        RunRow { "answer_before_expect",
            "send = ending=cr text:AT\nwait = 200\nexpect = 100 text:OK\n", Verdict::Passed, 3, 0,
            "" },
        RunRow { "regex_expect", "send = ending=cr text:BOOT\nexpect = 2000 regex:v[0-9]+ ready\n",
            Verdict::Passed, 2, 0, "" },
        RunRow { "failed_wait_shows_instead",
            "send = ending=cr text:AT+X\nexpect = 300 text:OK\nsend = text:never\n",
            Verdict::Failed, 1, 1, "\"ERROR\\r\\n\" hex 45 52 52 4F 52 0D 0A" },
        RunRow { "wait_with_nothing", "expect = 100 text:OK\n", Verdict::Failed, 0, 1,
            "received nothing" },
        RunRow { "repeat_block",
            "repeat = 3\n send = ending=cr text:AT\n expect = 2000 text:OK\nend\n", Verdict::Passed,
            6, 0, "" },
        RunRow { "nested_repeat", "repeat = 2\nrepeat = 2\nwait = 1\nend\nwait = 1\nend\n",
            Verdict::Passed, 6, 0, "" },
        RunRow { "fail_step", "wait = 1\nfail = bad board\nwait = 1\n", Verdict::Failed, 1, 1,
            "bad board" },
        RunRow { "pass_step_ends_early", "pass = done\nfail\n", Verdict::Passed, 1, 0, "done" },
        RunRow { "checksum_payload",
            "send = checksum=sum8 ending=cr hex:41\nexpect = 2000 text:ERROR\n", Verdict::Passed, 2,
            0, "" }),
    RowName());

struct LineRow
{
    std::string name;
    std::string steps;
    int seen; // lines that changed at some time
    int after; // the lines held at the end
};

class SequenceLines : public SequencePty, public ::testing::WithParamInterface<LineRow>
{
};

TEST_P(SequenceLines, DriveTheControlLines)
{
    ASSERT_TRUE(m_controls->setLine(ModemLine::Dtr, false).ok());
    ASSERT_TRUE(m_controls->setLine(ModemLine::Rts, false).ok());
    Responder responder(m_device.master());
    const SequenceProgress result = runner(GetParam().steps)->Run(std::stop_token());
    ASSERT_EQ(result.verdict, Verdict::Passed) << SequenceSummary(m_sequence, result);
    std::this_thread::sleep_for(std::chrono::milliseconds(30)); // the responder's next look
    const int watched = TIOCM_DTR | TIOCM_RTS | kModemSimBreak;
    EXPECT_EQ(responder.linesSeen() & watched, GetParam().seen);
    EXPECT_EQ(responder.linesNow() & watched, GetParam().after);
}

INSTANTIATE_TEST_SUITE_P(Rows, SequenceLines,
    ::testing::Values(LineRow { "dtr_on", "dtr = on\nwait = 50\n", TIOCM_DTR, TIOCM_DTR },
        LineRow { "rts_on_then_off", "rts = on\nwait = 50\nrts = off\nwait = 50\n", TIOCM_RTS, 0 },
        LineRow { "pulse_dtr", "pulse = dtr on 100\nwait = 50\n", TIOCM_DTR, 0 },
        LineRow { "break", "break = 100\nwait = 50\n", kModemSimBreak, 0 }),
    RowName());

TEST_F(SequencePty, StopsMidStepAndLeavesTheLines)
{
    auto run = runner("dtr = on\nwait = 60000\n");
    run->Start();
    while (run->progress().step != 1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run->Stop();
    run->Wait();
    const SequenceProgress result = run->progress();
    EXPECT_EQ(result.verdict, Verdict::Stopped);
    EXPECT_EQ(result.step, 1u);
    EXPECT_EQ(result.passed, 1u);
    Result<ModemLines> lines = m_controls->lines();
    ASSERT_TRUE(lines.ok()) << lines.status().reason();
    EXPECT_TRUE(lines->dtr);
}

TEST_F(SequencePty, EndlessLoopRunsUntilStopped)
{
    auto run = runner("repeat = forever\nwait = 5\nend\n");
    run->Start();
    while (run->progress().passed < 5) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(run->finished());
    run->Stop();
    run->Wait();
    EXPECT_EQ(run->progress().verdict, Verdict::Stopped);
}

TEST_F(SequencePty, AVanishedDeviceCouldNotRun)
{
    auto run = runner("expect = 10000 text:never\n");
    run->Start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    m_device.unplug();
    run->Wait();
    const SequenceProgress result = run->progress();
    EXPECT_EQ(result.verdict, Verdict::CouldNotRun);
    EXPECT_EQ(result.reason.rfind("step 1: ", 0), 0u) << result.reason;
}

// Without modem lines (no library preloaded) a line step cannot run, and says why.
TEST_F(SequencePty, RefusedLineCouldNotRun)
{
    if (std::getenv("LD_PRELOAD") != nullptr) {
        GTEST_SKIP() << "runs in controllines-free mode only (automation_lines_refused_test)";
    }
    const SequenceProgress result = runner("dtr = on\n")->Run(std::stop_token());
    EXPECT_EQ(result.verdict, Verdict::CouldNotRun);
    EXPECT_FALSE(result.reason.empty());
}

} // namespace
