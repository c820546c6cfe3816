#include "portaddress.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace {

struct SchemeName
{
    std::string_view prefix;
    PortAddress::Scheme scheme;
};

constexpr std::array<SchemeName, 2> kSchemes = { {
    { "rfc2217://", PortAddress::Scheme::Rfc2217 },
    { "tcp://", PortAddress::Scheme::Tcp },
} };

bool startsWithNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size()
        && std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a))
                   == std::tolower(static_cast<unsigned char>(b));
           });
}

Status invalid(std::string_view text, const std::string &why)
{
    return { ErrorKind::Invalid, std::string(text) + ": " + why };
}

bool hostNameChar(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.' || c == '_';
}

bool ipv6Char(char c)
{
    return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
}

} // namespace

std::string PortAddress::text() const
{
    const bool v6 = host.find(':') != std::string::npos;
    return std::string(scheme == Scheme::Rfc2217 ? "rfc2217://" : "tcp://")
        + (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

bool IsPortAddress(std::string_view text)
{
    return std::any_of(kSchemes.begin(), kSchemes.end(),
        [text](const SchemeName &name) { return startsWithNoCase(text, name.prefix); });
}

Result<PortAddress> ParsePortAddress(std::string_view text)
{
    PortAddress address;
    std::string_view rest;
    bool known = false;
    for (const SchemeName &name : kSchemes) {
        if (startsWithNoCase(text, name.prefix)) {
            address.scheme = name.scheme;
            rest = text.substr(name.prefix.size());
            known = true;
        }
    }
    if (!known) {
        return invalid(text, "not a network address (rfc2217://host:port or tcp://host:port)");
    }
    std::string_view host;
    std::string_view port;
    if (!rest.empty() && rest.front() == '[') {
        const auto close = rest.find(']');
        if (close == std::string_view::npos) {
            return invalid(text, "the IPv6 address has no closing bracket");
        }
        host = rest.substr(1, close - 1);
        if (host.empty() || !std::all_of(host.begin(), host.end(), ipv6Char)) {
            return invalid(text, "not an IPv6 address");
        }
        rest = rest.substr(close + 1);
        if (rest.empty() || rest.front() != ':') {
            return invalid(text, "the port number is missing");
        }
        port = rest.substr(1);
    } else {
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos) {
            return invalid(text, "the port number is missing");
        }
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (host.empty()) {
            return invalid(text, "the host is missing");
        }
        if (host.size() > 253 || !std::all_of(host.begin(), host.end(), hostNameChar)) {
            return invalid(text, "not a host name");
        }
    }
    if (port.empty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        })) {
        return invalid(text, "the port must be a number from 1 to 65535");
    }
    const unsigned long number = std::stoul(std::string(port));
    if (number < 1 || number > 65535) {
        return invalid(text, "the port must be a number from 1 to 65535");
    }
    address.host = std::string(host);
    address.port = static_cast<uint16_t>(number);
    return address;
}
