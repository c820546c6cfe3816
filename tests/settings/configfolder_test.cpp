// The one folder of Byteway's files, looked up from the environment as the user's
// session leaves it: the settings file and the port links must always agree on it.

#include "serial/configfolder.h"
#include "serial/portbinding.h"
#include "settings/settingsfile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Sets or unsets one environment variable and puts the old value back afterwards.
class ScopedEnv
{
public:
    ScopedEnv(const char *name, std::optional<std::string> value)
        : m_name(name)
    {
        if (const char *old = std::getenv(name)) {
            m_old = old;
        }
        if (value) {
            setenv(name, value->c_str(), 1);
        } else {
            unsetenv(name);
        }
    }
    ~ScopedEnv()
    {
        if (m_old) {
            setenv(m_name, m_old->c_str(), 1);
        } else {
            unsetenv(m_name);
        }
    }
    ScopedEnv(const ScopedEnv &) = delete;
    ScopedEnv &operator=(const ScopedEnv &) = delete;

private:
    const char *m_name;
    std::optional<std::string> m_old;
};

fs::path AccountHome()
{
    const passwd *entry = getpwuid(getuid());
    return entry != nullptr ? fs::path(entry->pw_dir) : fs::path("/");
}

struct FolderCase
{
    const char *name;
    std::optional<std::string> xdg;
    std::optional<std::string> home;
    // The expected folder; empty: the account's home/.config/byteway.
    const char *expected;
};

class ConfigFolderTest : public testing::TestWithParam<FolderCase>
{
};

TEST_P(ConfigFolderTest, ResolvesFromTheEnvironment)
{
    const FolderCase &row = GetParam();
    const ScopedEnv xdg("XDG_CONFIG_HOME", row.xdg);
    const ScopedEnv home("HOME", row.home);
    const fs::path expected
        = row.expected[0] != '\0' ? fs::path(row.expected) : AccountHome() / ".config" / "byteway";
    EXPECT_EQ(ConfigFolder(), expected);
    // The port links live in the same folder, whatever the environment.
    EXPECT_EQ(fs::path(PortBinding::linkPath(3)), expected / "com3");
}

INSTANTIATE_TEST_SUITE_P(Environments, ConfigFolderTest,
    testing::Values(
        FolderCase { "XdgAbsolute", "/tmp/xdg-conf", "/tmp/home-a", "/tmp/xdg-conf/byteway" },
        FolderCase {
            "XdgRelativeIgnored", "relative/conf", "/tmp/home-a", "/tmp/home-a/.config/byteway" },
        FolderCase { "XdgEmptyIgnored", "", "/tmp/home-b", "/tmp/home-b/.config/byteway" },
        FolderCase { "HomeOnly", std::nullopt, "/tmp/home-c", "/tmp/home-c/.config/byteway" },
        FolderCase { "HomeEmpty", std::nullopt, "", "" },
        FolderCase { "NothingSet", std::nullopt, std::nullopt, "" }),
    [](const testing::TestParamInfo<FolderCase> &row) { return std::string(row.param.name); });

// With neither HOME nor XDG_CONFIG_HOME, the settings file and the port links are
// still in one folder: the account's home/.config/byteway.
TEST(ConfigFolderAgreement, SettingsFileAndPortLinksWithoutHome)
{
    const ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
    const ScopedEnv home("HOME", std::nullopt);
    const fs::path expected = AccountHome() / ".config" / "byteway";
    // Looking up the settings file creates its folder: leave the account as it was.
    std::error_code error;
    const bool existed = fs::exists(expected, error);
    const fs::path settingsFile = SettingsFilePath();
    EXPECT_EQ(settingsFile, expected / "Byteway.ini");
    for (int port = 1; port <= 8; ++port) {
        EXPECT_EQ(fs::path(PortBinding::linkPath(port)).parent_path(), settingsFile.parent_path())
            << "port " << port;
    }
    if (!existed) {
        fs::remove(expected, error);
    }
}

} // namespace
