// byteway-sequence as a production line runs it: its exit status, summary and JSON
// file, with byteway-device echoing at the far side.

#include "deviceprocess.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct Outcome
{
    int status = -1;
    std::string output;
};

// Runs byteway-sequence with `args`, its standard output and error read whole.
Outcome RunCommand(const std::vector<std::string> &args)
{
    int out[2];
    if (pipe(out) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<std::string> all { BYTEWAY_SEQUENCE };
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &arg : all) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned
        = posix_spawn(&pid, BYTEWAY_SEQUENCE, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    Outcome outcome;
    char buffer[512];
    ssize_t n = 0;
    while ((n = ::read(out[0], buffer, sizeof buffer)) > 0) {
        outcome.output.append(buffer, static_cast<size_t>(n));
    }
    ::close(out[0]);
    int status = 0;
    if (spawned == 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status)) {
        outcome.status = WEXITSTATUS(status);
    }
    return outcome;
}

class SequenceCommand : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_folder = std::filesystem::temp_directory_path()
            / ("sequencecommand_" + std::to_string(::getpid()) + "_"
                + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_folder);
        std::filesystem::create_directories(m_folder);
        m_link = (m_folder / "tty").string();
    }
    void TearDown() override
    {
        m_device.reset();
        std::filesystem::remove_all(m_folder);
    }
    void startDevice()
    {
        m_device = std::make_unique<DeviceProcess>(
            std::vector<std::string> { "--link", m_link, "--echo" });
        ASSERT_TRUE(m_device->waitFor("linked", 5000)) << m_device->text();
    }
    std::string file(const std::string &text)
    {
        const auto path = m_folder / "steps.ini";
        std::ofstream(path, std::ios::binary) << text;
        return path.string();
    }

    std::filesystem::path m_folder;
    std::string m_link;
    std::unique_ptr<DeviceProcess> m_device;
};

const std::string kEcho
    = "[sequence]\nname = echo\nsend = ending=cr text:AT\nexpect = 2000 text:AT\\r\n";

struct ExitRow
{
    std::string name;
    bool device; // the echoing device runs
    std::string text; // the file (empty: none is written)
    std::vector<std::string> extra;
    int status;
    std::string said;
};

class SequenceCommandExits : public SequenceCommand, public ::testing::WithParamInterface<ExitRow>
{
};

TEST_P(SequenceCommandExits, ExitStatus)
{
    const ExitRow &row = GetParam();
    if (row.device) {
        startDevice();
    }
    std::vector<std::string> args { "--device", m_link };
    args.insert(args.end(), row.extra.begin(), row.extra.end());
    args.push_back(row.text.empty() ? (m_folder / "missing.ini").string() : file(row.text));
    const Outcome outcome = RunCommand(args);
    EXPECT_EQ(outcome.status, row.status) << outcome.output;
    EXPECT_NE(outcome.output.find(row.said), std::string::npos) << outcome.output;
}

INSTANTIATE_TEST_SUITE_P(Rows, SequenceCommandExits,
    ::testing::Values(ExitRow { "passed", true, kEcho, {}, 0, "passed: 2 steps passed, 0 failed" },
        ExitRow { "failed_answer", true,
            "[sequence]\nsend = ending=cr text:AT\nexpect = 300 text:OK\n", {}, 1, "FAIL  step 2" },
        ExitRow { "chosen_by_name", true, "[sequence]\nname = a\nfail\n\n" + kEcho,
            { "--sequence", "echo" }, 0, "passed" },
        ExitRow { "name_not_in_file", true, kEcho, { "--sequence", "other" }, 2,
            "holds no sequence \"other\"" },
        ExitRow { "no_file", true, "", {}, 2, "missing.ini" },
        ExitRow {
            "malformed_file", true, "[sequence]\nwait = soon\n", {}, 2, "line 2: wait needs" },
        ExitRow { "no_device", false, kEcho, {}, 2, "cannot run" },
        ExitRow { "unknown_argument", true, kEcho, { "--colour" }, 2, "unknown argument" }),
    RowName());

TEST_F(SequenceCommand, WritesTheJsonReport)
{
    startDevice();
    const std::string json = (m_folder / "report.json").string();
    const Outcome outcome = RunCommand({ "--device", m_link, "--json", json, file(kEcho) });
    ASSERT_EQ(outcome.status, 0) << outcome.output;
    std::stringstream text;
    text << std::ifstream(json).rdbuf();
    EXPECT_NE(text.str().find("\"verdict\": \"passed\""), std::string::npos) << text.str();
    EXPECT_NE(text.str().find("\"text\": \"expect = 2000 text:AT\\\\r\""), std::string::npos)
        << text.str();
}

TEST_F(SequenceCommand, DeviceThatVanishesCouldNotRun)
{
    startDevice();
    const std::string steps = file("[sequence]\nexpect = 20000 text:never\n");
    std::thread unplug([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        m_device->stop(SIGKILL);
    });
    const Outcome outcome = RunCommand({ "--device", m_link, steps });
    unplug.join();
    EXPECT_EQ(outcome.status, 2) << outcome.output;
    EXPECT_NE(outcome.output.find("could not run"), std::string::npos) << outcome.output;
}

} // namespace
