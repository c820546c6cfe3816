// Recording to a file with the real pieces: the receive thread reading a
// pseudo-terminal, the send loop writing to it, the writer thread and the file.

#include "base/timestamp.h"
#include "capture/capturerecorder.h"
#include "capture/traffic.h"
#include "document/memorydocument.h"
#include "receivetesthelpers.h"
#include "rowname.h"
#include "send/senddata.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// Bytes 0..255 over and over, with a twist so that a lost or doubled byte shows.
std::string Flood(std::size_t count)
{
    std::string bytes(count, '\0');
    for (std::size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return bytes;
}

class TempFolder
{
public:
    TempFolder()
    {
        char pattern[] = "/tmp/byteway-capture-XXXXXX";
        m_path = mkdtemp(pattern) ? pattern : "";
    }
    ~TempFolder()
    {
        std::error_code error;
        fs::remove_all(m_path, error);
    }
    fs::path file(const char *name) const { return m_path / name; }

private:
    fs::path m_path;
};

class CaptureRecorderTest : public ::testing::Test
{
protected:
    void TearDown() override { static_cast<void>(Traffic.recorder.stop()); }
    TempFolder folder;
};

TEST_F(CaptureRecorderTest, RawCaptureOfAFloodEqualsTheFloodByteForByte)
{
    Reception r;
    ASSERT_TRUE(r.pty.isOpen());
    r.settings.FAutoClear = true;
    const fs::path path = folder.file("flood.bin");
    const Status started = Traffic.recorder.start(path, CaptureFormatFor(path));
    ASSERT_TRUE(started) << started.reason();
    const uint64_t before = Traffic.receivedTotal();
    const std::string flood = Flood(300000);
    r.engine.Start();
    std::thread device([&] { r.pty.send(flood); });
    // Each byte is counted by the tap before the receive thread handles it. A slow
    // build (a sanitizer) may take long: waiting goes on while bytes keep coming.
    const auto got = [&] { return Traffic.receivedTotal() - before; };
    bool all = false;
    for (uint64_t seen = got(); !all;) {
        all = r.pumpUntil([&] { return got() >= flood.size() || got() > seen + 10000; })
            && got() >= flood.size();
        if (got() == seen) {
            break;
        }
        seen = got();
    }
    device.join();
    r.engine.Stop(&r.doc);
    ASSERT_TRUE(all);
    EXPECT_EQ(Traffic.receivedTotal() - before, flood.size());
    const Status stopped = Traffic.recorder.stop();
    ASSERT_TRUE(stopped) << stopped.reason();
    const std::string captured = ReadFile(path);
    EXPECT_EQ(captured.size(), flood.size());
    EXPECT_TRUE(captured == flood) << "the capture differs from the flood";
}

TEST_F(CaptureRecorderTest, TextCaptureHoldsSentAndReceivedInTheOrderTheyPassed)
{
    Reception r;
    ASSERT_TRUE(r.pty.isOpen());
    const fs::path path = folder.file("session.log");
    ASSERT_TRUE(Traffic.recorder.start(path, CaptureFormatFor(path)));
    r.engine.Start();
    const uint64_t sentBefore = Traffic.sentTotal();
    // The send loop writes 41 42 43; the device answers 20 bytes after it has them.
    r.settings.FSendChar = "41 42 43";
    r.settings.FAutoSend = false;
    r.settings.FTwoCharDelay = 0;
    MemoryDocument sendDoc;
    SendData(
        &sendDoc, r.settings, [] { return Notation::Hex; }, r.pty.port);
    EXPECT_EQ(Traffic.sentTotal() - sentBefore, 3U);
    EXPECT_EQ(r.pty.receive(3, 2000), "ABC");
    const uint64_t receivedBefore = Traffic.receivedTotal();
    ASSERT_TRUE(r.pty.send(ByteRun(0, 19)));
    ASSERT_TRUE(r.pumpUntil([&] { return Traffic.receivedTotal() - receivedBefore >= 20; }));
    r.engine.Stop(&r.doc);
    const Status stopped = Traffic.recorder.stop();
    ASSERT_TRUE(stopped) << stopped.reason();

    std::istringstream lines(ReadFile(path));
    std::string line;
    std::string sent;
    std::string received;
    bool receivedFirst = false;
    static const std::regex kLine(
        R"(^\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{6} (RX|TX)((?: [0-9A-F]{2}){1,16})$)");
    while (std::getline(lines, line)) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(line, match, kLine)) << line;
        if (match[1] == "TX") {
            EXPECT_FALSE(receivedFirst) << "a sent byte after the answer";
            sent += match[2];
        } else {
            receivedFirst = true;
            received += match[2];
        }
    }
    EXPECT_EQ(sent, " 41 42 43");
    EXPECT_EQ(received, " 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13");
}

