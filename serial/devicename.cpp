#include "devicename.h"

Result<std::string> CheckDeviceName(const std::string &typed)
{
    for (const char c : typed) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            return Status(ErrorKind::Invalid, "the name holds a control character");
        }
    }
    if (typed.empty() || typed.find("://") != std::string::npos) {
        return typed;
    }
#ifdef _WIN32
    return typed;
#else
    const std::string name = typed.front() == '/' ? typed : "/dev/" + typed;
    if (IsProgramsTerminal(name)) {
        return Status(ErrorKind::Refused, name + ": the terminal this program runs in");
    }
    if (Status console = CheckNotConsole(name); !console) {
        return console;
    }
    return name;
#endif
}
