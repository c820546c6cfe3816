// SerialPort on network addresses against servers on the loopback address: scripted
// servers that misbehave in each way a broken or hostile one can, a raw TCP echo, and
// pyserial's own RFC 2217 server example on its loop:// port.

#include "netservers.h"
#include "ptydevice.h"
#include "rowname.h"
#include "serial/portcontrollines.h"
#include "serial/portio.h"
#include "serial/serialport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include <sys/resource.h>

namespace {

using namespace std::chrono_literals;
using netservers::ScriptedServer;
using netservers::SendAll;
using Stopping = const std::atomic<bool> &;
using Clock = std::chrono::steady_clock;

template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

long ResidentKb()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Reads what the client sends until the test ends, answering nothing.
void Drain(int fd, Stopping stopping)
{
    char buffer[4096];
    while (!stopping) {
        pollfd waiter { fd, POLLIN, 0 };
        if (::poll(&waiter, 1, 20) > 0 && ::recv(fd, buffer, sizeof buffer, 0) <= 0) {
            return;
        }
    }
}

// Sends `chunk` over and over until the test ends or the client leaves.
void Endless(int fd, Stopping stopping, const std::string &chunk)
{
    const int flags = ::fcntl(fd, F_GETFL);
    ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
    char buffer[4096];
    while (!stopping) {
        if (::recv(fd, buffer, sizeof buffer, 0) == 0) {
            return;
        }
        const ssize_t sent = ::send(fd, chunk.data(), chunk.size(), MSG_NOSIGNAL);
        if (sent < 0 && errno != EAGAIN) {
            return;
        }
        pollfd waiter { fd, POLLOUT, 0 };
        ::poll(&waiter, 1, 5);
    }
}

const std::string kAccept = "\xFF\xFD\x2C"; // IAC DO COM-PORT-OPTION

// A server that answers every setting with the value asked for, except the baud
// rate, which it answers with 9600.
void Answers9600(int fd, Stopping stopping)
{
    SendAll(fd, kAccept);
    std::string asked;
    char buffer[512];
    while (!stopping && asked.find("\xFF\xFA\x2C\x01") == std::string::npos) {
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            asked.append(buffer, static_cast<std::size_t>(got));
        }
        std::this_thread::sleep_for(2ms);
    }
    SendAll(fd, std::string("\xFF\xFA\x2C\x65\x00\x00\x25\x80\xFF\xF0", 10));
    Drain(fd, stopping);
}

struct BadServerRow
{
    std::string name;
    ScriptedServer::Serve serve;
    OpenFailure::Kind kind;
    std::string reason; // part of the detail
    std::string setting = {};
};

class BadServers : public ::testing::TestWithParam<BadServerRow>
{
protected:
    void SetUp() override { port_io::SetNetTimeouts(600ms, 600ms); }
    void TearDown() override { port_io::SetNetTimeouts(5000ms, 5000ms); }

    // The failure, whether Open reported it at once or the connection failed after
    // Open left it connecting in the background.
    OpenFailure openAndWaitForFailure(const std::string &address)
    {
        home.link(1, address);
        if (!port.Open(1, 57600, 0, 0, 8)) {
            return port.lastFailure();
        }
        EXPECT_TRUE(
            WaitUntil([&] { return port.CheckDevice() != SerialPort::State::Connecting; }, 5s));
        EXPECT_EQ(port.state(), SerialPort::State::Lost);
        return port.lastFailure();
    }

    TempConfigHome home;
    SerialPort port;
};

TEST_P(BadServers, FailWithAClearReasonAndBoundedMemory)
{
    const BadServerRow &row = GetParam();
    ScriptedServer server(row.serve);
    const long before = ResidentKb();
    const OpenFailure failure
        = openAndWaitForFailure("rfc2217://127.0.0.1:" + std::to_string(server.port()));
    EXPECT_EQ(failure.kind, row.kind) << failure.detail;
    EXPECT_NE(failure.detail.find(row.reason), std::string::npos) << failure.detail;
    EXPECT_EQ(failure.setting, row.setting);
    EXPECT_LT(ResidentKb() - before, 16 * 1024) << "kB grown while the server misbehaved";
    EXPECT_FALSE(port.isOpen());
}

