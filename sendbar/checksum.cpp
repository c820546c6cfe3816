#include "checksum.h"

#include <array>

namespace {

uint8_t Crc8(std::string_view data)
{
    uint8_t crc = 0;
    for (const char c : data) {
        crc ^= static_cast<uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint8_t>((crc & 0x80) != 0 ? (crc << 1) ^ 0x07 : crc << 1);
        }
    }
    return crc;
}

uint16_t Crc16Msb(std::string_view data, uint16_t crc)
{
    for (const char c : data) {
        crc ^= static_cast<uint16_t>(static_cast<uint8_t>(c) << 8);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint16_t>((crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1);
        }
    }
    return crc;
}

uint16_t Crc16Modbus(std::string_view data)
{
    uint16_t crc = 0xFFFF;
    for (const char c : data) {
        crc ^= static_cast<uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = static_cast<uint16_t>((crc & 1) != 0 ? (crc >> 1) ^ 0xA001 : crc >> 1);
        }
    }
    return crc;
}

uint32_t Crc32(std::string_view data)
{
    uint32_t crc = 0xFFFFFFFFU;
    for (const char c : data) {
        crc ^= static_cast<uint8_t>(c);
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 1) != 0 ? (crc >> 1) ^ 0xEDB88320U : crc >> 1;
        }
    }
    return ~crc;
}

std::string LowFirst(uint32_t value, int bytes)
{
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return out;
}

std::string HighFirst(uint32_t value, int bytes)
{
    std::string out;
    for (int i = bytes - 1; i >= 0; --i) {
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    }
    return out;
}

struct Named
{
    Checksum checksum;
    std::string_view key;
};

constexpr std::array<Named, 8> kKeys { { { Checksum::None, "none" }, { Checksum::Sum8, "sum8" },
    { Checksum::Xor8, "xor8" }, { Checksum::Crc8, "crc8" },
    { Checksum::Crc16Modbus, "crc16-modbus" }, { Checksum::Crc16CcittFalse, "crc16-ccitt-false" },
    { Checksum::Crc16Xmodem, "crc16-xmodem" }, { Checksum::Crc32, "crc32" } } };

} // namespace

uint32_t ChecksumValue(Checksum checksum, std::string_view data)
{
    switch (checksum) {
    case Checksum::None:
        return 0;
    case Checksum::Sum8: {
        uint8_t sum = 0;
        for (const char c : data) {
            sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
        }
        return sum;
    }
    case Checksum::Xor8: {
        uint8_t x = 0;
        for (const char c : data) {
            x ^= static_cast<uint8_t>(c);
        }
        return x;
    }
    case Checksum::Crc8:
        return Crc8(data);
    case Checksum::Crc16Modbus:
        return Crc16Modbus(data);
    case Checksum::Crc16CcittFalse:
        return Crc16Msb(data, 0xFFFF);
    case Checksum::Crc16Xmodem:
        return Crc16Msb(data, 0x0000);
    case Checksum::Crc32:
        return Crc32(data);
    }
    return 0;
}

std::string ChecksumBytes(Checksum checksum, std::string_view data)
{
    const uint32_t value = ChecksumValue(checksum, data);
    switch (checksum) {
    case Checksum::None:
        return {};
    case Checksum::Sum8:
    case Checksum::Xor8:
    case Checksum::Crc8:
        return LowFirst(value, 1);
    case Checksum::Crc16Modbus:
        return LowFirst(value, 2);
    case Checksum::Crc16CcittFalse:
    case Checksum::Crc16Xmodem:
        return HighFirst(value, 2);
    case Checksum::Crc32:
        return LowFirst(value, 4);
    }
    return {};
}

std::string_view ChecksumKey(Checksum checksum)
{
    for (const Named &named : kKeys) {
        if (named.checksum == checksum) {
            return named.key;
        }
    }
    return kKeys[0].key;
}

std::optional<Checksum> ChecksumFromKey(std::string_view key)
{
    for (const Named &named : kKeys) {
        if (named.key == key) {
            return named.checksum;
        }
    }
    return std::nullopt;
}
