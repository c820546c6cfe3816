// What may be bound and opened as a port: the check of a typed device name, the
// things that are no serial device, the program's own terminal, and the line
// settings a device had, which every close puts back. On real pseudo-terminals.

#include "ptydevice.h"
#include "rowname.h"
#include "serial/devicename.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Puts `fd` in place of standard input for its lifetime: the program then runs in
// that terminal as far as the checks can tell.
class StandardInputAs
{
public:
    explicit StandardInputAs(int fd)
        : m_saved(dup(0))
    {
        dup2(fd, 0);
    }
    ~StandardInputAs()
    {
        dup2(m_saved, 0);
        close(m_saved);
    }

private:
    int m_saved;
};

struct NameRow
{
    std::string name;
    std::string typed; // "<pty>" stands for the slave of a fresh pseudo-terminal
    bool stdinIsThePty;
    std::string bound; // empty: refused
};

class DeviceNameCheck : public ::testing::TestWithParam<NameRow>
{
};

TEST_P(DeviceNameCheck, BindsExactlyWhatIsSafe)
{
    const NameRow &row = GetParam();
    PtyDevice pty;
    const std::string typed = row.typed == "<pty>" ? pty.slaveName() : row.typed;
    const std::string bound = row.bound == "<pty>" ? pty.slaveName() : row.bound;
    std::unique_ptr<StandardInputAs> terminal;
    if (row.stdinIsThePty) {
        terminal = std::make_unique<StandardInputAs>(pty.slave());
    }
    const Result<std::string> checked = CheckDeviceName(typed);
    if (bound.empty()) {
        EXPECT_FALSE(checked.ok()) << *checked;
        EXPECT_FALSE(checked.status().reason().empty());
    } else {
        ASSERT_TRUE(checked.ok()) << checked.status().reason();
        EXPECT_EQ(*checked, bound);
    }
}

INSTANTIATE_TEST_SUITE_P(Names, DeviceNameCheck,
    ::testing::Values(NameRow { "absolute", "<pty>", false, "<pty>" },
        NameRow { "relative_is_under_dev", "pts/0", false, "/dev/pts/0" },
        NameRow { "scheme_passes", "tcp://localhost:4000", false, "tcp://localhost:4000" },
        NameRow { "line_break", "/dev/pts/0\n", false, "" },
        NameRow { "tab_inside", "/dev/\tpts/0", false, "" },
        NameRow { "dev_tty", "/dev/tty", false, "" }, NameRow { "relative_tty", "tty", false, "" },
        NameRow { "own_terminal", "<pty>", true, "" }),
    RowName());

// The kernel's active consoles, from a list in the system's form that names one
// pseudo-terminal: that one is refused when chosen and when opened, with a reason
// that names it; another is bound and opened as usual.
class ConsoleRefusal : public ::testing::TestWithParam<bool>
{
protected:
    void TearDown() override { SetConsoleListFile({}); }

    TempConfigHome home;
    PtyDevice console, other;
    SerialPort port;
};

TEST_P(ConsoleRefusal, IsRefusedByNameWhenChosenAndWhenOpened)
{
    const std::string list = home.root() + "/console-active";
    std::ofstream(list) << "tty0 " << console.slaveName().substr(5) << "\n";
    SetConsoleListFile(list);
    const bool listed = GetParam();
    const std::string device = listed ? console.slaveName() : other.slaveName();
    const Result<std::string> checked = CheckDeviceName(device);
    home.link(1, device);
    EXPECT_EQ(port.Open(1, 9600, 0, 0, 8), !listed) << port.lastError();
    if (!listed) {
        EXPECT_EQ(checked.ok() ? *checked : checked.status().reason(), device);
        return;
    }
    const std::string kernelName = device.substr(5); // "pts/N", as the list names it
    EXPECT_NE(checked.status().reason().find(kernelName), std::string::npos);
    EXPECT_EQ(port.lastFailure().kind, OpenFailure::Kind::Console);
    EXPECT_NE(port.lastError().find(kernelName), std::string::npos) << port.lastError();
}

INSTANTIATE_TEST_SUITE_P(
    Consoles, ConsoleRefusal, ::testing::Bool(), [](const ::testing::TestParamInfo<bool> &row) {
        return std::string(row.param ? "listed_console" : "other_port");
    });

struct NotSerialRow
{
    std::string name;
    std::string target; // a path, or a kind of thing made in the folder
    std::string reason;
};

class NotASerialDevice : public ::testing::TestWithParam<NotSerialRow>
{
protected:
    TempConfigHome home;
    SerialPort port;
};

TEST_P(NotASerialDevice, IsToldAsSuchWithTheSystemsReason)
{
    const NotSerialRow &row = GetParam();
    std::string target = row.target;
    const std::string made = home.root() + "/thing";
    if (row.target == "fifo") {
        ASSERT_EQ(mkfifo(made.c_str(), 0600), 0);
        target = made;
    } else if (row.target == "file") {
        std::ofstream(made) << "text";
        target = made;
    } else if (row.target == "folder") {
        fs::create_directory(made);
        target = made;
    }
    home.link(1, target);
    ASSERT_FALSE(port.Open(1, 9600, 0, 0, 8));
    const OpenFailure failure = port.lastFailure();
    EXPECT_EQ(failure.kind, OpenFailure::Kind::NotSerial) << failure.detail;
    EXPECT_NE(failure.detail.find(row.reason), std::string::npos) << failure.detail;
}

INSTANTIATE_TEST_SUITE_P(Things, NotASerialDevice,
    ::testing::Values(NotSerialRow { "fifo", "fifo", "Inappropriate ioctl" },
        NotSerialRow { "regular_file", "file", "Inappropriate ioctl" },
        NotSerialRow { "folder", "folder", "Is a directory" },
        NotSerialRow { "dev_null", "/dev/null", "Inappropriate ioctl" },
        NotSerialRow { "dev_zero", "/dev/zero", "Inappropriate ioctl" },
        NotSerialRow { "dev_full", "/dev/full", "Inappropriate ioctl" }),
    RowName());

// Open makes the line raw; every close (a plain Close, and the close of a port
// whose Open failed after changing settings) leaves the terminal as it was found.
TEST(LineSettings, EveryCloseRestoresWhatTheDeviceHad)
{
    TempConfigHome home;
    PtyDevice pty(false);
    home.link(1, pty.slaveName());
    const termios before = pty.slaveSettings();
    ASSERT_NE(before.c_lflag & ICANON, 0U);
    SerialPort port;
    ASSERT_TRUE(port.Open(1, 57600, 2, 0, 7)) << port.lastError();
    EXPECT_EQ(pty.slaveSettings().c_lflag & ICANON, 0U);
    ASSERT_TRUE(port.Close());
    const auto same = [&before](const termios &after) {
        return after.c_iflag == before.c_iflag && after.c_oflag == before.c_oflag
            && after.c_cflag == before.c_cflag && after.c_lflag == before.c_lflag
            && std::memcmp(after.c_cc, before.c_cc, sizeof after.c_cc) == 0;
    };
    EXPECT_TRUE(same(pty.slaveSettings()));
    // Refused settings (four data bits) after a partial change: the same.
    EXPECT_FALSE(port.Open(1, 57600, 0, 0, 4));
    EXPECT_TRUE(same(pty.slaveSettings()));
}

} // namespace
