#pragma once

#include "base/status.h"

#include <cstdint>
#include <string>
#include <string_view>

// A port on the network instead of a device file: "rfc2217://host:port" (a serial
// device server that takes the line settings over Telnet, RFC 2217) or
// "tcp://host:port" (the bytes as they are). The host is a name, an IPv4 address
// or an IPv6 address in brackets ("rfc2217://[::1]:3333").
struct PortAddress
{
    enum class Scheme { Rfc2217, Tcp };

    Scheme scheme = Scheme::Tcp;
    std::string host; // without the brackets of an IPv6 address
    uint16_t port = 0;

    // The address as the user writes it, scheme in lower case.
    [[nodiscard]] std::string text() const;
    friend bool operator==(const PortAddress &, const PortAddress &) = default;
};

// Whether `text` names a network port at all (starts with one of the two schemes,
// in any case); what the device field uses to tell an address from a device path.
[[nodiscard]] bool IsPortAddress(std::string_view text);

// Reads a network port address; Invalid with the reason when `text` starts with a
// scheme but is not a valid address (no host, no port, port outside 1..65535,
// characters a host name cannot have).
[[nodiscard]] Result<PortAddress> ParsePortAddress(std::string_view text);
