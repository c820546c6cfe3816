#include "settingsfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadFile(const fs::path &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const fs::path &path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Every test gets its own configuration home, so the user's settings are never
// touched and tests may run side by side.
class SettingsStoreTest : public testing::Test
{
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "byteway-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        setenv("XDG_CONFIG_HOME", m_root.c_str(), 1);
    }

    void TearDown() override
    {
        unsetenv("XDG_CONFIG_HOME");
        std::error_code error;
        fs::permissions(folder(), fs::perms::owner_all, error);
        fs::remove_all(m_root, error);
    }

    fs::path folder() const { return m_root / "byteway"; }
    fs::path file() const { return folder() / "Byteway.ini"; }

    std::vector<std::string> folderEntries() const
    {
        std::vector<std::string> names;
        for (const auto &entry : fs::directory_iterator(folder())) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    fs::path m_root;
};

TEST_F(SettingsStoreTest, PathFollowsXdgConfigHome)
{
    EXPECT_FALSE(fs::exists(folder()));
    EXPECT_EQ(SettingsFilePath(), file());
    EXPECT_TRUE(fs::is_directory(folder())) << "the folder is created when missing";
}

TEST_F(SettingsStoreTest, PathFallsBackToHomeConfig)
{
    const char *oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";
    setenv("HOME", m_root.c_str(), 1);
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsFilePath(), m_root / ".config" / "byteway" / "Byteway.ini");
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    EXPECT_EQ(SettingsFilePath(), m_root / ".config" / "byteway" / "Byteway.ini")
        << "a relative XDG_CONFIG_HOME is ignored";
    setenv("HOME", savedHome.c_str(), 1);
}

TEST_F(SettingsStoreTest, MissingFileGivesDefaultsAndWritesThem)
{
    SettingsValues settings;
    settings.FComPort = 5;
    settings.FSendChar = "x";
    LoadSettings(settings);
    SettingsValues defaults;
    EXPECT_EQ(settings.FComPort, 1);
    EXPECT_EQ(settings.FSendChar, "00");
    EXPECT_EQ(ReadFile(file()), EncodeSettings(defaults));
    EXPECT_EQ(ReadFile(file()).size(), 74u);
}

TEST_F(SettingsStoreTest, EmptyFileIsTreatedAsMissing)
{
    fs::create_directories(folder());
    WriteFile(file(), "");
    SettingsValues settings;
    settings.FComBps = 9600;
    LoadSettings(settings);
    EXPECT_EQ(settings.FComBps, 57600);
    EXPECT_EQ(ReadFile(file()).size(), 74u);
}

TEST_F(SettingsStoreTest, ExistingFileIsLoadedAndLeftAsItIs)
{
    SettingsValues stored;
    stored.FComPort = 3;
    stored.FSendChar = "\xBD\xD3\xCA\xD5 7F";
    fs::create_directories(folder());
    const std::string bytes = EncodeSettings(stored) + std::string(1, '\0') + "ignored";
    WriteFile(file(), bytes);

    SettingsValues settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.FComPort, 3);
    EXPECT_EQ(settings.FSendChar, stored.FSendChar);
    EXPECT_EQ(ReadFile(file()), bytes);
}

TEST_F(SettingsStoreTest, ShortFileLoadsWithoutRewriting)
{
    fs::create_directories(folder());
    const std::string bytes(22, '\0');
    WriteFile(file(), bytes);
    SettingsValues settings;
    LoadSettings(settings);
    EXPECT_FALSE(settings.FTimedSend);
    EXPECT_EQ(settings.FComPort, 0);
    EXPECT_EQ(settings.FComBitNum, 8) << "the value cut off at byte 22 keeps its default";
    EXPECT_EQ(settings.FSendChar, "00");
    EXPECT_EQ(ReadFile(file()), bytes);
}

