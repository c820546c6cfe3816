#include "devicename.h"

#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

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

constexpr const char *kConsoleList = "/sys/class/tty/console/active";

std::mutex g_consoleListLock;
std::string g_consoleList = kConsoleList;

// The names (under /dev/) of the kernel's active consoles.
std::vector<std::string> ActiveConsoles()
{
    std::string path;
    {
        const std::lock_guard<std::mutex> lock(g_consoleListLock);
        path = g_consoleList;
    }
    std::ifstream list(path);
    std::vector<std::string> names;
    for (std::string name; list >> name;) {
        names.push_back(name);
        if (name == "tty0") {
            // The virtual console in front, which tty0 stands for.
            std::ifstream front("/sys/class/tty/tty0/active");
            if (std::string shown; front >> shown) {
                names.push_back(shown);
            }
        }
    }
    return names;
}

bool SameCharacterDevice(const std::string &path, dev_t device)
{
    struct stat info
    {
    };
    return ::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device;
}

} // namespace

Status CheckNotConsole(const std::string &device)
{
    struct stat info
    {
    };
    if (::stat(device.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) {
        return {};
    }
    // /dev/console is whichever console the kernel writes to.
    std::string console = SameCharacterDevice("/dev/console", info.st_rdev) ? "console" : "";
    for (const std::string &name : ActiveConsoles()) {
        if (console.empty() && SameCharacterDevice("/dev/" + name, info.st_rdev)) {
            console = name;
        }
    }
    if (console.empty()) {
        return {};
    }
    std::string reason = device;
    reason.append(": the system console (").append(console);
    reason.append("): bytes written there reach the machine's console");
    return { ErrorKind::Refused, reason };
}

void SetConsoleListFile(const std::string &path)
{
    const std::lock_guard<std::mutex> lock(g_consoleListLock);
    g_consoleList = path.empty() ? kConsoleList : path;
}

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
