// Opening, closing and configuring SerialPort on real pseudo-terminals.

#include "ptydevice.h"
#include "rowname.h"
#include "serial/linuxbaud.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <filesystem>
#include <ostream>
#include <string>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace {

class SerialOpen : public ::testing::Test
{
protected:
    void SetUp() override { home.link(1, pty.slaveName()); }

    TempConfigHome home;
    PtyDevice pty;
    SerialPort port;
};

// ---- port numbers ----------------------------------------------------------

class SerialPortNumber : public ::testing::TestWithParam<int32_t>
{
};

TEST_P(SerialPortNumber, OutsideOneToEightTouchesNothing)
{
    TempConfigHome home;
    SerialPort port;
    const int32_t number = GetParam();
    EXPECT_FALSE(port.Open(number, 57600, 0, 0, 8));
    EXPECT_EQ(port.currentPort(), number);
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.lastError().empty());
    EXPECT_FALSE(port.Close());
    EXPECT_EQ(port.WriteByte(0x41), 0);
    EXPECT_EQ(SerialPort::DeviceName(number), "");
}

INSTANTIATE_TEST_SUITE_P(Numbers, SerialPortNumber, ::testing::Values(0, 9, -1, INT_MIN, INT_MAX));

class SerialMappedPort : public ::testing::TestWithParam<int32_t>
{
};

TEST_P(SerialMappedPort, OpensTheLinkedDeviceAndClosesOnce)
{
    TempConfigHome home;
    PtyDevice pty;
    const int32_t number = GetParam();
    home.link(number, pty.slaveName());
    SerialPort port;
    ASSERT_TRUE(port.Open(number, 57600, 0, 0, 8)) << port.lastError();
    EXPECT_TRUE(port.isOpen());
    EXPECT_EQ(port.currentPort(), number);
    EXPECT_EQ(port.WriteByte(0x5A), 1);
    EXPECT_EQ(pty.receive(1, 1000), "\x5A");
    EXPECT_TRUE(port.Close());
    EXPECT_FALSE(port.Close());
    EXPECT_FALSE(port.isOpen());
    EXPECT_EQ(port.WriteByte(0x5A), 0);
}

INSTANTIATE_TEST_SUITE_P(Ports, SerialMappedPort, ::testing::Values(1, 8));

// ---- device names ----------------------------------------------------------

struct NameCase
{
    const char *name;
    bool setXdg; // XDG_CONFIG_HOME points at the temporary folder
    const char *link; // where com3 is linked, relative to the temporary folder
    const char *expect; // expected name, relative to it (or absolute)
};

void PrintTo(const NameCase &row, std::ostream *out)
{
    *out << row.name;
}

class SerialDeviceName : public ::testing::TestWithParam<NameCase>
{
};

TEST_P(SerialDeviceName, FollowsTheMapping)
{
    const NameCase &c = GetParam();
    TempConfigHome home;
    if (!c.setXdg)
        unsetenv("XDG_CONFIG_HOME"); // HOME still points at the temporary folder
    if (c.link[0] != '\0') {
        const std::string folder = home.root() + "/" + c.link;
        std::filesystem::create_directories(folder);
        std::filesystem::create_symlink("/nonexistent/tty", folder + "/com3");
    }
    const std::string expect
        = c.expect[0] == '/' ? std::string(c.expect) : home.root() + "/" + c.expect;
    EXPECT_EQ(SerialPort::DeviceName(3), expect);
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialDeviceName,
    ::testing::Values(NameCase { "NoLinkFallsBackToTtyS", true, "", "/dev/ttyS2" },
        NameCase { "DanglingLinkStillCounts", true, "byteway", "byteway/com3" },
        NameCase { "WithoutXdgUsesDotConfig", false, ".config/byteway", ".config/byteway/com3" },
        NameCase { "WithoutXdgNoLink", false, "", "/dev/ttyS2" }),
    RowName());

// ---- exclusive use ---------------------------------------------------------

TEST_F(SerialOpen, SecondOpenOfAHeldDeviceFails)
{
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    SerialPort other;
    EXPECT_FALSE(other.Open(1, 57600, 0, 0, 8));
    EXPECT_FALSE(port.Open(1, 9600, 0, 0, 8));
    // The first handle is untouched by the refused attempts.
    EXPECT_EQ(port.WriteByte(0x31), 1);
    EXPECT_EQ(pty.receive(1, 1000), "1");
    EXPECT_TRUE(port.Close());
    EXPECT_TRUE(other.Open(1, 57600, 0, 0, 8)) << other.lastError();
}

