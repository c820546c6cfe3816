#include "controllines_backend.h"

namespace serial_backend {

Status ApplyOpenOptions(intptr_t handle, const OpenLineOptions &options)
{
    if (!IsDeviceHandle(handle)) {
        // Nothing asked for, nothing to refuse.
        return options == OpenLineOptions() ? Status()
                                            : ControlLines::NotSupported("control lines");
    }
    Status first;
    const auto keep = [&first](Status status) {
        if (first.ok() && !status.ok()) {
            first = std::move(status);
        }
    };
    if (options.flow != FlowControl::Leave) {
        keep(SetFlowControl(handle, options.flow));
    }
    if (options.rs485) {
        keep(SetRs485(handle, *options.rs485));
    }
    // RTS belongs to the hardware handshake while RTS/CTS is on.
    const bool rtsOwned = options.flow == FlowControl::RtsCts;
    if (options.dtr != LineAtOpen::Leave) {
        keep(SetModemLine(handle, ModemLine::Dtr, options.dtr == LineAtOpen::On));
    }
    if (options.rts != LineAtOpen::Leave && !rtsOwned) {
        keep(SetModemLine(handle, ModemLine::Rts, options.rts == LineAtOpen::On));
    }
    return first;
}

} // namespace serial_backend
