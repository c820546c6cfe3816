// The Telnet codec and the RFC 2217 client session on byte strings: every row is fed
// whole, split in two at every byte boundary, and one byte at a time, and each way
// must give the same result, since a server's message may be cut anywhere by TCP.

#include "net/rfc2217session.h"
#include "net/telnetcodec.h"
#include "rowname.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

Bytes B(std::initializer_list<int> values)
{
    Bytes bytes;
    for (const int value : values) {
        bytes.push_back(static_cast<uint8_t>(value));
    }
    return bytes;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes &part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

constexpr int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;
constexpr int NOP = 241, CPO = 44;

// Every way of cutting `input` that a test tries: whole, in two at each boundary,
// byte by byte.
std::vector<std::vector<Bytes>> Cuttings(const Bytes &input)
{
    std::vector<std::vector<Bytes>> all { { input } };
    for (std::size_t cut = 1; cut < input.size(); ++cut) {
        all.push_back({ Bytes(input.begin(), input.begin() + static_cast<long>(cut)),
            Bytes(input.begin() + static_cast<long>(cut), input.end()) });
    }
    std::vector<Bytes> single;
    for (const uint8_t byte : input) {
        single.push_back({ byte });
    }
    all.push_back(single);
    return all;
}

// Writes what the decoder reports as text: "N251,0" a negotiation, "S44,101,..." a
// sub-negotiation, "M" a malformed one.
class Recorder : public telnet::Sink
{
public:
    void negotiation(uint8_t verb, uint8_t option) override
    {
        log.append("N").append(std::to_string(verb)).append(",");
        log.append(std::to_string(option)).append(";");
    }
    void subnegotiation(const uint8_t *data, std::size_t size) override
    {
        log += "S";
        for (std::size_t i = 0; i < size; ++i) {
            if (i != 0) {
                log += ',';
            }
            log += std::to_string(data[i]);
        }
        log += ";";
    }
    void malformed() override { log += "M;"; }
    std::string log;
};

struct DecodeRow
{
    std::string name;
    Bytes input;
    Bytes data;
    std::string events;
};

class DecodeRows : public ::testing::TestWithParam<DecodeRow>
{
};

TEST_P(DecodeRows, SameResultHoweverTheInputIsCut)
{
    const DecodeRow &row = GetParam();
    for (const std::vector<Bytes> &chunks : Cuttings(row.input)) {
        telnet::Decoder decoder;
        Recorder sink;
        Bytes data;
        for (Bytes chunk : chunks) {
            const std::size_t count
                = decoder.decode(chunk.data(), chunk.size(), chunk.data(), sink);
            data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<long>(count));
        }
        EXPECT_EQ(data, row.data) << chunks.size() << " chunks";
        EXPECT_EQ(sink.log, row.events) << chunks.size() << " chunks";
    }
}

Bytes LongSub(std::size_t size)
{
    // Filled in place: mingw's g++ 12 sees a false overlap in an insert of `size`.
    Bytes bytes(size + 5, 7);
    bytes[0] = IAC;
    bytes[1] = SB;
    bytes[2] = CPO;
    bytes[size + 3] = IAC;
    bytes[size + 4] = SE;
    return bytes;
}

// What the recorder writes for LongSub(size).
std::string LongSubEvent(std::size_t size)
{
    std::string event = "S44";
    for (std::size_t i = 0; i < size; ++i) {
        event.append(",7");
    }
    return event.append(";");
}

INSTANTIATE_TEST_SUITE_P(Telnet, DecodeRows,
    ::testing::Values(DecodeRow { "plain", B({ 'a', 0, 'b' }), B({ 'a', 0, 'b' }), "" },
        DecodeRow {
            "doubled_iac_is_one_ff", B({ 1, IAC, IAC, 2, IAC, IAC }), B({ 1, 255, 2, 255 }), "" },
        DecodeRow { "negotiation_between_data", B({ 'x', IAC, WILL, 0, 'y', IAC, DONT, 1 }),
            B({ 'x', 'y' }), "N251,0;N254,1;" },
        DecodeRow { "subnegotiation_undoubles",
            B({ IAC, SB, CPO, 101, 0, IAC, IAC, 1, IAC, SE, 'z' }), B({ 'z' }),
            "S44,101,0,255,1;" },
        DecodeRow {
            "nop_and_stray_se_vanish", B({ 'a', IAC, NOP, IAC, SE, 'b' }), B({ 'a', 'b' }), "" },
        DecodeRow { "command_breaks_subnegotiation", B({ IAC, SB, CPO, 1, IAC, WILL, 3, 'q' }),
            B({ 'q' }), "M;N251,3;" },
        DecodeRow { "longest_subnegotiation", LongSub(telnet::Decoder::kMaxSubnegotiation - 1),
            B({}), LongSubEvent(telnet::Decoder::kMaxSubnegotiation - 1) },
        DecodeRow { "overlong_subnegotiation_reported_once", Cat({ LongSub(1000), B({ 'k' }) }),
            B({ 'k' }), "M;" },
        DecodeRow { "iac_at_the_very_end", B({ 'a', IAC }), B({ 'a' }), "" }),
    RowName());

