#pragma once

#include "base/status.h"
#include "telnetcodec.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The client side of RFC 2217 over one connection, without the connection: bytes
// from the server go into `receive`, bytes for the server come out of `takeOutgoing`.
//
// Negotiation: BINARY both ways and COM-PORT-OPTION (ours) are asked for at the
// start; every other option the server offers or asks for is refused, once per
// option, so a server repeating itself cannot make us repeat ourselves. Once the
// server takes COM-PORT-OPTION the line settings go out (baud rate, data size,
// parity, stop size, flow control, the line-state mask, purge both queues), and
// the session is ready when each has been answered with the value asked for. The
// modem-state mask, the lines asked for at open and the questions for the state of
// DTR and RTS follow unawaited: servers differ in which of them they answer.
//
// Control lines (SET-CONTROL): the server answers each request with the state the
// line has afterwards, so what the session keeps is what the server read back,
// never what was asked for.
//
// Not thread-safe except where noted: one thread at a time calls receive (the
// connecting thread, then the reading thread).
class Rfc2217Session final : private telnet::Sink
{
public:
    // The line settings with the port's codes: parity 0 none, 1 odd, 2 even, 3 mark,
    // 4 space; stop bits 0 one, 1 one and a half, 2 two.
    struct Line
    {
        uint32_t baudRate = 9600;
        uint8_t dataBits = 8;
        uint8_t parity = 0;
        uint8_t stopBits = 0;
        // SET-CONTROL values sent at open: the flow control (awaited, a refusal fails
        // the session), and DTR and RTS (0: left as they are).
        uint8_t flowControl = 1;
        uint8_t dtrAtOpen = 0;
        uint8_t rtsAtOpen = 0;
    };
    // SET-CONTROL values (RFC 2217).
    enum Control : uint8_t {
        kFlowNone = 1,
        kFlowXonXoff = 2,
        kFlowRtsCts = 3,
        kBreakOn = 5,
        kBreakOff = 6,
        kAskDtr = 7,
        kDtrOn = 8,
        kDtrOff = 9,
        kAskRts = 10,
        kRtsOn = 11,
        kRtsOff = 12,
    };
    // A control line's state as the server last reported it.
    enum class Known : uint8_t { Unknown, On, Off };
    struct ControlState
    {
        Known dtr = Known::Unknown;
        Known rts = Known::Unknown;
        Known breakOn = Known::Unknown;
        uint8_t flow = 0; // 1..3 as answered, 0 before any answer
    };
    enum class Phase { Negotiating, Configuring, Ready, Failed };

    // The most the session queues for the server before it is taken; a server that
    // makes it answer more than this is broken.
    static constexpr std::size_t kMaxOutgoing = 4096;

    explicit Rfc2217Session(Line line);

    // The opening requests; call once, first.
    [[nodiscard]] std::vector<uint8_t> start();
    // Decodes `size` bytes from the server in place: returns how many data bytes
    // now start `bytes`. Data before the session is ready is dropped (the purge
    // would drop it anyway).
    std::size_t receive(uint8_t *bytes, std::size_t size);
    // The answers and requests waiting to go to the server.
    [[nodiscard]] std::vector<uint8_t> takeOutgoing();
    // The request that sets (or asks for) a control: IAC SB COM-PORT-OPTION
    // SET-CONTROL value IAC SE. Sent by whoever writes to the server.
    [[nodiscard]] static std::vector<uint8_t> ControlRequest(uint8_t value);
    // The control lines as answered so far, and how many answers came about the
    // control that `value` sets or asks for (flow, break, DTR or RTS): a caller
    // waiting for the answer to its request watches that count move. Any thread.
    [[nodiscard]] ControlState controlState() const;
    [[nodiscard]] uint32_t controlAnswers(uint8_t value) const;
    // Encodes one data byte for the server.
    static void AppendData(std::vector<uint8_t> &out, uint8_t byte)
    {
        telnet::AppendData(out, byte);
    }

    [[nodiscard]] Phase phase() const { return m_phase; }
    // Why the session failed (Refused naming the setting, or Io for a broken server).
    [[nodiscard]] const Status &failure() const { return m_failure; }

    // What NOTIFY-LINESTATE has reported so far, and the last NOTIFY-MODEMSTATE
    // (RFC 2217 bits: 0x80 carrier, 0x40 ring, 0x20 DSR, 0x10 CTS, low bits deltas).
    // Any thread.
    struct LineErrors
    {
        std::atomic<uint32_t> overrun { 0 };
        std::atomic<uint32_t> parity { 0 };
        std::atomic<uint32_t> frame { 0 };
        std::atomic<uint32_t> breaks { 0 };
    };
    [[nodiscard]] const LineErrors &lineErrors() const { return m_lineErrors; }
    [[nodiscard]] uint8_t modemState() const { return m_modemState.load(); }
    [[nodiscard]] bool modemStateKnown() const { return m_modemStateKnown.load(); }

private:
    // One option's state on one side: whether it is on and whether we asked.
    struct Side
    {
        bool on = false;
        bool asked = false;
    };
    struct Expected
    {
        uint8_t code;
        std::vector<uint8_t> value;
        std::string name; // "57600 baud"
        bool answered = false;
    };

    void negotiation(uint8_t verb, uint8_t option) override;
    void subnegotiation(const uint8_t *data, std::size_t size) override;
    void malformed() override;

    void send(uint8_t verb, uint8_t option);
    void sendSettings();
    void fail(ErrorKind kind, std::string reason);

    Line m_line;
    Phase m_phase = Phase::Negotiating;
    Status m_failure;
    telnet::Decoder m_decoder;
    std::vector<uint8_t> m_outgoing;
    Side m_us[256] {};
    Side m_him[256] {};
    bool m_refusedDo[256] {};
    bool m_refusedWill[256] {};
    std::vector<Expected> m_expected;
    LineErrors m_lineErrors;
    std::atomic<uint8_t> m_modemState { 0 };
    std::atomic<bool> m_modemStateKnown { false };
    // Known values; written by the reading thread, read by any.
    std::atomic<Known> m_dtr { Known::Unknown };
    std::atomic<Known> m_rts { Known::Unknown };
    std::atomic<Known> m_break { Known::Unknown };
    std::atomic<uint8_t> m_flow { 0 };
    std::atomic<uint32_t> m_controlAnswers[4] {};

    void controlAnswered(uint8_t value);
};
