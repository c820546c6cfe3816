#include "portbinding.h"

#include "serialport.h"
#include "serialport_backend.h"

#include <filesystem>
#include <random>

namespace fs = std::filesystem;

namespace PortBinding {

namespace {

bool validPort(int32_t port)
{
    return port >= 1 && port <= SerialPort::kPortCount;
}

Status failure(const std::string &what, const std::error_code &code)
{
    return Status::FromErrorCode(code, what);
}

} // namespace

std::string linkPath(int32_t port)
{
    return validPort(port) ? serial_backend::MappingLink(port) : std::string();
}

std::string systemDevice(int32_t port)
{
    return validPort(port) ? serial_backend::SystemDeviceName(port) : std::string();
}

bool hasLink(int32_t port)
{
    const std::string link = linkPath(port);
    std::error_code error;
    return !link.empty() && fs::is_symlink(fs::symlink_status(link, error));
}

std::string mappedDevice(int32_t port)
{
    const std::string link = linkPath(port);
    std::error_code error;
    if (!link.empty()) {
        const fs::path target = fs::read_symlink(link, error);
        if (!error) {
            return target.string();
        }
    }
    return SerialPort::DeviceName(port);
}

std::string resolvedDevice(int32_t port)
{
    std::string name = SerialPort::DeviceName(port);
    if (name.empty()) {
        return name;
    }
    std::error_code error;
    const fs::path real = fs::canonical(name, error);
    return error ? mappedDevice(port) : real.string();
}

Status bind(int32_t port, const std::string &device)
{
    const std::string link = linkPath(port);
    if (link.empty()) {
        return { ErrorKind::Invalid,
            "port " + std::to_string(port) + " cannot be bound to a device here" };
    }
    std::error_code code;
    if (device.empty()) {
        fs::remove(link, code);
        if (code) {
            return failure(link, code);
        }
        return {};
    }
    const fs::path folder = fs::path(link).parent_path();
    fs::create_directories(folder, code);
    if (code) {
        return failure(folder.string(), code);
    }
    // A name of its own beside the link, so that two writers never share it.
    std::random_device random;
    std::string freshName = fs::path(link).filename().string();
    freshName.insert(0, 1, '.');
    freshName.append(".new").append(std::to_string(random()));
    const fs::path fresh = folder / freshName;
    fs::create_symlink(device, fresh, code);
    if (code) {
        return failure(link, code);
    }
    fs::rename(fresh, link, code);
    if (code) {
        std::error_code ignored;
        fs::remove(fresh, ignored);
        return failure(link, code);
    }
    return {};
}

std::string stableName(const std::string &device)
{
    std::error_code error;
    const fs::path real = fs::canonical(device, error);
    if (error) {
        return device;
    }
    for (const fs::directory_entry &entry : fs::directory_iterator("/dev/serial/by-id", error)) {
        std::error_code entryError;
        if (fs::canonical(entry.path(), entryError) == real && !entryError) {
            return entry.path().string();
        }
    }
    return device;
}

} // namespace PortBinding
