#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The check values a line can carry at its end. The multi-byte ones are appended in
// the byte order their protocols use: CRC-16/MODBUS and CRC-32 low byte first,
// CRC-16/CCITT-FALSE and CRC-16/XMODEM high byte first.
enum class Checksum {
    None,
    Sum8, // the low 8 bits of the sum of the bytes
    Xor8, // all bytes combined with exclusive or
    Crc8, // poly 0x07, init 0x00, not reflected
    Crc16Modbus, // poly 0x8005 reflected, init 0xFFFF
    Crc16CcittFalse, // poly 0x1021, init 0xFFFF
    Crc16Xmodem, // poly 0x1021, init 0x0000
    Crc32, // IEEE 802.3: poly 0x04C11DB7 reflected, init and final xor 0xFFFFFFFF
};

inline constexpr Checksum kAllChecksums[]
    = { Checksum::None, Checksum::Sum8, Checksum::Xor8, Checksum::Crc8, Checksum::Crc16Modbus,
          Checksum::Crc16CcittFalse, Checksum::Crc16Xmodem, Checksum::Crc32 };

// The checksum's value over `data`.
[[nodiscard]] uint32_t ChecksumValue(Checksum checksum, std::string_view data);
// The bytes appended for `data`, in the checksum's byte order (empty for None).
[[nodiscard]] std::string ChecksumBytes(Checksum checksum, std::string_view data);

// The checksum's name in files and byteway.conf ("none", "sum8", "crc16-modbus", ...),
// and back; nullopt for a name that is none of them.
[[nodiscard]] std::string_view ChecksumKey(Checksum checksum);
[[nodiscard]] std::optional<Checksum> ChecksumFromKey(std::string_view key);
