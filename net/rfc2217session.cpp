#include "rfc2217session.h"

#include "linecodes.h"

#include <algorithm>
#include <array>

using namespace telnet;

namespace {

// COM-PORT-OPTION commands; the server answers a command with its code plus 100.
constexpr uint8_t kSetBaudRate = 1;
constexpr uint8_t kSetDataSize = 2;
constexpr uint8_t kSetParity = 3;
constexpr uint8_t kSetStopSize = 4;
constexpr uint8_t kSetControl = 5;
constexpr uint8_t kNotifyLineState = 6;
constexpr uint8_t kNotifyModemState = 7;
constexpr uint8_t kSetLineStateMask = 10;
constexpr uint8_t kPurgeData = 12;
constexpr uint8_t kServerOffset = 100;

constexpr uint8_t kNoFlowControl = 1;
constexpr uint8_t kPurgeBoth = 3;
// Overrun, parity, framing, break.
constexpr uint8_t kLineErrorMask = 0x1E;

const char *const kParityPhrases[]
    = { "no parity", "odd parity", "even parity", "mark parity", "space parity" };

bool weSupport(uint8_t option)
{
    return option == kBinary || option == kComPort;
}

bool heSupports(uint8_t option)
{
    return option == kBinary;
}

} // namespace

Rfc2217Session::Rfc2217Session(Line line)
    : m_line(line)
{ }

std::vector<uint8_t> Rfc2217Session::start()
{
    send(kWill, kBinary);
    send(kDo, kBinary);
    send(kWill, kComPort);
    return takeOutgoing();
}

std::size_t Rfc2217Session::receive(uint8_t *bytes, std::size_t size)
{
    // Until the session is ready, one byte at a time, so that data in the same read
    // as the last answer but before it is dropped and data after it is kept.
    std::size_t used = 0;
    while (used < size && m_phase != Phase::Ready && m_phase != Phase::Failed) {
        uint8_t dropped = 0;
        m_decoder.decode(bytes + used, 1, &dropped, *this);
        ++used;
    }
    std::size_t data = 0;
    if (m_phase == Phase::Ready) {
        data = m_decoder.decode(bytes + used, size - used, bytes, *this);
    }
    if (m_outgoing.size() > kMaxOutgoing) {
        fail(ErrorKind::Io, "the server asked for more answers than it reads");
    }
    return m_phase == Phase::Ready ? data : 0;
}

std::vector<uint8_t> Rfc2217Session::takeOutgoing()
{
    std::vector<uint8_t> out;
    out.swap(m_outgoing);
    return out;
}

void Rfc2217Session::send(uint8_t verb, uint8_t option)
{
    AppendNegotiation(m_outgoing, verb, option);
    if (verb == kWill) {
        m_us[option].asked = true;
    } else if (verb == kDo) {
        m_him[option].asked = true;
    }
}

void Rfc2217Session::negotiation(uint8_t verb, uint8_t option)
{
    // RFC 1143 in short: answer only a change, never an acknowledgement, so the two
    // sides cannot loop.
    switch (verb) {
    case kDo:
    case kDont: {
        Side &side = m_us[option];
        const bool wanted = verb == kDo;
        if (wanted && !weSupport(option)) {
            if (!m_refusedDo[option]) {
                m_refusedDo[option] = true;
                AppendNegotiation(m_outgoing, kWont, option);
            }
            break;
        }
        if (side.on != wanted) {
            side.on = wanted;
            if (!side.asked) {
                AppendNegotiation(m_outgoing, wanted ? kWill : kWont, option);
            }
        }
        side.asked = false;
        if (option == kComPort) {
            if (!wanted && m_phase != Phase::Failed) {
                fail(ErrorKind::Io, "the server does not take RFC 2217 (COM-PORT-OPTION)");
            } else if (wanted && m_phase == Phase::Negotiating) {
                sendSettings();
            }
        }
        break;
    }
    case kWill:
    case kWont: {
        Side &side = m_him[option];
        const bool offered = verb == kWill;
        if (offered && !heSupports(option)) {
            if (!m_refusedWill[option]) {
                m_refusedWill[option] = true;
                AppendNegotiation(m_outgoing, kDont, option);
            }
            break;
        }
        if (side.on != offered) {
            side.on = offered;
            if (!side.asked) {
                AppendNegotiation(m_outgoing, offered ? kDo : kDont, option);
            }
        }
        side.asked = false;
        break;
    }
    default:
        break;
    }
}

