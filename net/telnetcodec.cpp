#include "telnetcodec.h"

namespace telnet {

std::size_t Decoder::decode(const uint8_t *in, std::size_t size, uint8_t *out, Sink &sink)
{
    std::size_t written = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const uint8_t byte = in[i];
        switch (m_state) {
        case State::Data:
            if (byte == kIac) {
                m_state = State::Iac;
            } else {
                out[written++] = byte;
            }
            break;
        case State::Iac:
            if (byte == kIac) {
                out[written++] = byte;
                m_state = State::Data;
            } else {
                command(byte, sink);
            }
            break;
        case State::Option:
            m_state = State::Data;
            sink.negotiation(m_verb, byte);
            break;
        case State::Sub:
            if (byte == kIac) {
                m_state = State::SubIac;
                break;
            }
            [[fallthrough]];
        case State::SubIac:
            if (m_state == State::SubIac && byte != kIac) {
                m_state = State::Data;
                if (byte == kSe) {
                    if (!m_overflow) {
                        sink.subnegotiation(m_sub.data(), m_subSize);
                    }
                } else {
                    // Another command inside a sub-negotiation: the sub-negotiation
                    // is lost, the command still counts.
                    if (!m_overflow) {
                        sink.malformed();
                    }
                    command(byte, sink);
                }
                break;
            }
            m_state = State::Sub;
            if (m_subSize == m_sub.size()) {
                // Reported once, at the first byte too many; the rest is skipped up
                // to its end, so an endless one costs no memory.
                if (!m_overflow) {
                    m_overflow = true;
                    sink.malformed();
                }
            } else {
                m_sub[m_subSize++] = byte;
            }
            break;
        }
    }
    return written;
}

void Decoder::command(uint8_t byte, Sink &)
{
    switch (byte) {
    case kWill:
    case kWont:
    case kDo:
    case kDont:
        m_verb = byte;
        m_state = State::Option;
        break;
    case kSb:
        m_subSize = 0;
        m_overflow = false;
        m_state = State::Sub;
        break;
    default:
        // NOP, GA, a stray SE and the other one-byte commands carry nothing here.
        m_state = State::Data;
        break;
    }
}

void AppendData(std::vector<uint8_t> &out, uint8_t byte)
{
    out.push_back(byte);
    if (byte == kIac) {
        out.push_back(byte);
    }
}

void AppendNegotiation(std::vector<uint8_t> &out, uint8_t verb, uint8_t option)
{
    out.insert(out.end(), { kIac, verb, option });
}

void AppendSubnegotiation(
    std::vector<uint8_t> &out, uint8_t option, const uint8_t *payload, std::size_t size)
{
    out.insert(out.end(), { kIac, kSb });
    AppendData(out, option);
    for (std::size_t i = 0; i < size; ++i) {
        AppendData(out, payload[i]);
    }
    out.insert(out.end(), { kIac, kSe });
}

} // namespace telnet