TEST_F(SerialOpen, AnotherProgramCannotTakeTheDevice)
{
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    const int fd = ::open(pty.slaveName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    const int openError = errno;
    if (geteuid() != 0) {
        // Unprivileged openers are refused by the terminal itself.
        EXPECT_LT(fd, 0);
        EXPECT_EQ(openError, EBUSY);
    }
    if (fd >= 0) {
        // A privileged opener gets past TIOCEXCL but not past the lock.
        EXPECT_NE(flock(fd, LOCK_EX | LOCK_NB), 0);
        ::close(fd);
    }
    ASSERT_TRUE(port.Close());
    const int after = ::open(pty.slaveName().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(after, 0) << "the device stayed held after Close";
    EXPECT_EQ(flock(after, LOCK_EX | LOCK_NB), 0);
    ::close(after);
}

TEST_F(SerialOpen, FailedOpenStillBecomesTheCurrentPort)
{
    home.link(2, "/nonexistent/tty");
    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    EXPECT_FALSE(port.Open(2, 57600, 0, 0, 8));
    EXPECT_EQ(port.currentPort(), 2);
    EXPECT_FALSE(port.lastError().empty());
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.Close());
    EXPECT_EQ(port.WriteByte(0x41), 0);
    EXPECT_EQ(pty.receive(1, 20), "");
}

// ---- line settings ---------------------------------------------------------

struct LineCase
{
    const char *name;
    int32_t baud;
    uint8_t parity, stopBits, dataBits;
    speed_t speedCode; // 0 for a rate outside the termios table
    bool cstopb, parodd, cmspar;
};

void PrintTo(const LineCase &row, std::ostream *out)
{
    *out << row.name;
}

class SerialLineSettings : public ::testing::TestWithParam<LineCase>
{
};

// The Linux pty driver forces 8 data bits and clears PARENB, so the character size
// and parity-on cannot be seen here; speed, stop bits and the odd/mark/space bits can.
TEST_P(SerialLineSettings, AreSeenOnTheTerminal)
{
    const LineCase &c = GetParam();
    TempConfigHome home;
    PtyDevice pty;
    home.link(1, pty.slaveName());
    SerialPort port;
    ASSERT_TRUE(port.Open(1, c.baud, c.parity, c.stopBits, c.dataBits)) << port.lastError();
    const termios seen = pty.slaveSettings();
    if (c.speedCode != 0) {
        EXPECT_EQ(cfgetospeed(&seen), c.speedCode);
        EXPECT_EQ(cfgetispeed(&seen), c.speedCode);
    }
    EXPECT_EQ(serial_backend::CustomBaud(pty.slave()), c.baud);
    EXPECT_EQ((seen.c_cflag & CSTOPB) != 0, c.cstopb);
    EXPECT_EQ((seen.c_cflag & PARODD) != 0, c.parodd);
    EXPECT_EQ((seen.c_cflag & CMSPAR) != 0, c.cmspar);
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialLineSettings,
    ::testing::Values(LineCase { "Defaults57600_8N1", 57600, 0, 0, 8, B57600, false, false, false },
        LineCase { "Odd9600", 9600, 1, 0, 8, B9600, false, true, false },
        LineCase { "Even7Data", 19200, 2, 0, 7, B19200, false, false, false },
        LineCase { "MarkTwoStops", 115200, 3, 2, 8, B115200, true, true, true },
        LineCase { "Space1200", 1200, 4, 0, 8, B1200, false, false, true },
        LineCase { "OneAndAHalfWithFiveBits", 300, 0, 1, 5, B300, true, false, false },
        LineCase { "SixBitsTwoStops", 4800, 0, 2, 6, B4800, true, false, false },
        LineCase { "ArbitraryRate250000", 250000, 0, 0, 8, 0, false, false, false },
        LineCase { "ArbitraryRate12345", 12345, 1, 0, 8, 0, false, true, false }),
    RowName());

TEST_F(SerialOpen, TurnsTheLineDisciplineOff)
{
    // Start from the pty's cooked defaults: canonical mode, echo, signals, CR/NL
    // translation and output processing all on.
    PtyDevice cooked(false);
    home.link(1, cooked.slaveName());
    termios before = cooked.slaveSettings();
    before.c_iflag |= INPCK | ISTRIP | PARMRK | IGNPAR | INLCR | IGNCR | BRKINT;
    before.c_cflag &= ~static_cast<tcflag_t>(CLOCAL);
    cooked.setSlaveSettings(before);

    ASSERT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
    const termios seen = cooked.slaveSettings();
    EXPECT_EQ(seen.c_lflag & (ICANON | ECHO | ECHOE | ECHOK | ECHONL | ISIG | IEXTEN), 0u);
    EXPECT_EQ(seen.c_oflag & OPOST, 0u);
    EXPECT_EQ(
        seen.c_iflag & (INPCK | ISTRIP | PARMRK | IGNPAR | INLCR | IGNCR | ICRNL | BRKINT), 0u);
    EXPECT_EQ(seen.c_cflag & (CREAD | CLOCAL), tcflag_t(CREAD | CLOCAL));
}

struct KeptCase
{
    const char *name;
    tcflag_t iflags; // software flow control bits set before Open
    tcflag_t cflags; // hardware flow control and hang-up bits set before Open
};

void PrintTo(const KeptCase &row, std::ostream *out)
{
    *out << row.name;
}

class SerialKeptSettings : public ::testing::TestWithParam<KeptCase>
{
};

TEST_P(SerialKeptSettings, FlowControlAndHangUpStayAsTheyWere)
{
    const KeptCase &c = GetParam();
    TempConfigHome home;
    PtyDevice pty;
    home.link(1, pty.slaveName());
    const tcflag_t iMask = IXON | IXOFF | IXANY;
    const tcflag_t cMask = CRTSCTS | HUPCL;
    termios before = pty.slaveSettings();
    before.c_iflag = (before.c_iflag & ~iMask) | c.iflags;
    before.c_cflag = (before.c_cflag & ~cMask) | c.cflags;
    pty.setSlaveSettings(before);

    SerialPort port;
    ASSERT_TRUE(port.Open(1, 9600, 1, 2, 7)) << port.lastError();
    const termios seen = pty.slaveSettings();
    EXPECT_EQ(seen.c_iflag & iMask, c.iflags);
    EXPECT_EQ(seen.c_cflag & cMask, c.cflags);
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialKeptSettings,
    ::testing::Values(KeptCase { "AllOff", 0, 0 },
        KeptCase { "AllOn", IXON | IXOFF | IXANY, CRTSCTS | HUPCL },
        KeptCase { "SoftwareOnly", IXON | IXOFF, 0 }, KeptCase { "HardwareOnly", 0, CRTSCTS },
        KeptCase { "HangUpOnly", 0, HUPCL }),
    RowName());

struct RefusedCase
{
    const char *name;
    int32_t baud;
    uint8_t parity, stopBits, dataBits;
};

void PrintTo(const RefusedCase &row, std::ostream *out)
{
    *out << row.name;
}

class SerialRefusedSettings : public ::testing::TestWithParam<RefusedCase>
{
};

TEST_P(SerialRefusedSettings, FailAndReleaseTheDevice)
{
    const RefusedCase &c = GetParam();
    TempConfigHome home;
    PtyDevice pty;
    home.link(1, pty.slaveName());
    SerialPort port;
    EXPECT_FALSE(port.Open(1, c.baud, c.parity, c.stopBits, c.dataBits));
    EXPECT_FALSE(port.lastError().empty());
    EXPECT_FALSE(port.isOpen());
    EXPECT_FALSE(port.Close());
    // Nothing keeps the device: good settings open it right away.
    EXPECT_TRUE(port.Open(1, 57600, 0, 0, 8)) << port.lastError();
}

INSTANTIATE_TEST_SUITE_P(Cases, SerialRefusedSettings,
    ::testing::Values(RefusedCase { "FourDataBits", 57600, 0, 0, 4 },
        RefusedCase { "NineDataBits", 57600, 0, 0, 9 },
        RefusedCase { "ZeroDataBits", 57600, 0, 0, 0 },
        RefusedCase { "ParityCode5", 57600, 5, 0, 8 }, RefusedCase { "StopCode3", 57600, 0, 3, 8 },
        RefusedCase { "OneAndAHalfWithEightBits", 57600, 0, 1, 8 },
        RefusedCase { "OneAndAHalfWithSixBits", 57600, 0, 1, 6 },
        RefusedCase { "ZeroBaud", 0, 0, 0, 8 }, RefusedCase { "NegativeBaud", -9600, 0, 0, 8 }),
    RowName());

} // namespace
