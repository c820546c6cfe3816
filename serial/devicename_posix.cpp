#include "devicename.h"

#include <fstream>
#include <sstream>

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

// The controlling terminal from /proc/self/stat (field 7, tty_nr); 0 when none.
dev_t ControllingTerminal()
{
    std::ifstream file("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    // The command name (field 2) may hold spaces: fields count from its closing ')'.
    const std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        return 0;
    }
    std::istringstream rest(text.substr(close + 1));
    std::string state;
    long long parent = 0;
    long long group = 0;
    long long session = 0;
    long long tty = 0;
    rest >> state >> parent >> group >> session >> tty;
    return rest ? static_cast<dev_t>(tty) : 0;
}

} // namespace

bool IsProgramsTerminal(const std::string &device)
{
    struct stat info
    {
    };
    if (::stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return false;
    }
    // /dev/tty stands for whichever terminal controls the process.
    if (info.st_rdev == makedev(5, 0)) {
        return true;
    }
    for (int fd = 0; fd <= 2; ++fd) {
        struct stat own
        {
        };
        if (::isatty(fd) && ::fstat(fd, &own) == 0 && own.st_rdev == info.st_rdev) {
            return true;
        }
    }
    const dev_t controlling = ControllingTerminal();
    return controlling != 0 && controlling == info.st_rdev;
}