TEST(TelnetEncode, DoublesIacInDataAndSubnegotiations)
{
    Bytes out;
    telnet::AppendData(out, 0x41);
    telnet::AppendData(out, 0xFF);
    const uint8_t payload[] = { 1, 0, 0xFF, 0xFF, 0 };
    telnet::AppendSubnegotiation(out, CPO, payload, sizeof payload);
    EXPECT_EQ(out, B({ 0x41, IAC, IAC, IAC, SB, CPO, 1, 0, IAC, IAC, IAC, IAC, 0, IAC, SE }));

    // And the decoder reads back what the encoder wrote.
    telnet::Decoder decoder;
    Recorder sink;
    EXPECT_EQ(decoder.decode(out.data(), out.size(), out.data(), sink), 2U);
    EXPECT_EQ(out[1], 0xFF);
    EXPECT_EQ(sink.log, "S44,1,0,255,255,0;");
}

// What a server says to the session, and what must come of it.
struct SessionRow
{
    std::string name;
    Rfc2217Session::Line line;
    Bytes server;
    Rfc2217Session::Phase phase;
    std::string failure; // part of the reason, when failed
    Bytes data; // data the session hands out
    Bytes sentAfterStart; // exactly what the session sent after its opening requests
};

Bytes Answer(int code, Bytes value)
{
    return Cat({ B({ IAC, SB, CPO, code + 100 }), value, B({ IAC, SE }) });
}

Bytes Request(int code, Bytes value)
{
    Bytes escaped;
    for (const uint8_t byte : value) {
        telnet::AppendData(escaped, byte);
    }
    return Cat({ B({ IAC, SB, CPO, code }), escaped, B({ IAC, SE }) });
}

// The settings requests for 9600 8N1 (or `baud`), in the order the session sends them,
// then the modem-state mask and DTR and RTS (asked for, or set at open).
Bytes Requests(Bytes baud = B({ 0, 0, 0x25, 0x80 }), int parity = 1, int stop = 1, int flow = 1,
    int dtr = 7, int rts = 10)
{
    return Cat({ Request(1, baud), Request(2, B({ 8 })), Request(3, B({ parity })),
        Request(4, B({ stop })), Request(5, B({ flow })), Request(10, B({ 0x1E })),
        Request(12, B({ 3 })), Request(11, B({ 0xFF })), Request(5, B({ dtr })),
        Request(5, B({ rts })) });
}

// A server that takes everything: acknowledgements of the opening requests, then
// each setting answered as asked.
Bytes Accepting(Bytes baud = B({ 0, 0, 0x25, 0x80 }), int parity = 1, int stop = 1, int flow = 1)
{
    Bytes escapedBaud;
    for (const uint8_t byte : baud) {
        telnet::AppendData(escapedBaud, byte);
    }
    return Cat({ B({ IAC, DO, 0, IAC, WILL, 0, IAC, DO, CPO }), Answer(1, escapedBaud),
        Answer(2, B({ 8 })), Answer(3, B({ parity })), Answer(4, B({ stop })),
        Answer(5, B({ flow })), Answer(12, B({ 3 })) });
}

const Rfc2217Session::Line k9600 { 9600, 8, 0, 0 };
using Phase = Rfc2217Session::Phase;

class SessionRows : public ::testing::TestWithParam<SessionRow>
{
};

TEST_P(SessionRows, SameResultHoweverTheServerIsCut)
{
    const SessionRow &row = GetParam();
    for (const std::vector<Bytes> &chunks : Cuttings(row.server)) {
        Rfc2217Session session(row.line);
        EXPECT_EQ(session.start(), B({ IAC, WILL, 0, IAC, DO, 0, IAC, WILL, CPO }));
        Bytes data;
        Bytes sent;
        for (Bytes chunk : chunks) {
            const std::size_t count = session.receive(chunk.data(), chunk.size());
            data.insert(data.end(), chunk.begin(), chunk.begin() + static_cast<long>(count));
            const Bytes out = session.takeOutgoing();
            sent.insert(sent.end(), out.begin(), out.end());
        }
        EXPECT_EQ(session.phase(), row.phase) << chunks.size() << " chunks";
        if (!row.failure.empty()) {
            EXPECT_NE(session.failure().reason().find(row.failure), std::string::npos)
                << session.failure().reason();
        }
        EXPECT_EQ(data, row.data) << chunks.size() << " chunks";
        EXPECT_EQ(sent, row.sentAfterStart) << chunks.size() << " chunks";
    }
}

