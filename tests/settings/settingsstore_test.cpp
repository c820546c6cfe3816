#include "settings/settingsfile.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
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

namespace {

// What stands in the settings file's place in the cases below.
struct NotAFileCase
{
    const char *name;
    // Makes the thing at `path`; `scratch` is a folder for whatever a link points to.
    void (*make)(const fs::path &path, const fs::path &scratch);
};

void MakeFifo(const fs::path &path, const fs::path &)
{
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
}

void MakeLinkToFifo(const fs::path &path, const fs::path &scratch)
{
    ASSERT_EQ(mkfifo((scratch / "fifo").c_str(), 0600), 0);
    fs::create_symlink(scratch / "fifo", path);
}

void MakeSocket(const fs::path &path, const fs::path &)
{
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    ASSERT_LT(path.string().size(), sizeof(address.sun_path));
    std::strcpy(address.sun_path, path.c_str());
    EXPECT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof(address)), 0);
    close(fd);
}

void MakeLinkToDevice(const fs::path &path, const fs::path &)
{
    fs::create_symlink("/dev/null", path);
}

void MakeLinkToFolder(const fs::path &path, const fs::path &scratch)
{
    fs::create_directories(scratch / "folder");
    fs::create_symlink(scratch / "folder", path);
}

// The kind and, for a link, the target of what is at `path`, to see that it is left alone.
std::string Describe(const fs::path &path)
{
    const fs::file_status status = fs::symlink_status(path);
    std::string text = std::to_string(static_cast<int>(status.type()));
    if (fs::is_symlink(status)) {
        text += " -> " + fs::read_symlink(path).string() + " "
            + std::to_string(static_cast<int>(fs::status(path).type()));
    }
    return text;
}

class SettingsNotAFileTest : public SettingsStoreTest,
                             public testing::WithParamInterface<NotAFileCase>
{
};

TEST_P(SettingsNotAFileTest, StartsOnDefaultsAndLeavesThePathAlone)
{
    fs::create_directories(folder());
    const fs::path scratch = m_root / "elsewhere";
    fs::create_directories(scratch);
    GetParam().make(file(), scratch);
    const std::string before = Describe(file());

    // Loading runs in a child under an alarm: reading a FIFO would block for ever.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        alarm(10);
        SettingsValues settings;
        settings.FComPort = 7;
        settings.FSendChar = "7F";
        LoadSettings(settings);
        const bool defaults = settings.FComPort == 1 && settings.FSendChar == "00";
        const bool saved = SaveSettings(settings).ok();
        _exit(defaults ? (saved ? 2 : 0) : 3);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_FALSE(WIFSIGNALED(status))
        << "loading did not return (signal " << WTERMSIG(status) << ")";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "2: a save took the path; 3: not the defaults";
    EXPECT_EQ(Describe(file()), before);
    EXPECT_EQ(folderEntries(), std::vector<std::string> { "Byteway.ini" });
}

INSTANTIATE_TEST_SUITE_P(Kinds, SettingsNotAFileTest,
    testing::Values(NotAFileCase { "fifo", MakeFifo },
        NotAFileCase { "link-to-fifo", MakeLinkToFifo }, NotAFileCase { "socket", MakeSocket },
        NotAFileCase { "link-to-device", MakeLinkToDevice },
        NotAFileCase { "link-to-folder", MakeLinkToFolder }),
    [](const testing::TestParamInfo<NotAFileCase> &row) {
        std::string name = row.param.name;
        std::replace(name.begin(), name.end(), '-', '_');
        return name;
    });

// How the settings file is linked to where it really lives.
struct LinkCase
{
    const char *name;
    bool relative;
    bool chained;
    bool targetExists;
};

class SettingsLinkTest : public SettingsStoreTest, public testing::WithParamInterface<LinkCase>
{
};

TEST_P(SettingsLinkTest, SaveReplacesTheTargetAndKeepsTheLink)
{
    const LinkCase &row = GetParam();
    fs::create_directories(folder());
    const fs::path dotfiles = m_root / "dotfiles";
    fs::create_directories(dotfiles);
    const fs::path target = dotfiles / "Byteway.ini";
    SettingsValues old;
    old.FComPort = 3;
    if (row.targetExists) {
        WriteFile(target, EncodeSettings(old));
        fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write);
    }
    fs::path pointsTo = row.relative ? fs::path("../dotfiles/Byteway.ini") : target;
    if (row.chained) {
        fs::create_symlink(pointsTo, dotfiles / "middle.ini");
        pointsTo = dotfiles / "middle.ini";
    }
    fs::create_symlink(pointsTo, file());

    SettingsValues loaded;
    LoadSettings(loaded);
    EXPECT_EQ(loaded.FComPort, row.targetExists ? 3 : 1) << "the target is what is read";

    SettingsValues settings;
    settings.FComPort = 4;
    ASSERT_TRUE(SaveSettings(settings));
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(fs::read_symlink(file()), pointsTo);
    EXPECT_EQ(ReadFile(target), EncodeSettings(settings));
    if (row.targetExists) {
        EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write)
            << "the target keeps its permissions";
    }
    EXPECT_EQ(folderEntries(), std::vector<std::string> { "Byteway.ini" });
    std::vector<std::string> beside;
    for (const auto &entry : fs::directory_iterator(dotfiles)) {
        beside.push_back(entry.path().filename().string());
    }
    std::sort(beside.begin(), beside.end());
    const std::vector<std::string> expected = row.chained
        ? std::vector<std::string> { "Byteway.ini", "middle.ini" }
        : std::vector<std::string> { "Byteway.ini" };
    EXPECT_EQ(beside, expected) << "no temporary file is left beside the target";
}

