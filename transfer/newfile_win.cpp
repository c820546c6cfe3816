#include "newfile.h"

#include <cerrno>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

std::FILE *CreateNewFile(const std::filesystem::path &path, unsigned permissions, int &error)
{
    // _O_EXCL opens with CREATE_NEW, which fails on any name that exists.
    // The permission bits are the POSIX systems' own; the file stays writable here.
    (void)permissions;
    const int fd
        = ::_wopen(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
        error = errno;
        return nullptr;
    }
    std::FILE *file = ::_fdopen(fd, "wb");
    if (file == nullptr) {
        error = errno;
        ::_close(fd);
        ::_wunlink(path.c_str());
    }
    return file;
}