TEST_F(CaptureRecorderTest, WhatWasTakenIsInTheFileWithoutStopping)
{
    const fs::path path = folder.file("live.bin");
    ASSERT_TRUE(Traffic.recorder.start(path, CaptureFormat::Raw));
    for (uint8_t byte : std::string("live")) {
        Traffic.received(byte);
    }
    // Sent bytes have no place in the raw form.
    Traffic.sent('x');
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (ReadFile(path).size() < 4 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(ReadFile(path), "live");
    EXPECT_TRUE(Traffic.recorder.isRecording());
}

TEST_F(CaptureRecorderTest, DestroyingARecorderWhileBytesPourInKeepsAllItTook)
{
    const fs::path path = folder.file("exit.log");
    std::size_t taken = 0;
    {
        CaptureRecorder recorder;
        ASSERT_TRUE(recorder.start(path, CaptureFormat::Text));
        std::atomic<bool> running { true };
        std::atomic<std::size_t> count { 0 };
        std::thread pouring([&] {
            while (running) {
                recorder.add(CaptureDirection::Received, static_cast<uint8_t>(count.load()));
                count.fetch_add(1);
            }
        });
        while (count < 200000) {
            std::this_thread::yield();
        }
        // The recorder goes away as at the program's end, the thread still pouring
        // into it until just before.
        running = false;
        pouring.join();
        taken = count;
    }
    std::istringstream lines(ReadFile(path));
    std::string line;
    std::size_t bytes = 0;
    while (std::getline(lines, line)) {
        bytes += (line.size() - std::string("2023-11-14 22:13:20.000000 RX").size()) / 3;
    }
    EXPECT_EQ(bytes, taken);
}

TEST_F(CaptureRecorderTest, TwoThreadsKeepTheirOwnOrder)
{
    const fs::path path = folder.file("both.log");
    CaptureRecorder recorder;
    ASSERT_TRUE(recorder.start(path, CaptureFormat::Text));
    constexpr int kEach = 20000;
    auto pour = [&](CaptureDirection direction) {
        for (int i = 0; i < kEach; ++i) {
            recorder.add(direction, static_cast<uint8_t>(i));
        }
    };
    std::thread rx(pour, CaptureDirection::Received);
    std::thread tx(pour, CaptureDirection::Sent);
    rx.join();
    tx.join();
    ASSERT_TRUE(recorder.stop());
    std::istringstream lines(ReadFile(path));
    std::string line;
    int next[2] = { 0, 0 };
    std::string lastTime;
    while (std::getline(lines, line)) {
        const std::string time = line.substr(0, 26);
        EXPECT_GE(time, lastTime);
        lastTime = time;
        const int which = line.compare(27, 2, "RX") == 0 ? 0 : 1;
        std::istringstream items(line.substr(29));
        std::string item;
        while (items >> item) {
            ASSERT_EQ(std::stoi(item, nullptr, 16), next[which] & 0xFF);
            ++next[which];
        }
    }
    EXPECT_EQ(next[0], kEach);
    EXPECT_EQ(next[1], kEach);
}

TEST_F(CaptureRecorderTest, AFileThatCannotBeCreatedIsRefusedWithItsNameAndReason)
{
    const fs::path path = folder.file("missing-folder/x.log");
    const Status started = Traffic.recorder.start(path, CaptureFormat::Text);
    EXPECT_FALSE(started);
    EXPECT_FALSE(Traffic.recorder.isRecording());
    const std::string &error = started.reason();
    EXPECT_NE(error.find(path.string()), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
    Traffic.received('a');
}

// A full medium, made with a file size limit in a child process: the recording ends
// with a report naming the file and the reason, the bytes that fitted stay in the
// file, and the thread feeding the recorder is not held up.
TEST_F(CaptureRecorderTest, AFullMediumEndsTheRecordingAndKeepsWhatWasWritten)
{
    constexpr rlim_t kLimit = 8192;
    const fs::path path = folder.file("full.bin");
    const std::string flood = Flood(100000);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Without a handler, going past the limit would kill the process.
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit { kLimit, kLimit };
        setrlimit(RLIMIT_FSIZE, &limit);
        std::mutex mutex;
        std::condition_variable reported;
        std::string reason;
        CaptureRecorder recorder;
        if (!recorder.start(path, CaptureFormat::Raw, [&](const Status &why) {
                std::lock_guard lock(mutex);
                reason = why.reason();
                reported.notify_one();
            })) {
            _exit(10);
        }
        for (char byte : flood) {
            recorder.add(CaptureDirection::Received, static_cast<uint8_t>(byte));
        }
        std::unique_lock lock(mutex);
        if (!reported.wait_for(lock, std::chrono::seconds(10), [&] { return !reason.empty(); })) {
            _exit(11);
        }
        if (reason.find(path.string()) == std::string::npos
            || reason.find("File too large") == std::string::npos) {
            _exit(12);
        }
        lock.unlock();
        if (recorder.isRecording()) {
            _exit(13);
        }
        // Bytes after the failure are not taken; stop has nothing more to report.
        recorder.add(CaptureDirection::Received, 0);
        _exit(recorder.stop() ? 14 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string kept = ReadFile(path);
    EXPECT_EQ(kept.size(), kLimit);
    EXPECT_TRUE(kept == flood.substr(0, kept.size()));
}

TEST_F(CaptureRecorderTest, CountersFollowAKnownFloodBothWays)
{
    Reception r;
    ASSERT_TRUE(r.pty.isOpen());
    const uint64_t receivedBefore = Traffic.receivedTotal();
    const uint64_t sentBefore = Traffic.sentTotal();
    r.engine.Start();
    ASSERT_TRUE(r.pty.send(Flood(5000)));
    ASSERT_TRUE(r.pumpUntil([&] {
        return r.doc.text().find("0x") != std::string::npos
            && Traffic.receivedTotal() - receivedBefore >= 5000;
    }));
    r.engine.Stop(&r.doc);
    r.settings.FAutoSend = true;
    r.settings.FSendStart = 0;
    r.settings.FSendEnd = 299;
    r.settings.FTwoCharDelay = 0;
    MemoryDocument doc;
    std::thread drain([&] { r.pty.receive(300, 3000); });
    SendData(
        &doc, r.settings, [] { return Notation::Hex; }, r.pty.port);
    drain.join();
    EXPECT_EQ(Traffic.receivedTotal() - receivedBefore, 5000U);
    EXPECT_EQ(Traffic.sentTotal() - sentBefore, 300U);
    // A byte the port does not take is not counted as sent.
    r.pty.port.Close();
    SendData(
        &doc, r.settings, [] { return Notation::Hex; }, r.pty.port);
    EXPECT_EQ(Traffic.sentTotal() - sentBefore, 300U);
}

// With header times on, every header the receive thread and the send loop write
// starts with the time of day in the header's colour; the items are as before.
TEST(HeaderTimesInTheDocument, EveryHeaderStartsWithTheTimeInItsColour)
{
    Reception r;
    ASSERT_TRUE(r.pty.isOpen());
    HeaderTimes = true;
    r.engine.Start();
    ASSERT_TRUE(r.pty.send(ByteRun(0, 11)));
    const bool shown = r.pumpUntil([&] { return r.doc.text().find("0x0B") != std::string::npos; });
    r.engine.Stop(&r.doc);
    r.settings.FSendChar = "41";
    r.settings.FTwoCharDelay = 0;
    SendData(
        &r.doc, r.settings, [] { return Notation::Hex; }, r.pty.port);
    HeaderTimes = false;
    ASSERT_TRUE(shown);
    const std::string time = R"(\[\d\d:\d\d:\d\d\.\d\d\d\] )";
    EXPECT_TRUE(std::regex_match(
        r.doc.textIn(Colors::Green), std::regex(time + "Receiving: \n" + time + "Receiving: ")))
        << r.doc.textIn(Colors::Green);
    EXPECT_TRUE(std::regex_match(r.doc.textIn(Colors::Blue), std::regex("\n" + time + "Sending: ")))
        << r.doc.textIn(Colors::Blue);
    EXPECT_EQ(r.doc.textIn(Colors::Black),
        "0x00 0x01 0x02 0x03 0x04 0x05 0x06 0x07 0x08 0x09 0x0A 0x0B 0x41 ");
}

TEST(LineErrors, APseudoTerminalReportsNoneRatherThanZeros)
{
    PtyPort pty;
    ASSERT_TRUE(pty.isOpen());
    LineErrorCounts counts { 1, 1, 1, 1, 1 };
    EXPECT_FALSE(pty.port.lineErrors(counts));
    pty.port.Close();
    EXPECT_FALSE(pty.port.lineErrors(counts));
}

// A FIFO as the recording file, with a reader that is missing, goes away or stops
// reading: the program never blocks, never dies of SIGPIPE, never holds more than its
// bound, and always says how much reached the file. A pipe holds 64 KiB.
enum class FifoReader { None, Gone, Stalls };
enum class FifoEnd { Refused, Reported, Stopped };

struct FifoRow
{
    std::string name;
    FifoReader reader;
    std::size_t bufferLimit;
    FifoEnd end;
    std::string reason;
};

class FifoRecording : public ::testing::TestWithParam<FifoRow>
{
protected:
    TempFolder folder;
};

TEST_P(FifoRecording, NeverBlocksNeverDiesAndSaysWhatWasWritten)
{
    const FifoRow &row = GetParam();
    const fs::path path = folder.file("pipe.bin");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int reader
        = row.reader == FifoReader::None ? -1 : open(path.c_str(), O_RDONLY | O_NONBLOCK);
    std::mutex mutex;
    std::condition_variable reported;
    std::string reason;
    CaptureRecorder recorder(row.bufferLimit);
    const Status started = recorder.start(path, CaptureFormat::Raw, [&](const Status &why) {
        std::lock_guard lock(mutex);
        reason = why.reason();
        reported.notify_one();
    });
    if (row.end == FifoEnd::Refused) {
        EXPECT_FALSE(started);
        EXPECT_NE(started.reason().find(row.reason), std::string::npos) << started.reason();
        return;
    }
    ASSERT_TRUE(started) << started.reason();
    if (row.reader == FifoReader::Gone) {
        close(reader);
    }
    const std::string flood = Flood(300000);
    for (char byte : flood) {
        recorder.add(CaptureDirection::Received, static_cast<uint8_t>(byte));
    }
    if (row.end == FifoEnd::Reported) {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(
            reported.wait_for(lock, std::chrono::seconds(10), [&] { return !reason.empty(); }));
        EXPECT_FALSE(recorder.isRecording());
    } else {
        // Until the pipe is full and the writer waits for room.
        int waiting = 0;
        for (int i = 0; i < 1000 && waiting < 65536; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            ioctl(reader, FIONREAD, &waiting);
        }
        const Status stopped = recorder.stop();
        EXPECT_FALSE(stopped);
        reason = stopped.reason();
    }
    EXPECT_NE(reason.find(row.reason), std::string::npos) << reason;
    if (reader >= 0 && row.reader != FifoReader::Gone) {
        std::string kept(flood.size(), '\0');
        const ssize_t got = read(reader, kept.data(), kept.size());
        close(reader);
        ASSERT_EQ(static_cast<uint64_t>(got), recorder.bytesWritten());
        // What fits in the pipe depends on the sizes of the writes (a slow writer
        // fills its pages partly): the message gives the count that went in.
        EXPECT_NE(reason.find(std::to_string(got) + " bytes written"), std::string::npos) << reason;
        EXPECT_TRUE(kept.substr(0, got) == flood.substr(0, got));
    }
}

INSTANTIATE_TEST_SUITE_P(CaptureRecorder, FifoRecording,
    ::testing::Values(FifoRow { "no_reader_is_refused_at_once", FifoReader::None,
                          CaptureRecorder::kBufferLimit, FifoEnd::Refused, "nobody reads" },
        FifoRow { "reader_gone_is_a_write_failure", FifoReader::Gone, CaptureRecorder::kBufferLimit,
            FifoEnd::Reported, "Broken pipe" },
        FifoRow { "stop_with_a_stalled_reader_returns", FifoReader::Stalls,
            CaptureRecorder::kBufferLimit, FifoEnd::Stopped, "did not keep up; " },
        FifoRow { "a_full_buffer_ends_the_recording", FifoReader::Stalls, 131072, FifoEnd::Reported,
            "recording stopped; " }),
    RowName());

} // namespace