INSTANTIATE_TEST_SUITE_P(Rfc2217, SessionRows,
    ::testing::Values(SessionRow { "accepting_server_makes_it_ready", k9600,
                          Cat({ Accepting(), B({ 'o', 'k', IAC, IAC }) }), Phase::Ready, "",
                          B({ 'o', 'k', 0xFF }), Requests() },
        SessionRow { "data_before_ready_is_dropped", k9600,
            Cat({ B({ 'x', IAC, IAC }), Accepting() }), Phase::Ready, "", B({}), Requests() },
        SessionRow { "baud_with_ff_bytes_escaped_both_ways", { 0x1FFFF, 8, 0, 0 },
            Accepting(B({ 0, 1, 0xFF, 0xFF })), Phase::Ready, "", B({}),
            Requests(B({ 0, 1, 0xFF, 0xFF })) },
        SessionRow { "odd_parity_two_stop_bits", { 9600, 8, 1, 2 },
            Accepting(B({ 0, 0, 0x25, 0x80 }), 2, 2), Phase::Ready, "", B({}),
            Requests(B({ 0, 0, 0x25, 0x80 }), 2, 2) },
        SessionRow { "other_baud_answered", { 57600, 8, 0, 0 }, Accepting(), Phase::Failed,
            "the server refused 57600 baud", B({}), Requests(B({ 0, 0, 0xE1, 0x00 })) },
        SessionRow { "other_parity_answered", { 9600, 8, 2, 0 }, Accepting(), Phase::Failed,
            "the server refused even parity", B({}), Requests(B({ 0, 0, 0x25, 0x80 }), 3) },
        SessionRow { "com_port_option_refused", k9600, B({ IAC, DONT, CPO }), Phase::Failed,
            "does not take RFC 2217", B({}), B({}) },
        SessionRow { "other_options_refused_once", k9600,
            B({ IAC, DO, 1, IAC, DO, 1, IAC, WILL, 3, IAC, WILL, 3, IAC, DONT, 5 }),
            Phase::Negotiating, "", B({}), B({ IAC, WONT, 1, IAC, DONT, 3 }) },
        SessionRow { "binary_dropped_then_asked_again", k9600,
            B({ IAC, DO, 0, IAC, DONT, 0, IAC, DO, 0, IAC, WONT, 0 }), Phase::Negotiating, "",
            B({}), B({ IAC, WONT, 0, IAC, WILL, 0 }) },
        SessionRow { "line_and_modem_state_after_ready", k9600,
            Cat({ Accepting(), Answer(6, B({ 0x0C })), Answer(7, B({ 0xB0 })), B({ 'd' }) }),
            Phase::Ready, "", B({ 'd' }), Requests() },
        SessionRow { "endless_subnegotiation_fails", k9600,
            Cat({ Accepting(), B({ IAC, SB, CPO }), Bytes(200, 1) }), Phase::Failed, "malformed",
            B({}), Requests() }),
    RowName());

TEST(Rfc2217, LineStateCountsEachErrorBit)
{
    Rfc2217Session session(k9600);
    (void)session.start();
    Bytes server = Cat({ Accepting(), Answer(6, B({ 0x02 | 0x04 | 0x08 | 0x10 })),
        Answer(6, B({ 0x08 })), Answer(7, B({ 0x30 })) });
    session.receive(server.data(), server.size());
    EXPECT_EQ(session.lineErrors().overrun.load(), 1U);
    EXPECT_EQ(session.lineErrors().parity.load(), 1U);
    EXPECT_EQ(session.lineErrors().frame.load(), 2U);
    EXPECT_EQ(session.lineErrors().breaks.load(), 1U);
    ASSERT_TRUE(session.modemStateKnown());
    EXPECT_EQ(session.modemState(), 0x30);
}

TEST(Rfc2217, AnswersNeverOutgrowTheirBound)
{
    // A server that asks again and again for options we refuse: the refusal goes
    // out once, so nothing builds up even when nobody takes the answers.
    Rfc2217Session session(k9600);
    (void)session.start();
    Bytes server;
    for (int i = 0; i < 10000; ++i) {
        server.insert(server.end(), { IAC, DO, static_cast<uint8_t>(1 + i % 40), IAC, NOP });
    }
    session.receive(server.data(), server.size());
    EXPECT_LE(session.takeOutgoing().size(), Rfc2217Session::kMaxOutgoing);
    EXPECT_NE(session.phase(), Phase::Failed);
}