void Rfc2217Session::sendSettings()
{
    m_phase = Phase::Configuring;
    const uint32_t baud = m_line.baudRate;
    // RFC 2217 stop sizes: 1 one, 2 two, 3 one and a half.
    static const uint8_t kStopCodes[] = { 1, 3, 2 };
    static const char *const kStopNames[] = { "1 stop bit", "1.5 stop bits", "2 stop bits" };
    const uint8_t stop
        = m_line.stopBits < kStopBitsCodeCount ? m_line.stopBits : uint8_t { StopBitsOne };
    const uint8_t parity
        = m_line.parity < kParityCodeCount ? m_line.parity : uint8_t { ParityNone };
    m_expected = {
        { kSetBaudRate,
            { static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud) },
            std::to_string(baud) + " baud" },
        { kSetDataSize, { m_line.dataBits }, std::to_string(m_line.dataBits) + " data bits" },
        { kSetParity, { static_cast<uint8_t>(parity + 1) }, kParityPhrases[parity] },
        { kSetStopSize, { kStopCodes[stop] }, kStopNames[stop] },
        { kSetControl, { kNoFlowControl }, "no flow control" },
        { kPurgeData, { kPurgeBoth }, "purging its buffers" },
    };
    for (const Expected &command : m_expected) {
        std::array<uint8_t, 5> payload {};
        payload[0] = command.code;
        std::copy(command.value.begin(), command.value.end(), payload.begin() + 1);
        AppendSubnegotiation(m_outgoing, kComPort, payload.data(), command.value.size() + 1);
        if (command.code == kSetControl) {
            // Asked for, not awaited: a server may leave the mask as it is.
            const uint8_t mask[] = { kSetLineStateMask, kLineErrorMask };
            AppendSubnegotiation(m_outgoing, kComPort, mask, sizeof mask);
        }
    }
}

void Rfc2217Session::subnegotiation(const uint8_t *data, std::size_t size)
{
    if (size < 2 || data[0] != kComPort || data[1] < kServerOffset) {
        return;
    }
    const uint8_t code = static_cast<uint8_t>(data[1] - kServerOffset);
    const uint8_t *value = data + 2;
    const std::size_t valueSize = size - 2;
    if (code == kNotifyLineState && valueSize >= 1) {
        const uint8_t state = value[0];
        const auto count = [state](uint8_t bit, std::atomic<uint32_t> &counter) {
            if ((state & bit) != 0) {
                counter.fetch_add(1);
            }
        };
        count(0x02, m_lineErrors.overrun);
        count(0x04, m_lineErrors.parity);
        count(0x08, m_lineErrors.frame);
        count(0x10, m_lineErrors.breaks);
        return;
    }
    if (code == kNotifyModemState && valueSize >= 1) {
        m_modemState.store(value[0]);
        m_modemStateKnown.store(true);
        return;
    }
    if (m_phase != Phase::Configuring) {
        return;
    }
    const auto expected = std::find_if(m_expected.begin(), m_expected.end(),
        [code](const Expected &entry) { return entry.code == code && !entry.answered; });
    if (expected == m_expected.end()) {
        return;
    }
    if (!std::equal(value, value + valueSize, expected->value.begin(), expected->value.end())) {
        fail(ErrorKind::Refused, "the server refused " + expected->name);
        return;
    }
    expected->answered = true;
    if (std::all_of(m_expected.begin(), m_expected.end(),
            [](const Expected &entry) { return entry.answered; })) {
        m_phase = Phase::Ready;
    }
}

void Rfc2217Session::malformed()
{
    fail(ErrorKind::Io, "the server sent a malformed RFC 2217 message");
}

void Rfc2217Session::fail(ErrorKind kind, std::string reason)
{
    if (m_phase == Phase::Failed) {
        return;
    }
    m_phase = Phase::Failed;
    m_failure = Status(kind, std::move(reason));
}
