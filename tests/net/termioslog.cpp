// Preloaded into ser2net by the network-port tests: a pseudo-terminal keeps neither
// the character size nor parity (Linux forces CS8 and clears PARENB), so the line
// settings a server asked for are recorded here, where it asks for them. Each
// request that sets terminal settings appends "<c_cflag in octal>\n" to the file
// named by BYTEWAY_TERMIOS_LOG. ser2net sets them with ioctl, not tcsetattr.

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <dlfcn.h>

namespace {

void record(unsigned long request, const void *argument)
{
    if (request != TCSETS && request != TCSETSW && request != TCSETSF
#ifdef TCSETS2
        && request != TCSETS2 && request != TCSETSW2 && request != TCSETSF2
#endif
    ) {
        return;
    }
    const char *path = std::getenv("BYTEWAY_TERMIOS_LOG");
    if (path == nullptr || argument == nullptr) {
        return;
    }
    if (std::FILE *log = std::fopen(path, "a")) {
        // c_iflag, c_oflag, c_cflag lead both kernel termios layouts.
        std::fprintf(log, "%o\n", static_cast<const unsigned *>(argument)[2]);
        std::fclose(log);
    }
}

} // namespace

extern "C" int ioctl(int fd, unsigned long request, ...)
{
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    using Real = int (*)(int, unsigned long, ...);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "ioctl"));
    record(request, argument);
    return real(fd, request, argument);
}