// SET-CONTROL: what the session asks for at open, and what it keeps of the answers.
// The state kept is the server's answer, whatever was asked.
using Known = Rfc2217Session::Known;
using Control = Rfc2217Session::ControlState;

struct ControlRow
{
    std::string name;
    Rfc2217Session::Line line;
    Bytes server;
    Phase phase;
    std::string failure;
    Control state;
    Bytes sentAfterStart;
};

Rfc2217Session::Line Asking(int flow, int dtr = 0, int rts = 0)
{
    return { 9600, 8, 0, 0, static_cast<uint8_t>(flow), static_cast<uint8_t>(dtr),
        static_cast<uint8_t>(rts) };
}

constexpr auto U = Known::Unknown, ON = Known::On, OFF = Known::Off;
const Bytes kPlain = Requests();

class ControlRows : public ::testing::TestWithParam<ControlRow>
{
};

TEST_P(ControlRows, StateIsWhatTheServerAnswered)
{
    const ControlRow &row = GetParam();
    for (const std::vector<Bytes> &chunks : Cuttings(row.server)) {
        Rfc2217Session session(row.line);
        (void)session.start();
        Bytes sent;
        for (Bytes chunk : chunks) {
            session.receive(chunk.data(), chunk.size());
            const Bytes out = session.takeOutgoing();
            sent.insert(sent.end(), out.begin(), out.end());
        }
        EXPECT_EQ(session.phase(), row.phase) << chunks.size() << " chunks";
        if (!row.failure.empty()) {
            EXPECT_EQ(session.failure().reason(), row.failure);
        }
        const Control state = session.controlState();
        EXPECT_EQ(state.dtr, row.state.dtr) << chunks.size() << " chunks";
        EXPECT_EQ(state.rts, row.state.rts) << chunks.size() << " chunks";
        EXPECT_EQ(state.breakOn, row.state.breakOn) << chunks.size() << " chunks";
        EXPECT_EQ(state.flow, row.state.flow) << chunks.size() << " chunks";
        EXPECT_EQ(sent, row.sentAfterStart) << chunks.size() << " chunks";
    }
}

INSTANTIATE_TEST_SUITE_P(Rfc2217, ControlRows,
    ::testing::Values(ControlRow { "nothing_answered_is_unknown", Asking(1), Accepting(),
                          Phase::Ready, "", { U, U, U, 1 }, kPlain },
        ControlRow { "asked_states_answered", Asking(1),
            Cat({ Accepting(), Answer(5, B({ 9 })), Answer(5, B({ 11 })) }), Phase::Ready, "",
            { OFF, ON, U, 1 }, kPlain },
        ControlRow { "last_answer_wins", Asking(1),
            Cat({ Accepting(), Answer(5, B({ 8 })), Answer(5, B({ 12 })), Answer(5, B({ 9 })),
                Answer(5, B({ 5 })), Answer(5, B({ 6 })) }),
            Phase::Ready, "", { OFF, OFF, OFF, 1 }, kPlain },
        ControlRow { "lines_at_open_sent_instead_of_asked", Asking(1, 8, 12),
            Cat({ Accepting(), Answer(5, B({ 8 })), Answer(5, B({ 12 })) }), Phase::Ready, "",
            { ON, OFF, U, 1 }, Requests(B({ 0, 0, 0x25, 0x80 }), 1, 1, 1, 8, 12) },
        ControlRow { "rts_cts_taken", Asking(3), Accepting(B({ 0, 0, 0x25, 0x80 }), 1, 1, 3),
            Phase::Ready, "", { U, U, U, 3 }, Requests(B({ 0, 0, 0x25, 0x80 }), 1, 1, 3) },
        ControlRow { "rts_cts_refused", Asking(3), Accepting(), Phase::Failed,
            "the server refused RTS/CTS flow control", { U, U, U, 1 },
            Requests(B({ 0, 0, 0x25, 0x80 }), 1, 1, 3) },
        // A line's answer in the middle of the settings is no answer to the flow
        // control, which still comes.
        ControlRow { "line_answer_is_not_the_flow_answer", Asking(3),
            Cat({ B({ IAC, DO, CPO }), Answer(5, B({ 8 })),
                Accepting(B({ 0, 0, 0x25, 0x80 }), 1, 1, 3) }),
            Phase::Ready, "", { ON, U, U, 3 }, Requests(B({ 0, 0, 0x25, 0x80 }), 1, 1, 3) }),
    RowName());

} // namespace
