#pragma once

#include "netsocket.h"

#include <cstring>
#include <vector>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

namespace netsocket {

// The endpoints of a getaddrinfo list, with each address as text for reasons. The
// list stays the caller's to free.
inline std::vector<Endpoint> EndpointsOf(const addrinfo *found)
{
    std::vector<Endpoint> endpoints;
    for (const addrinfo *entry = found; entry != nullptr; entry = entry->ai_next) {
        Endpoint endpoint;
        if (entry->ai_addrlen > endpoint.address.size()) {
            continue;
        }
        std::memcpy(endpoint.address.data(), entry->ai_addr, entry->ai_addrlen);
        endpoint.size = entry->ai_addrlen;
        endpoint.family = entry->ai_family;
        char text[NI_MAXHOST] = {};
        if (::getnameinfo(entry->ai_addr, static_cast<socklen_t>(entry->ai_addrlen), text,
                sizeof text, nullptr, 0, NI_NUMERICHOST)
            == 0) {
            endpoint.text = text;
        }
        endpoints.push_back(endpoint);
    }
    return endpoints;
}

} // namespace netsocket