INSTANTIATE_TEST_SUITE_P(Rfc2217, BadServers,
    ::testing::Values(
        BadServerRow { "garbage",
            [](int fd, Stopping s) { Endless(fd, s, "garbage \x01\x02\x80 no telnet here"); },
            OpenFailure::Kind::NoAnswer, "no RFC 2217 answer" },
        BadServerRow { "close_in_a_subnegotiation",
            [](int fd, Stopping) { SendAll(fd, kAccept + "\xFF\xFA\x2C\x65\x00\x00"); },
            OpenFailure::Kind::Dropped, "connection" },
        BadServerRow { "endless_iacs",
            [](int fd, Stopping s) { Endless(fd, s, "\xFF\xFF\xFF\xF1\xFF\xFD\x05\xFF\xFB\x07"); },
            OpenFailure::Kind::NoAnswer, "no RFC 2217 answer" },
        BadServerRow { "endless_subnegotiation",
            [](int fd, Stopping s) {
                SendAll(fd, kAccept + "\xFF\xFA\x2C");
                Endless(fd, s, std::string(1024, 'x'));
            },
            OpenFailure::Kind::NetworkError, "malformed" },
        BadServerRow { "no_answer", Drain, OpenFailure::Kind::NoAnswer, "no RFC 2217 answer" },
        BadServerRow { "com_port_option_refused",
            [](int fd, Stopping s) {
                SendAll(fd, "\xFF\xFE\x2C");
                Drain(fd, s);
            },
            OpenFailure::Kind::NetworkError, "does not take RFC 2217" },
        BadServerRow { "baud_rate_refused", Answers9600, OpenFailure::Kind::SettingRefused,
            "the server refused 57600 baud", "57600 baud" }),
    RowName());

TEST_F(BadServers, NothingListening)
{
    const uint16_t free = netservers::FreePort();
    const OpenFailure failure
        = openAndWaitForFailure("rfc2217://127.0.0.1:" + std::to_string(free));
    EXPECT_EQ(failure.kind, OpenFailure::Kind::ConnectionRefused) << failure.detail;
}

TEST_F(BadServers, HostNotFound)
{
    const OpenFailure failure = openAndWaitForFailure("tcp://no-such-host.invalid:2217");
    EXPECT_EQ(failure.kind, OpenFailure::Kind::HostNotFound) << failure.detail;
    EXPECT_NE(failure.detail.find("no-such-host.invalid"), std::string::npos);
}

// A listener whose queue is full drops further connection requests, as an address
// that nothing answers does: Open returns while still connecting, and the time-out
// ends it.
TEST_F(BadServers, ConnectionNeverAnsweredLeavesOpenAtOnce)
{
    ScriptedServer server(nullptr, 0);
    std::vector<int> filling;
    for (int i = 0; i < 8; ++i) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        sockaddr_in address {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(server.port());
        ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
        filling.push_back(fd);
    }
    std::this_thread::sleep_for(50ms);
    home.link(1, "tcp://127.0.0.1:" + std::to_string(server.port()));
    ASSERT_TRUE(port.Open(1, 9600, 0, 0, 8)) << port.lastError();
    EXPECT_EQ(port.state(), SerialPort::State::Connecting);
    uint8_t byte = 0;
    EXPECT_EQ(port.ReadByte(byte), 0);
    EXPECT_EQ(port.WriteByte(0x41), 0) << "nothing goes out before the port is open";
    ASSERT_TRUE(WaitUntil([&] { return port.CheckDevice() == SerialPort::State::Lost; }, 5s));
    EXPECT_EQ(port.lastFailure().kind, OpenFailure::Kind::NoAnswer) << port.lastError();
    for (const int fd : filling) {
        ::close(fd);
    }
}

void Echo(int fd, Stopping stopping)
{
    char buffer[4096];
    while (!stopping) {
        pollfd waiter { fd, POLLIN, 0 };
        if (::poll(&waiter, 1, 20) <= 0) {
            continue;
        }
        const ssize_t got = ::recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0 || !SendAll(fd, std::string(buffer, static_cast<std::size_t>(got)))) {
            return;
        }
    }
}

