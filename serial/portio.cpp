#include "portio.h"

#include "controllines_backend.h"
#include "net/netlink.h"
#include "portaddress.h"
#include "portbinding.h"

#include <atomic>
#include <mutex>

namespace port_io {

namespace {

constexpr intptr_t kNetHandleLimit = -4096;

std::atomic<int64_t> g_connectTimeoutMs { 5000 };
std::atomic<int64_t> g_negotiateTimeoutMs { 5000 };

std::mutex g_dropLock;
OpenFailure g_drop;

// A network port's handle is its link's address negated, so that the backends
// keep one integer handle; only handles made by handleOf come back here, and the
// per-byte calls need no table lookup.
NetLink *link(intptr_t handle)
{
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<NetLink *>(static_cast<uintptr_t>(-handle));
}

intptr_t handleOf(NetLink *netLink)
{
    return -static_cast<intptr_t>(reinterpret_cast<uintptr_t>(netLink));
}

// The plain-words kind of a network failure.
OpenFailure toFailure(const Status &status, const std::string &device)
{
    static const std::string kRefusedSetting = "the server refused ";
    OpenFailure failure;
    failure.device = device;
    failure.detail = status.reason();
    switch (status.kind()) {
    case ErrorKind::NotFound:
        failure.kind = OpenFailure::Kind::HostNotFound;
        break;
    case ErrorKind::Timeout:
        failure.kind = status.reason().rfind(NetLink::kNoNegotiation, 0) == 0
            ? OpenFailure::Kind::NoNegotiation
            : OpenFailure::Kind::NoAnswer;
        break;
    case ErrorKind::Lost:
        failure.kind = OpenFailure::Kind::Dropped;
        break;
    case ErrorKind::Refused:
        if (status.reason().rfind(kRefusedSetting, 0) == 0) {
            failure.kind = OpenFailure::Kind::SettingRefused;
            failure.setting = status.reason().substr(kRefusedSetting.size());
        } else {
            failure.kind = OpenFailure::Kind::ConnectionRefused;
        }
        break;
    case ErrorKind::Invalid:
        failure.kind = OpenFailure::Kind::Missing;
        break;
    default:
        failure.kind = OpenFailure::Kind::NetworkError;
        break;
    }
    return failure;
}

// The address port `port`'s link names, when it names one.
bool boundAddress(int32_t port, std::string &text)
{
    if (!PortBinding::hasLink(port)) {
        return false;
    }
    text = PortBinding::mappedDevice(port);
    return IsPortAddress(text);
}

// The SET-CONTROL values of what Open is asked to do besides the line settings.
void carryOpenOptions(const OpenLineOptions &options, Rfc2217Session::Line &line)
{
    using S = Rfc2217Session;
    switch (options.flow) {
    case FlowControl::XonXoff:
        line.flowControl = S::kFlowXonXoff;
        break;
    case FlowControl::RtsCts:
        line.flowControl = S::kFlowRtsCts;
        break;
    case FlowControl::Leave: // no flow control is what a network port always had
    case FlowControl::None:
        line.flowControl = S::kFlowNone;
        break;
    }
    const auto atOpen = [](LineAtOpen state, uint8_t on, uint8_t off) -> uint8_t {
        return state == LineAtOpen::On ? on : state == LineAtOpen::Off ? off : 0;
    };
    line.dtrAtOpen = atOpen(options.dtr, S::kDtrOn, S::kDtrOff);
    // RTS belongs to the hardware handshake while RTS/CTS is on.
    line.rtsAtOpen
        = options.flow == FlowControl::RtsCts ? 0 : atOpen(options.rts, S::kRtsOn, S::kRtsOff);
}

intptr_t openNet(const std::string &text, int32_t baudRate, uint8_t parity, uint8_t stopBits,
    uint8_t dataBits, const OpenLineOptions &options, OpenFailure &failure)
{
    const Result<PortAddress> address = ParsePortAddress(text);
    if (!address) {
        failure = toFailure(address.status(), text);
        return kInvalidHandle;
    }
    NetLink::Target target;
    target.host = address->host;
    target.port = address->port;
    target.rfc2217 = address->scheme == PortAddress::Scheme::Rfc2217;
    target.line.baudRate = baudRate > 0 ? static_cast<uint32_t>(baudRate) : 0;
    target.line.dataBits = dataBits;
    target.line.parity = parity;
    target.line.stopBits = stopBits;
    carryOpenOptions(options, target.line);
    target.connectTimeout = std::chrono::milliseconds(g_connectTimeoutMs.load());
    target.negotiateTimeout = std::chrono::milliseconds(g_negotiateTimeoutMs.load());
    auto netLink = std::make_unique<NetLink>(target);
    // A server on the same network answers within this; a slow one goes on
    // connecting in the background and the port shows it.
    if (netLink->waitSettled(kOpenWait) == NetLink::Phase::Failed) {
        failure = toFailure(netLink->failure(), text);
        return kInvalidHandle;
    }
    return handleOf(netLink.release());
}

} // namespace

bool IsNetHandle(intptr_t handle)
{
    return handle < kNetHandleLimit;
}

intptr_t OpenDevice(int32_t port, int32_t baudRate, uint8_t parity, uint8_t stopBits,
    uint8_t dataBits, const OpenLineOptions &options, OpenFailure &failure)
{
    std::string address;
    if (boundAddress(port, address)) {
        return openNet(address, baudRate, parity, stopBits, dataBits, options, failure);
    }
    return serial_backend::OpenDevice(port, baudRate, parity, stopBits, dataBits, failure);
}

void CloseDevice(intptr_t handle)
{
    if (!IsNetHandle(handle)) {
        serial_backend::CloseDevice(handle);
        return;
    }
    NoteDrop(handle);
    const std::unique_ptr<NetLink> netLink(link(handle));
}

void NoteDrop(intptr_t handle)
{
    OpenFailure failure = LinkFailure(handle);
    if (failure.kind != OpenFailure::Kind::None) {
        const std::lock_guard<std::mutex> lock(g_dropLock);
        g_drop = std::move(failure);
    }
}

OpenFailure LinkFailure(intptr_t handle)
{
    if (!IsNetHandle(handle) || link(handle)->phase() != NetLink::Phase::Failed) {
        return {};
    }
    const NetLink::Target &target = link(handle)->target();
    return toFailure(link(handle)->failure(),
        PortAddress { target.rfc2217 ? PortAddress::Scheme::Rfc2217 : PortAddress::Scheme::Tcp,
            target.host, target.port }
            .text());
}

bool ClearErrors(intptr_t handle)
{
    return IsNetHandle(handle) || serial_backend::ClearErrors(handle);
}

bool ReadLineErrors(intptr_t handle, LineErrorCounts &counts)
{
    if (!IsNetHandle(handle)) {
        return serial_backend::ReadLineErrors(handle, counts);
    }
    const Rfc2217Session::LineErrors *errors = link(handle)->lineErrors();
    if (errors == nullptr) {
        return false;
    }
    counts = LineErrorCounts();
    counts.frame = errors->frame.load();
    counts.parity = errors->parity.load();
    counts.overrun = errors->overrun.load();
    counts.breaks = errors->breaks.load();
    return true;
}

Attempt ReadChunk(intptr_t handle, intptr_t waker, int waitMs, uint8_t *buffer, std::size_t size,
    std::size_t &count)
{
    if (!IsNetHandle(handle)) {
        return serial_backend::ReadChunk(handle, waker, waitMs, buffer, size, count);
    }
    switch (link(handle)->read(waker, waitMs, buffer, size, count)) {
    case NetLink::ReadResult::Data:
        return Attempt::Byte;
    case NetLink::ReadResult::Nothing:
        return Attempt::Nothing;
    case NetLink::ReadResult::Failed:
        break;
    }
    return Attempt::Failed;
}

bool WriteAttempt(intptr_t handle, uint8_t byte)
{
    return IsNetHandle(handle) ? link(handle)->write(byte)
                               : serial_backend::WriteAttempt(handle, byte);
}

std::size_t WriteChunk(intptr_t handle, const uint8_t *data, std::size_t size)
{
    if (!IsNetHandle(handle)) {
        return serial_backend::WriteChunk(handle, data, size);
    }
    std::size_t written = 0;
    while (written < size && link(handle)->write(data[written])) {
        ++written;
    }
    return written;
}

bool DeviceGone(intptr_t handle)
{
    return IsNetHandle(handle) ? link(handle)->gone() : serial_backend::DeviceGone(handle);
}

LinkPhase Phase(intptr_t handle)
{
    if (!IsNetHandle(handle)) {
        return LinkPhase::Ready;
    }
    switch (link(handle)->phase()) {
    case NetLink::Phase::Connecting:
        return LinkPhase::Connecting;
    case NetLink::Phase::Failed:
        return LinkPhase::Failed;
    case NetLink::Phase::Open:
        break;
    }
    return LinkPhase::Ready;
}

bool ModemState(intptr_t handle, uint8_t &state)
{
    return IsNetHandle(handle) && link(handle)->modemState(state);
}

Status ApplyOpenOptions(intptr_t handle, const OpenLineOptions &options)
{
    if (!IsNetHandle(handle)) {
        return serial_backend::ApplyOpenOptions(handle, options);
    }
    if (!link(handle)->target().rfc2217) {
        // Nothing asked for, nothing to refuse.
        return options == OpenLineOptions() ? Status()
                                            : ControlLines::NotSupported("control lines");
    }
    return options.rs485 ? ControlLines::NotSupported("RS-485") : Status();
}

Result<ModemLines> GetModemLines(intptr_t handle)
{
    if (!IsNetHandle(handle)) {
        return serial_backend::GetModemLines(handle);
    }
    NetLink *const netLink = link(handle);
    const Result<Rfc2217Session::ControlState> control = netLink->controlState();
    if (!control) {
        return control.status();
    }
    // A line the server has not reported is unknown, never taken as asked: a server
    // may ignore the question at open and the setting alike.
    ModemLines lines;
    lines.dtr = control->dtr == Rfc2217Session::Known::On;
    lines.rts = control->rts == Rfc2217Session::Known::On;
    lines.setKnown(ModemLine::Dtr, control->dtr != Rfc2217Session::Known::Unknown);
    lines.setKnown(ModemLine::Rts, control->rts != Rfc2217Session::Known::Unknown);
    uint8_t state = 0;
    const bool reported = netLink->modemState(state);
    lines.cts = (state & 0x10) != 0;
    lines.dsr = (state & 0x20) != 0;
    lines.ri = (state & 0x40) != 0;
    lines.dcd = (state & 0x80) != 0;
    for (const ModemLine input :
        { ModemLine::Cts, ModemLine::Dsr, ModemLine::Dcd, ModemLine::Ri }) {
        lines.setKnown(input, reported);
    }
    return lines;
}

Status SetModemLine(intptr_t handle, ModemLine line, bool on)
{
    if (!IsNetHandle(handle)) {
        return serial_backend::SetModemLine(handle, line, on);
    }
    using S = Rfc2217Session;
    switch (line) {
    case ModemLine::Dtr:
        return link(handle)->control(on ? S::kDtrOn : S::kDtrOff);
    case ModemLine::Rts:
        return link(handle)->control(on ? S::kRtsOn : S::kRtsOff);
    default:
        return { ErrorKind::Invalid, "only DTR and RTS are set by this side" };
    }
}

Status SetBreak(intptr_t handle, bool on)
{
    if (!IsNetHandle(handle)) {
        return serial_backend::SetBreak(handle, on);
    }
    return link(handle)->control(on ? Rfc2217Session::kBreakOn : Rfc2217Session::kBreakOff);
}

Result<FlowControl> GetFlowControl(intptr_t handle)
{
    if (!IsNetHandle(handle)) {
        return serial_backend::GetFlowControl(handle);
    }
    const Result<Rfc2217Session::ControlState> control = link(handle)->controlState();
    if (!control) {
        return control.status();
    }
    switch (control->flow) {
    case Rfc2217Session::kFlowXonXoff:
        return FlowControl::XonXoff;
    case Rfc2217Session::kFlowRtsCts:
        return FlowControl::RtsCts;
    default:
        return FlowControl::None;
    }
}

Result<Rs485Settings> GetRs485(intptr_t handle)
{
    if (!IsNetHandle(handle)) {
        return serial_backend::GetRs485(handle);
    }
    return ControlLines::NotSupported("RS-485");
}

Status SetRs485(intptr_t handle, const Rs485Settings &settings)
{
    if (!IsNetHandle(handle)) {
        return serial_backend::SetRs485(handle, settings);
    }
    return ControlLines::NotSupported("RS-485");
}

OpenFailure DropReason()
{
    const std::lock_guard<std::mutex> lock(g_dropLock);
    return g_drop;
}

OpenFailure TakeDropReason()
{
    const std::lock_guard<std::mutex> lock(g_dropLock);
    OpenFailure taken = g_drop;
    g_drop = OpenFailure();
    return taken;
}

void SetNetTimeouts(std::chrono::milliseconds connect, std::chrono::milliseconds negotiate)
{
    g_connectTimeoutMs.store(connect.count());
    g_negotiateTimeoutMs.store(negotiate.count());
}

} // namespace port_io
