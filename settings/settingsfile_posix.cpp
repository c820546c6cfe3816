#include "settingsfile.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

namespace {

std::filesystem::path ConfigHome()
{
    // Relative values of XDG_CONFIG_HOME are to be ignored, as the base directory
    // rules say; then the home folder's .config.
    const char *configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        return configHome;
    }
    const char *home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        const passwd *entry = getpwuid(getuid());
        home = entry != nullptr ? entry->pw_dir : "/";
    }
    return std::filesystem::path(home) / ".config";
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// Makes the rename itself durable; a folder that cannot be opened or flushed does
// not undo a save that has already taken place.
void SyncFolder(const std::filesystem::path &folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

} // namespace

std::filesystem::path SettingsFolder()
{
    const std::filesystem::path folder = ConfigHome() / "byteway";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    return folder;
}

bool ReplaceFileAtomically(const std::filesystem::path &path, std::string_view bytes)
{
    // A rename would replace even a file the user made read-only; writing it in
    // place would not be allowed, so neither is replacing it.
    if (access(path.c_str(), W_OK) != 0 && errno != ENOENT) {
        return false;
    }
    // The process id keeps two running copies from writing the same temporary file.
    std::filesystem::path temporary = path;
    temporary += ".tmp" + std::to_string(getpid());
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    if (path.has_parent_path()) {
        SyncFolder(path.parent_path());
    } else {
        SyncFolder(".");
    }
    return true;
}