// Writes every byte value and reads each back: what a raw echo (or a loop) returns
// must be exactly what went out, 0xFF and 0x00 included.
void ExpectEveryByteValueEchoed(SerialPort &port)
{
    for (int value = 0; value < 256; ++value) {
        ASSERT_EQ(port.WriteByte(static_cast<uint8_t>(value)), 1) << value;
    }
    for (int value = 0; value < 256; ++value) {
        uint8_t byte = 0;
        int got = 0;
        for (int tries = 0; tries < 40 && got == 0; ++tries) {
            got = port.ReadByte(byte);
        }
        ASSERT_EQ(got, 1) << "byte " << value << " missing";
        EXPECT_EQ(byte, value);
    }
}

TEST(NetPort, RawTcpCarriesBytesAsTheyAre)
{
    TempConfigHome home;
    ScriptedServer server(Echo);
    // The name is resolved: localhost, as a user would write it.
    home.link(1, "tcp://localhost:" + std::to_string(server.port()));
    SerialPort port;
    ASSERT_TRUE(port.Open(1, 9600, 0, 0, 8)) << port.lastError();
    ASSERT_TRUE(WaitUntil([&] { return port.state() == SerialPort::State::Open; }, 5s));
    ExpectEveryByteValueEchoed(port);
    LineErrorCounts counts;
    EXPECT_FALSE(port.lineErrors(counts)) << "raw TCP reports no line errors";
    PortControlLines lines(port);
    EXPECT_EQ(lines.lines().status().kind(), ErrorKind::Refused) << "nor control lines";
    EXPECT_EQ(lines.setLine(ModemLine::Dtr, true).kind(), ErrorKind::Refused);
}

TEST(NetPort, PyserialRfc2217ServerLoop)
{
    if (!std::filesystem::exists(netservers::kPyserialExample)) {
        GTEST_SKIP() << netservers::kPyserialExample << " missing (python3-serial)";
    }
    TempConfigHome home;
    const uint16_t tcpPort = netservers::FreePort();
    auto server = netservers::StartPyserialServer(home.root(), "loop://", tcpPort);
    ASSERT_TRUE(netservers::WaitListening(tcpPort, 10s)) << server->output();
    home.link(1, "rfc2217://[::ffff:127.0.0.1]:" + std::to_string(tcpPort));
    SerialPort port;
    bool opened = false;
    // The example serves one client at a time and may still be finishing the probe.
    for (int attempt = 0; attempt < 20 && !opened; ++attempt) {
        opened = port.Open(1, 19200, 2, 2, 7)
            && WaitUntil([&] { return port.CheckDevice() != SerialPort::State::Connecting; }, 6s)
            && port.state() == SerialPort::State::Open;
        if (!opened) {
            port.Close();
            std::this_thread::sleep_for(100ms);
        }
    }
    ASSERT_TRUE(opened) << port.lastError() << "\n" << server->output();
    ExpectEveryByteValueEchoed(port);
    LineErrorCounts counts;
    EXPECT_TRUE(port.lineErrors(counts)) << "RFC 2217 reports line errors";
    EXPECT_EQ(counts.total(), 0U);
}

// The server goes away in use: the port is lost with the reason, and comes back
// with the watch once the server listens again.
TEST(NetPort, DroppedConnectionIsALostPortThatComesBack)
{
    TempConfigHome home;
    auto server = std::make_unique<ScriptedServer>(Echo);
    const uint16_t tcpPort = server->port();
    home.link(1, "tcp://127.0.0.1:" + std::to_string(tcpPort));
    SerialPort port;
    ASSERT_TRUE(port.Open(1, 9600, 0, 0, 8)) << port.lastError();
    ASSERT_TRUE(WaitUntil([&] { return port.state() == SerialPort::State::Open; }, 5s));
    server.reset();
    ASSERT_TRUE(WaitUntil([&] { return port.CheckDevice() == SerialPort::State::Lost; }, 5s));
    EXPECT_EQ(port.lastFailure().kind, OpenFailure::Kind::Dropped) << port.lastError();
    EXPECT_TRUE(port.Reconnect() == false);
    EXPECT_EQ(port.lastFailure().kind, OpenFailure::Kind::ConnectionRefused) << port.lastError();
}

} // namespace