TEST_F(SettingsStoreTest, UnreadableFileGivesDefaults)
{
    // A folder in the file's place cannot be read as a file, whoever runs the test.
    fs::create_directories(file());
    SettingsValues settings;
    settings.FParaEnd = 5;
    LoadSettings(settings);
    EXPECT_EQ(settings.FParaEnd, 127);
    EXPECT_TRUE(fs::is_directory(file()));
}

TEST_F(SettingsStoreTest, FileThatCannotBeWrittenGivesDefaultsAndIsKept)
{
    // A settings file is opened for reading and writing; one that only reads fails
    // the load, the program runs on the defaults, and the save that follows fails
    // rather than replacing the file the user protected.
    SettingsValues stored;
    stored.FComPort = 3;
    stored.FSendChar = "7F";
    fs::create_directories(folder());
    WriteFile(file(), EncodeSettings(stored));
    fs::permissions(file(), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    if (access(file().c_str(), W_OK) == 0) {
        GTEST_SKIP() << "this user may write into read-only files (root)";
    }
    SettingsValues settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.FComPort, 1);
    EXPECT_EQ(settings.FSendChar, "00");
    EXPECT_EQ(ReadFile(file()), EncodeSettings(stored));
    EXPECT_FALSE(SaveSettings(settings));
    EXPECT_EQ(ReadFile(file()), EncodeSettings(stored));
}

TEST_F(SettingsStoreTest, SaveReplacesALongerFile)
{
    fs::create_directories(folder());
    WriteFile(file(), std::string(5000, 'z'));
    SettingsValues settings;
    settings.FSendChar = "AB";
    ASSERT_TRUE(SaveSettings(settings));
    EXPECT_EQ(ReadFile(file()), EncodeSettings(settings));
    EXPECT_EQ(ReadFile(file()).size(), 74u);
    EXPECT_EQ(folderEntries(), std::vector<std::string> { "Byteway.ini" })
        << "no temporary file is left";
}

TEST_F(SettingsStoreTest, SaveThenLoadRoundTrip)
{
    SettingsValues settings;
    settings.FCheckOrder = true;
    settings.FSendEnd = 5;
    settings.FSendStart = 10;
    settings.FSendChar = std::string(1200, 'k');
    ASSERT_TRUE(SaveSettings(settings));
    SettingsValues loaded;
    LoadSettings(loaded);
    EXPECT_TRUE(loaded.FCheckOrder);
    EXPECT_EQ(loaded.FSendEnd, 5);
    EXPECT_EQ(loaded.FSendStart, 10);
    EXPECT_EQ(loaded.FSendChar, std::string(1000, 'k'));
}

TEST_F(SettingsStoreTest, SaveFailsWhenTheFolderCannotExist)
{
    // A regular file where the configuration home should be: the folder cannot be
    // created, whatever the permissions of the user running the test.
    WriteFile(m_root / "home-file", "x");
    setenv("XDG_CONFIG_HOME", (m_root / "home-file").c_str(), 1);
    SettingsValues settings;
    EXPECT_FALSE(SaveSettings(settings));
    settings.FComPort = 4;
    LoadSettings(settings);
    EXPECT_EQ(settings.FComPort, 1) << "loading falls back to the defaults quietly";
    EXPECT_EQ(ReadFile(m_root / "home-file"), "x");
}

TEST_F(SettingsStoreTest, SaveIntoReadOnlyFolderKeepsTheOldFile)
{
    SettingsValues old;
    old.FComPort = 6;
    ASSERT_TRUE(SaveSettings(old));
    fs::permissions(folder(), fs::perms::owner_read | fs::perms::owner_exec);
    if (access(folder().c_str(), W_OK) == 0) {
        GTEST_SKIP() << "this user may write into read-only folders (root)";
    }
    SettingsValues settings;
    settings.FComPort = 2;
    EXPECT_FALSE(SaveSettings(settings));
    EXPECT_EQ(ReadFile(file()), EncodeSettings(old));
    EXPECT_EQ(folderEntries(), std::vector<std::string> { "Byteway.ini" });
}

} // namespace
