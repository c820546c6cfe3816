// Why an open fails, told so that the user can put it right, and binding a device to
// a port number through the comN link. On real pseudo-terminals.

#include "ptydevice.h"
#include "serial/portbinding.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ownPidText()
{
    return "(" + std::to_string(::getpid()) + ")";
}

// How many descriptors this process has open now.
std::size_t openDescriptors()
{
    std::size_t count = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

// --- The reasons of a failed open ----------------------------------------------

struct FailureCase
{
    const char *name;
    OpenFailure::Kind kind;
};

class OpenFailureReason : public ::testing::TestWithParam<FailureCase>
{
protected:
    TempConfigHome home;
    PtyDevice device;
    SerialPort port;
    SerialPort holder;
};

TEST_P(OpenFailureReason, NamesWhatIsWrong)
{
    int32_t number = 1;
    switch (GetParam().kind) {
    case OpenFailure::Kind::Missing:
        home.link(1, home.root() + "/unplugged");
        break;
    case OpenFailure::Kind::Busy:
        home.link(1, device.slaveName());
        ASSERT_TRUE(holder.Open(1, 57600, 0, 0, 8)) << holder.lastError();
        break;
    case OpenFailure::Kind::BadNumber:
        number = 9;
        break;
    case OpenFailure::Kind::Refused:
        home.link(1, device.slaveName());
        break;
    default:
        FAIL() << "no such case";
    }
    const int32_t baud = GetParam().kind == OpenFailure::Kind::Refused ? 57600 : 9600;
    const uint8_t dataBits = GetParam().kind == OpenFailure::Kind::Refused ? 4 : 8;
    const std::size_t descriptorsBefore = openDescriptors();
    ASSERT_FALSE(port.Open(number, baud, 0, 0, dataBits));
    // Whichever step refused, the device's descriptor went again.
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
    const OpenFailure failure = port.lastFailure();
    EXPECT_EQ(failure.kind, GetParam().kind) << failure.detail;
    EXPECT_FALSE(failure.detail.empty());
    EXPECT_EQ(port.lastError(), failure.detail);
    EXPECT_EQ(port.state(), SerialPort::State::Closed);
    EXPECT_EQ(port.lastSettings().baudRate, baud);
    if (GetParam().kind == OpenFailure::Kind::Busy) {
        // The other holder is this very process; its lock names it.
        EXPECT_NE(failure.holders.find(ownPidText()), std::string::npos) << failure.holders;
    }
    if (number == 1) {
        EXPECT_EQ(failure.device, home.bytewayFolder() + "/com1");
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, OpenFailureReason,
    ::testing::Values(FailureCase { "missing_device", OpenFailure::Kind::Missing },
        FailureCase { "held_by_another_open", OpenFailure::Kind::Busy },
        FailureCase { "number_outside_1_to_8", OpenFailure::Kind::BadNumber },
        FailureCase { "four_data_bits", OpenFailure::Kind::Refused }),
    [](const ::testing::TestParamInfo<FailureCase> &row) { return std::string(row.param.name); });

TEST(OpenFailureSuccess, ClearsTheReason)
{
    TempConfigHome home;
    PtyDevice device;
    home.link(1, home.root() + "/unplugged");
    SerialPort port;
    ASSERT_FALSE(port.Open(1, 57600, 0, 0, 8));
    home.link(1, device.slaveName());
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    EXPECT_EQ(port.lastFailure().kind, OpenFailure::Kind::None);
    EXPECT_EQ(port.state(), SerialPort::State::Open);
}

// Run only as the unprivileged child of the test below: opens port 1 and reports.
TEST(OpenAsOtherUser, Probe)
{
    if (!std::getenv("BYTEWAY_OPEN_PROBE"))
        GTEST_SKIP() << "the permission test runs this as another user";
    SerialPort port;
    const bool opened = port.Open(1, 57600, 0, 0, 8);
    const OpenFailure failure = port.lastFailure();
    std::printf("probe opened=%d kind=%d group=%s\n", opened ? 1 : 0,
        static_cast<int>(failure.kind), failure.group.c_str());
}

TEST(OpenAsOtherUser, NoAccessNamesTheDevicesGroup)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "becoming another user through setpriv needs root";
    if (::access("/usr/bin/setpriv", X_OK) != 0)
        GTEST_SKIP() << "setpriv is not installed";
    TempConfigHome home;
    PtyDevice device;
    home.link(1, device.slaveName());
    // The unprivileged user must reach the link, not the device.
    ::chmod(home.root().c_str(), 0755);
    ::chmod(home.bytewayFolder().c_str(), 0755);
    struct stat info
    {
    };
    ASSERT_EQ(::stat(device.slaveName().c_str(), &info), 0);
    if ((info.st_mode & S_IROTH) != 0 || (info.st_mode & S_IWOTH) != 0)
        GTEST_SKIP() << "the pseudo-terminal is open to everyone here";

    char self[4096] = {};
    const ssize_t length = ::readlink("/proc/self/exe", self, sizeof self - 1);
    ASSERT_GT(length, 0);
    const std::string command = "BYTEWAY_OPEN_PROBE=1 /usr/bin/setpriv --reuid=nobody "
                                "--regid=nogroup --clear-groups "
        + std::string(self) + " --gtest_filter=OpenAsOtherUser.Probe 2>&1";
    FILE *pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe))
        output += buffer;
    const int status = ::pclose(pipe);
    if (output.find("probe opened=") == std::string::npos)
        GTEST_SKIP() << "could not run as nobody: " << output << " (status " << status << ")";

    group *owner = ::getgrgid(info.st_gid);
    ASSERT_NE(owner, nullptr);
    const std::string expected
        = "probe opened=0 kind=" + std::to_string(static_cast<int>(OpenFailure::Kind::NoAccess))
        + " group=" + owner->gr_name + "\n";
    EXPECT_NE(output.find(expected), std::string::npos) << output;
}

