#include "newfile.h"

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

std::FILE *CreateNewFile(const std::filesystem::path &path, unsigned permissions, int &error)
{
    // O_EXCL with O_CREAT fails on any name that exists, a dangling link included;
    // O_NOFOLLOW says the same where O_EXCL alone is not trusted.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
        static_cast<mode_t>(permissions & 0777));
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    std::FILE *file = ::fdopen(fd, "wb");
    if (file == nullptr) {
        error = errno;
        ::close(fd);
        ::unlink(path.c_str());
    }
    return file;
}
