#include "wholefile.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxLinkDepth = 40;
const char *const kNotRegular = "not a regular file";
const char *const kLinkLoop = "too many levels of symbolic links";

Status notRegular()
{
    return { ErrorKind::Invalid, kNotRegular };
}

Status failErrno(int error)
{
    return Status::FromErrno(error, {});
}

// Closes the descriptor when it goes out of scope.
class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    { }
    ~Descriptor()
    {
        if (m_fd >= 0) {
            close(m_fd);
        }
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;

    int get() const { return m_fd; }
    // Closes now and reports the result, which is where a full disk may show up.
    bool closeNow()
    {
        const int fd = m_fd;
        m_fd = -1;
        return close(fd) == 0;
    }

private:
    int m_fd;
};

bool writeAll(int fd, std::string_view bytes)
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
void syncFolder(const std::filesystem::path &folder)
{
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}

std::filesystem::path folderOf(const std::filesystem::path &path)
{
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

} // namespace

Result<std::string> ReadRegularFile(
    const std::filesystem::path &path, std::size_t maxBytes, FileAccess access)
{
    std::string bytes;
    // Opening a device can have effects of its own (a serial line raises its control
    // lines, a tape rewinds), so anything that is not a regular file right now is not
    // even opened. The check on the descriptor below is the one that counts.
    struct stat info
    {
    };
    if (stat(path.c_str(), &info) != 0) {
        return failErrno(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegular();
    }
    // Without O_NONBLOCK a FIFO swapped in after the check would block the open.
    const int flags
        = (access == FileAccess::ReadWrite ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
    Descriptor file(open(path.c_str(), flags));
    if (file.get() < 0) {
        return failErrno(errno);
    }
    if (fstat(file.get(), &info) != 0) {
        return failErrno(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return notRegular();
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    bytes.resize(size < maxBytes ? size : maxBytes);
    std::size_t done = 0;
    // A file that grows meanwhile is read up to `maxBytes`, one that shrinks up to its end.
    for (;;) {
        if (done == bytes.size()) {
            if (bytes.size() >= maxBytes) {
                break;
            }
            bytes.resize(std::min(maxBytes, bytes.size() + 4096));
        }
        const ssize_t got = read(file.get(), bytes.data() + done, bytes.size() - done);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return failErrno(errno);
        }
        if (got == 0) {
            break;
        }
        done += static_cast<std::size_t>(got);
    }
    bytes.resize(done);
    return bytes;
}

Result<std::filesystem::path> ResolveLinks(const std::filesystem::path &path)
{
    std::filesystem::path target = path;
    for (int depth = 0; depth < kMaxLinkDepth; ++depth) {
        struct stat info
        {
        };
        if (lstat(target.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            // Missing or not a link: this is where the file lives or will live.
            return target;
        }
        std::string link(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 256) + 1, '\0');
        const ssize_t length = readlink(target.c_str(), link.data(), link.size());
        if (length < 0) {
            return failErrno(errno);
        }
        link.resize(static_cast<std::size_t>(length));
        const std::filesystem::path next(link);
        target = next.is_absolute() ? next : folderOf(target) / next;
    }
    return Status(ErrorKind::Invalid, kLinkLoop);
}

Status ReplaceFileAtomically(const std::filesystem::path &path, std::string_view bytes)
{
    const Result<std::filesystem::path> resolved = ResolveLinks(path);
    if (!resolved) {
        return resolved.status();
    }
    const std::filesystem::path &target = *resolved;
    struct stat old
    {
    };
    const bool exists = stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) {
        return notRegular();
    }
    // A rename would replace even a file the user made read-only; writing it in
    // place would not be allowed, so neither is replacing it.
    if (exists && access(target.c_str(), W_OK) != 0) {
        return failErrno(errno);
    }
    // The process id keeps two running copies from writing the same temporary file.
    std::filesystem::path temporary = target;
    temporary += ".tmp" + std::to_string(getpid());
    Descriptor file(
        open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        return failErrno(errno);
    }
    // The new file takes the old one's mode. Its owner is kept only where this
    // process may give files away (as root); elsewhere the file becomes the saver's,
    // as any newly written file does. Neither is worth losing the user's text over.
    if (exists) {
        if (old.st_uid != geteuid() || old.st_gid != getegid()) {
            [[maybe_unused]] const int owned = fchown(file.get(), old.st_uid, old.st_gid);
        }
        [[maybe_unused]] const int moded = fchmod(file.get(), old.st_mode & 07777);
    }
    int error = 0;
    if (!writeAll(file.get(), bytes) || fsync(file.get()) != 0) {
        error = errno;
    }
    if (!file.closeNow() && error == 0) {
        error = errno;
    }
    if (error == 0 && rename(temporary.c_str(), target.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        unlink(temporary.c_str());
        return failErrno(error);
    }
    syncFolder(folderOf(target));
    return {};
}
