#pragma once

#include "base/status.h"

#include <cstdint>
#include <optional>

// The modem control lines, the break and the flow control of a serial line: the
// words the strip in the main window, the settings and the backends share.

enum class ModemLine : uint8_t {
    Dtr, // output: data terminal ready
    Rts, // output: request to send
    Cts, // input: clear to send
    Dsr, // input: data set ready
    Dcd, // input: data carrier detect
    Ri, // input: ring indicator
};

// The six lines at one moment; true means asserted.
struct ModemLines
{
    bool dtr = false;
    bool rts = false;
    bool cts = false;
    bool dsr = false;
    bool dcd = false;
    bool ri = false;

    // One bit per line (1 << line) whose state the port could not learn: a network
    // server that has not reported it. get() says false for such a line. A port
    // that always knows leaves it 0.
    uint8_t unknown = 0;
    [[nodiscard]] bool get(ModemLine line) const;
    void set(ModemLine line, bool on);
    [[nodiscard]] bool known(ModemLine line) const;
    void setKnown(ModemLine line, bool isKnown);
    bool operator==(const ModemLines &) const = default;
};

// The lines a program drives itself; the others only the far side changes.
[[nodiscard]] constexpr bool IsOutputLine(ModemLine line)
{
    return line == ModemLine::Dtr || line == ModemLine::Rts;
}

// Leave: the device keeps what it had (nothing is written).
enum class FlowControl : uint8_t { Leave, None, RtsCts, XonXoff };

// The state an output line is put in right after the port opens.
enum class LineAtOpen : uint8_t { Leave, On, Off };

// RS-485 direction control by the driver (Linux struct serial_rs485).
struct Rs485Settings
{
    bool enabled = false;
    bool rtsOnSend = true; // RTS level while sending
    bool rtsAfterSend = false; // RTS level after sending
    uint32_t delayBeforeSendMs = 0;
    uint32_t delayAfterSendMs = 0;
    bool receiveDuringSend = false;
    bool operator==(const Rs485Settings &) const = default;
};

// What Open does to the line besides the four specified settings. Every member at
// its default changes nothing.
struct OpenLineOptions
{
    FlowControl flow = FlowControl::Leave;
    LineAtOpen dtr = LineAtOpen::Leave;
    LineAtOpen rts = LineAtOpen::Leave;
    // Written at open when set; left alone otherwise.
    std::optional<Rs485Settings> rs485;
    bool operator==(const OpenLineOptions &) const = default;
};

// The control-line operations of a port, whatever carries it. A serial device does
// them with the system's calls; a port that cannot do one (a network port that has
// no way to say it, a build without the call) keeps the default, which reports it
// as not supported, and the user interface greys that control with the reason.
// Every call returns at once (a pulse or a timed break is the caller's timer).
class ControlLines
{
public:
    virtual ~ControlLines() = default;

    // The six lines as the driver reports them now.
    [[nodiscard]] virtual Result<ModemLines> lines();
    // Asserts (`on`) or clears an output line (DTR or RTS).
    [[nodiscard]] virtual Status setLine(ModemLine line, bool on);
    // Starts (`on`) or ends a break on the transmit line.
    [[nodiscard]] virtual Status setBreak(bool on);
    // The flow control the device has now (never Leave).
    [[nodiscard]] virtual Result<FlowControl> flowControl();
    // The RS-485 settings of the device; a failure says why it has none.
    [[nodiscard]] virtual Result<Rs485Settings> rs485();
    [[nodiscard]] virtual Status setRs485(const Rs485Settings &settings);

    // The reason the defaults give.
    [[nodiscard]] static Status NotSupported(const char *what);
};
