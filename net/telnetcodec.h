#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// The Telnet framing that RFC 2217 rides on: commands start with IAC (0xFF), a data
// byte 0xFF travels doubled. The decoder is a byte-at-a-time state machine, so a
// message may be split anywhere between two reads; what it keeps between calls is
// bounded (one sub-negotiation of at most kMaxSubnegotiation bytes).
namespace telnet {

constexpr uint8_t kIac = 255;
constexpr uint8_t kDont = 254;
constexpr uint8_t kDo = 253;
constexpr uint8_t kWont = 252;
constexpr uint8_t kWill = 251;
constexpr uint8_t kSb = 250;
constexpr uint8_t kSe = 240;

constexpr uint8_t kBinary = 0;
constexpr uint8_t kComPort = 44;

// Receives what the decoder finds besides data.
class Sink
{
public:
    virtual ~Sink() = default;
    // IAC WILL/WONT/DO/DONT option.
    virtual void negotiation(uint8_t verb, uint8_t option) = 0;
    // IAC SB option payload IAC SE, with the payload's doubled IACs undone; `data`
    // starts with the option byte.
    virtual void subnegotiation(const uint8_t *data, std::size_t size) = 0;
    // A sub-negotiation longer than the bound, or one broken by another command.
    virtual void malformed() = 0;
};

class Decoder
{
public:
    static constexpr std::size_t kMaxSubnegotiation = 64;

    // Decodes `size` bytes of `in`, writes the data bytes to `out` (which may be `in`
    // itself: data never grows) and returns how many it wrote.
    std::size_t decode(const uint8_t *in, std::size_t size, uint8_t *out, Sink &sink);

private:
    enum class State { Data, Iac, Option, Sub, SubIac };

    void command(uint8_t byte, Sink &sink);

    State m_state = State::Data;
    uint8_t m_verb = 0;
    bool m_overflow = false;
    std::size_t m_subSize = 0;
    std::array<uint8_t, kMaxSubnegotiation> m_sub {};
};

// Appends `byte` as data: 0xFF doubled.
void AppendData(std::vector<uint8_t> &out, uint8_t byte);
// Appends IAC verb option.
void AppendNegotiation(std::vector<uint8_t> &out, uint8_t verb, uint8_t option);
// Appends IAC SB option payload IAC SE, doubling 0xFF in the payload.
void AppendSubnegotiation(
    std::vector<uint8_t> &out, uint8_t option, const uint8_t *payload, std::size_t size);

} // namespace telnet
