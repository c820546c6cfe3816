#pragma once

#include "linechannel.h"

#include <memory>
#include <string>

// A serial device (or either side of a pseudo-terminal) used directly through its
// descriptors, for the command line and the benchmarks. POSIX only.
class DeviceChannel final : public LineChannel
{
public:
    // Opens `path` for this process alone, raw, with `framing`. NotFound, NoAccess,
    // Busy, NotSerial or Refused (the line settings) with the system's reason.
    [[nodiscard]] static Result<std::unique_ptr<DeviceChannel>> Open(
        const std::string &path, const LineFraming &framing);
    // Writes to `writeFd` and reads from `readFd` (the same descriptor for a device;
    // the two sides of a pseudo-terminal for a benchmark). Takes neither.
    DeviceChannel(int writeFd, int readFd);
    ~DeviceChannel() override;
    DeviceChannel(const DeviceChannel &) = delete;
    DeviceChannel &operator=(const DeviceChannel &) = delete;

    Result<std::size_t> Write(const uint8_t *data, std::size_t size, int waitMs) override;
    Result<std::size_t> Read(uint8_t *data, std::size_t size, int waitMs) override;
    void DiscardInput() override;
    bool LineErrors(LineErrorCounts &counts) const override;
    // The descriptor read from, for the control lines of the same device.
    [[nodiscard]] int readDescriptor() const { return m_readFd; }

private:
    int m_writeFd;
    int m_readFd;
    bool m_owned = false;
};
