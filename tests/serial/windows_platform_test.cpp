// The other Win32 pieces of the core, run under Wine by tools/test-windows.sh: the
// settings file in the system directory and the microsecond delay on the
// performance counter.

#include "rowname.h"
#include "send/delay.h"
#include "settings/settingsfile.h"
#include "settings/settingsvalues.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <ostream>
#include <string>

#include <windows.h>

namespace {

std::string systemDirectory()
{
    char folder[MAX_PATH] = {};
    GetSystemDirectoryA(folder, MAX_PATH);
    return folder;
}

std::string readWholeFile(const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// The defaults file, byte for byte.
const unsigned char kDefaultsFile[74]
    = { 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x00, 0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xE1,
          0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x7F, 0x00, 0x00, 0x00, 0x0A,
          0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0xE8, 0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x7F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x64, 0x00, 0x00, 0x00, 0x30, 0x30 };

class WindowsSettingsFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = systemDirectory() + "\\Byteway.ini";
        DeleteFileA(path.c_str());
    }
    void TearDown() override { DeleteFileA(path.c_str()); }

    std::string path;
};

TEST_F(WindowsSettingsFile, LivesInTheSystemDirectory)
{
    EXPECT_EQ(SettingsFilePath().string(), path);
}

TEST_F(WindowsSettingsFile, MissingFileIsWrittenWithTheDefaults)
{
    SettingsValues values;
    values.FComPort = 5;
    LoadSettings(values);
    EXPECT_EQ(values.FComPort.load(), 1);
    EXPECT_EQ(readWholeFile(path),
        std::string(reinterpret_cast<const char *>(kDefaultsFile), sizeof kDefaultsFile));
}

TEST_F(WindowsSettingsFile, SavedValuesComeBack)
{
    SettingsValues saved;
    saved.FComPort = 8;
    saved.FComBps = 115200;
    saved.FSendChar = "\xBD\xD3\xCA\xD5";
    ASSERT_TRUE(SaveSettings(saved));
    const std::string bytes = readWholeFile(path);
    ASSERT_EQ(bytes.size(), 76u);
    EXPECT_EQ(bytes.substr(16, 4), std::string("\x08\x00\x00\x00", 4));
    EXPECT_EQ(bytes.substr(28, 4), std::string("\x00\xC2\x01\x00", 4));
    EXPECT_EQ(bytes.substr(72), "\xBD\xD3\xCA\xD5");

    SettingsValues loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded.FComPort.load(), 8);
    EXPECT_EQ(loaded.FComBps.load(), 115200);
    EXPECT_EQ(loaded.FSendChar, "\xBD\xD3\xCA\xD5");
}

// ---- DelayMicroseconds, measured on the performance counter itself -------------

struct WinDelayCase
{
    const char *name;
    int32_t us;
};

void PrintTo(const WinDelayCase &row, std::ostream *out)
{
    *out << row.name;
}

class WindowsDelay : public ::testing::TestWithParam<WinDelayCase>
{
};

TEST_P(WindowsDelay, WaitsAtLeastTheTimeAsked)
{
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    DelayMicroseconds(GetParam().us);
    QueryPerformanceCounter(&end);
    const double us = double(end.QuadPart - start.QuadPart) * 1e6 / double(frequency.QuadPart);
    EXPECT_GE(us, GetParam().us * 0.9999999);
    EXPECT_GT(end.QuadPart, start.QuadPart);
}

INSTANTIATE_TEST_SUITE_P(Delays, WindowsDelay,
    ::testing::Values(WinDelayCase { "Zero", 0 }, WinDelayCase { "One", 1 },
        WinDelayCase { "Hundred", 100 }, WinDelayCase { "TwoMs", 2000 },
        WinDelayCase { "TwentyMs", 20000 }),
    RowName());

} // namespace