// --- Binding a device to a port number -------------------------------------------

struct BindCase
{
    const char *name;
    bool linkBefore; // a link exists already
    const char *target; // what is bound ("" removes); "<pty>" the pseudo-terminal
    bool linkAfter;
};

class PortBind : public ::testing::TestWithParam<BindCase>
{
protected:
    std::string link() const { return home.bytewayFolder() + "/com2"; }

    TempConfigHome home;
    PtyDevice device;
};

TEST_P(PortBind, WritesOrRemovesTheLink)
{
    const BindCase &c = GetParam();
    if (c.linkBefore)
        home.link(2, home.root() + "/old");
    const std::string target = std::string(c.target) == "<pty>" ? device.slaveName() : c.target;
    const Status bound = PortBinding::bind(2, target);
    ASSERT_TRUE(bound) << bound.reason();
    EXPECT_EQ(fs::is_symlink(fs::symlink_status(link())), c.linkAfter);
    if (c.linkAfter) {
        EXPECT_EQ(fs::read_symlink(link()).string(), target);
        EXPECT_EQ(PortBinding::mappedDevice(2), target);
        EXPECT_EQ(SerialPort::DeviceName(2), link());
    } else {
        EXPECT_EQ(PortBinding::mappedDevice(2), "/dev/ttyS1");
    }
    // Nothing is left behind beside the link.
    int entries = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(home.bytewayFolder()))
        ++entries;
    EXPECT_EQ(entries, c.linkAfter ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, PortBind,
    ::testing::Values(BindCase { "new_link", false, "<pty>", true },
        BindCase { "replaces_a_link", true, "<pty>", true },
        BindCase { "to_a_missing_device", false, "/dev/serial/by-id/usb-gone", true },
        BindCase { "empty_removes_the_link", true, "", false },
        BindCase { "empty_without_a_link", false, "", false }),
    [](const ::testing::TestParamInfo<BindCase> &row) { return std::string(row.param.name); });

TEST(PortBindFailure, LinkThatCannotBeWrittenChangesNothing)
{
    TempConfigHome home;
    // A settings folder that is a file cannot hold a link, whoever runs the test.
    std::ofstream(home.root() + "/byteway") << "not a folder";
    std::string error = PortBinding::bind(3, "/dev/ttyUSB0").reason();
    EXPECT_FALSE(error.empty());
    EXPECT_NE(error.find("byteway"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_regular_file(home.root() + "/byteway"));

    // Something that is not a link where the link goes cannot be replaced by one.
    fs::remove(home.root() + "/byteway");
    fs::create_directories(home.root() + "/byteway/com3/inside");
    error = PortBinding::bind(3, "/dev/ttyUSB0").reason();
    EXPECT_FALSE(error.empty());
    EXPECT_NE(error.find("com3"), std::string::npos) << error;
    EXPECT_TRUE(fs::is_directory(home.root() + "/byteway/com3/inside"));
    int entries = 0;
    for ([[maybe_unused]] const auto &entry : fs::directory_iterator(home.root() + "/byteway"))
        ++entries;
    EXPECT_EQ(entries, 1) << "no half-made link is left behind";
}

TEST(PortResolve, FollowsTheLinkToTheDevice)
{
    TempConfigHome home;
    PtyDevice device;
    // A link to a link, as a /dev/serial/by-id name is.
    const std::string byId = home.root() + "/by-id-name";
    fs::create_symlink(device.slaveName(), byId);
    home.link(1, byId);
    EXPECT_EQ(PortBinding::mappedDevice(1), byId);
    EXPECT_EQ(PortBinding::resolvedDevice(1), fs::canonical(device.slaveName()).string());
    home.link(1, home.root() + "/gone");
    EXPECT_EQ(PortBinding::resolvedDevice(1), home.root() + "/gone");
    EXPECT_EQ(PortBinding::stableName(device.slaveName()), device.slaveName())
        << "a pseudo-terminal has no udev name";
}

} // namespace
