#pragma once

#include <string>

// Why opening a port failed, in terms that tell the user what to do about it.
struct OpenFailure
{
    enum class Kind {
        None, // the last open succeeded (or none was made)
        BadNumber, // the port number is outside 1..8
        Missing, // the device does not exist (unplugged, link to nowhere)
        NoAccess, // the user may not open the device
        Busy, // another program (or another open) holds the device
        Refused, // the device is there but refused the line settings or a request
        // A network port (portaddress.h):
        HostNotFound, // the name does not resolve
        ConnectionRefused, // nothing listens at the address
        NoAnswer, // no connection within the time-out
        NoNegotiation, // connected, but no RFC 2217 answer within the time-out
        SettingRefused, // the server answered a line setting with another value
        Dropped, // the connection ended while connecting or in use
        NetworkError, // any other network failure, or a server breaking the protocol
        NotSerial, // it is there but is no terminal: a FIFO, a file, a folder, /dev/null
        Console, // one of the kernel's active consoles (devicename.h CheckNotConsole)
    };

    Kind kind = Kind::None;
    // The device that was tried (the comN link or the system's device name).
    std::string device;
    // NoAccess: the group that owns the device (on Debian usually "dialout"); the user
    // has to be a member of it. Empty where the system has no such thing.
    std::string group;
    // Busy: the processes that hold the device, "name (pid)" joined by ", "; empty
    // when they cannot be found.
    std::string holders;
    // SettingRefused: the setting, as in "57600 baud".
    std::string setting;
    // The system's own text of the failure.
    std::string detail;
};
