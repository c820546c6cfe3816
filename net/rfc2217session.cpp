#include "rfc2217session.h"

#include "base/linecodes.h"

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
constexpr uint8_t kSetModemStateMask = 11;
constexpr uint8_t kPurgeData = 12;
constexpr uint8_t kServerOffset = 100;

constexpr uint8_t kPurgeBoth = 3;
// Overrun, parity, framing, break.
constexpr uint8_t kLineErrorMask = 0x1E;
// CTS, DSR, RI and DCD with their change bits: a server that reports only what
// the mask lets through would otherwise say nothing when every line drops.
constexpr uint8_t kModemStateMask = 0xFF;

const char *const kParityPhrases[]
    = { "no parity", "odd parity", "even parity", "mark parity", "space parity" };

const char *flowName(uint8_t value)
{
    switch (value) {
    case Rfc2217Session::kFlowXonXoff:
        return "XON/XOFF flow control";
    case Rfc2217Session::kFlowRtsCts:
        return "RTS/CTS flow control";
    default:
        return "no flow control";
    }
}

// The answers that tell the flow control, outbound or inbound; the others of
// SET-CONTROL are about break, DTR and RTS.
bool isFlowAnswer(uint8_t value)
{
    return value <= Rfc2217Session::kFlowRtsCts || value > Rfc2217Session::kRtsOff;
}

// Which control a SET-CONTROL value is about: 0 flow, 1 break, 2 DTR, 3 RTS.
std::size_t controlOf(uint8_t value)
{
    if (isFlowAnswer(value)) {
        return 0;
    }
    return value < Rfc2217Session::kAskDtr ? 1 : value < Rfc2217Session::kAskRts ? 2 : 3;
}

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
    const uint8_t flow = m_line.flowControl >= kFlowNone && m_line.flowControl <= kFlowRtsCts
        ? m_line.flowControl
        : static_cast<uint8_t>(kFlowNone);
    m_expected = {
        { kSetBaudRate,
            { static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud) },
            std::to_string(baud) + " baud" },
        { kSetDataSize, { m_line.dataBits }, std::to_string(m_line.dataBits) + " data bits" },
        { kSetParity, { static_cast<uint8_t>(parity + 1) }, kParityPhrases[parity] },
        { kSetStopSize, { kStopCodes[stop] }, kStopNames[stop] },
        { kSetControl, { flow }, flowName(flow) },
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
    const uint8_t modemMask[] = { kSetModemStateMask, kModemStateMask };
    AppendSubnegotiation(m_outgoing, kComPort, modemMask, sizeof modemMask);
    // A line set at open is answered with its state; the other is asked for.
    const auto control = [this](uint8_t value) {
        const std::vector<uint8_t> request = ControlRequest(value);
        m_outgoing.insert(m_outgoing.end(), request.begin(), request.end());
    };
    const auto orAsk = [](uint8_t atOpen, uint8_t on, uint8_t off, uint8_t ask) {
        return atOpen == on || atOpen == off ? atOpen : ask;
    };
    control(orAsk(m_line.dtrAtOpen, kDtrOn, kDtrOff, kAskDtr));
    control(orAsk(m_line.rtsAtOpen, kRtsOn, kRtsOff, kAskRts));
}

std::vector<uint8_t> Rfc2217Session::ControlRequest(uint8_t value)
{
    std::vector<uint8_t> out;
    const uint8_t payload[] = { kSetControl, value };
    AppendSubnegotiation(out, kComPort, payload, sizeof payload);
    return out;
}

Rfc2217Session::ControlState Rfc2217Session::controlState() const
{
    return { m_dtr.load(), m_rts.load(), m_break.load(), m_flow.load() };
}

void Rfc2217Session::controlAnswered(uint8_t value)
{
    switch (value) {
    case kFlowNone:
    case kFlowXonXoff:
    case kFlowRtsCts:
        m_flow.store(value);
        break;
    case kBreakOn:
    case kBreakOff:
        m_break.store(value == kBreakOn ? Known::On : Known::Off);
        break;
    case kDtrOn:
    case kDtrOff:
        m_dtr.store(value == kDtrOn ? Known::On : Known::Off);
        break;
    case kRtsOn:
    case kRtsOff:
        m_rts.store(value == kRtsOn ? Known::On : Known::Off);
        break;
    default:
        break;
    }
    m_controlAnswers[controlOf(value)].fetch_add(1);
}

uint32_t Rfc2217Session::controlAnswers(uint8_t value) const
{
    return m_controlAnswers[controlOf(value)].load();
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
    if (code == kSetControl && valueSize == 1) {
        controlAnswered(value[0]);
        if (!isFlowAnswer(value[0])) {
            return;
        }
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