INSTANTIATE_TEST_SUITE_P(Links, SettingsLinkTest,
    testing::Values(LinkCase { "absolute", false, false, true },
        LinkCase { "relative", true, false, true }, LinkCase { "chain", false, true, true },
        LinkCase { "dangling", true, false, false }),
    [](const testing::TestParamInfo<LinkCase> &row) { return std::string(row.param.name); });

TEST_F(SettingsStoreTest, LoopOfLinksIsNotSavedOver)
{
    fs::create_directories(folder());
    fs::create_symlink("loop.ini", folder() / "Byteway.ini");
    fs::create_symlink("Byteway.ini", folder() / "loop.ini");
    SettingsValues settings;
    LoadSettings(settings);
    EXPECT_EQ(settings.FComPort, 1);
    const Status replaced = ReplaceFileAtomically(file(), "x");
    EXPECT_FALSE(replaced);
    EXPECT_FALSE(replaced.reason().empty());
    EXPECT_TRUE(fs::is_symlink(file()));
}

} // namespace

namespace {

// A disk that fills up during a save: a small tmpfs where this user may mount one,
// else a file size limit (as a full disk, writes fail part-way through).
enum class FullDiskKind { SmallTmpfs, FileSizeLimit };

struct FullDiskCase
{
    const char *name;
    FullDiskKind kind;
    int error;
};

class FullDiskTest : public SettingsStoreTest, public testing::WithParamInterface<FullDiskCase>
{
protected:
    void TearDown() override
    {
        if (m_mounted) {
            umount(folder().c_str());
        }
        SettingsStoreTest::TearDown();
    }

    bool m_mounted = false;
};

TEST_P(FullDiskTest, FailedSaveKeepsTheOldFileAndSaysWhy)
{
    const FullDiskCase &row = GetParam();
    fs::create_directories(folder());
    if (row.kind == FullDiskKind::SmallTmpfs) {
        if (mount("tmpfs", folder().c_str(), "tmpfs", 0, "size=64k") != 0) {
            GTEST_SKIP() << "mounting is not allowed here: " << std::strerror(errno);
        }
        m_mounted = true;
    }
    const std::string old(1000, 'o');
    WriteFile(file(), old);
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
    const std::string bytes(256 * 1024, 'n');

    Status saved;
    if (row.kind == FullDiskKind::FileSizeLimit) {
        rlimit before {};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit limited = before;
        limited.rlim_cur = 4096;
        const auto oldHandler = signal(SIGXFSZ, SIG_IGN);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);
        saved = ReplaceFileAtomically(file(), bytes);
        setrlimit(RLIMIT_FSIZE, &before);
        signal(SIGXFSZ, oldHandler);
    } else {
        saved = ReplaceFileAtomically(file(), bytes);
    }
    EXPECT_FALSE(saved);
    EXPECT_EQ(saved.reason(), std::strerror(row.error));
    EXPECT_EQ(ReadFile(file()), old);
    EXPECT_EQ(folderEntries(), std::vector<std::string> { "Byteway.ini" })
        << "the temporary file is removed";

    // With room again, a save goes through and keeps the file's permissions.
    const Status again = ReplaceFileAtomically(file(), "new");
    ASSERT_TRUE(again) << again.reason();
    EXPECT_EQ(ReadFile(file()), "new");
    EXPECT_EQ(fs::status(file()).permissions() & fs::perms::all,
        fs::perms::owner_read | fs::perms::owner_write);
}

INSTANTIATE_TEST_SUITE_P(Disks, FullDiskTest,
    testing::Values(FullDiskCase { "small_tmpfs", FullDiskKind::SmallTmpfs, ENOSPC },
        FullDiskCase { "file_size_limit", FullDiskKind::FileSizeLimit, EFBIG }),
    [](const testing::TestParamInfo<FullDiskCase> &row) { return std::string(row.param.name); });

} // namespace
