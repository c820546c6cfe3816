// libbyteway-modemlines.so: preloaded into a terminal program under test so that it
// keeps a pseudo-terminal open. Linux pseudo-terminals have no modem lines: reading
// them (TIOCMGET) fails with ENOTTY, and some programs (GTKTerm) close the port when
// that happens. Here that read reports DSR, CTS and carrier present, and setting the
// lines succeeds without effect; every other call goes through unchanged.

#include <cerrno>
#include <cstdarg>

#include <dlfcn.h>
#include <sys/ioctl.h>
#include <unistd.h>

extern "C" __attribute__((visibility("default"))) int ioctl(int fd, unsigned long request, ...)
{
    va_list arguments;
    va_start(arguments, request);
    void *argument = va_arg(arguments, void *);
    va_end(arguments);
    using Ioctl = int (*)(int, unsigned long, void *);
    static const Ioctl real = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
    const int result = real(fd, request, argument);
    if (result == 0 || errno != ENOTTY || !isatty(fd))
        return result;
    switch (request) {
    case TIOCMGET:
        *static_cast<int *>(argument) = TIOCM_DSR | TIOCM_CTS | TIOCM_CAR;
        return 0;
    case TIOCMSET:
    case TIOCMBIS:
    case TIOCMBIC:
        return 0;
    default:
        return result;
    }
}
