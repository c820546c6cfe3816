#include "cp936cut.h"

std::size_t Cp936PrefixLength(std::string_view bytes, std::size_t maxBytes)
{
    if (bytes.size() <= maxBytes) {
        return bytes.size();
    }
    // A lead byte is 0x81..0xFE and always takes the next byte with it; walking from
    // the start keeps a trail byte in that range from being taken for a lead byte.
    std::size_t end = 0;
    while (end < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[end]);
        const std::size_t width = (lead >= 0x81 && lead <= 0xFE) ? 2 : 1;
        if (end + width > maxBytes) {
            break;
        }
        end += width;
    }
    return end;
}
