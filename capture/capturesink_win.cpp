#include "capturesink.h"

#include <cerrno>
#include <cstdio>

// Windows has no FIFO in the file system and no SIGPIPE: a plain file suffices.

namespace {

// The sink keeps its handle as an intptr_t, a descriptor elsewhere.
std::FILE *asFile(intptr_t handle)
{
    // A FILE * kept as an integer, by design.
    // NOLINTNEXTLINE(performance-no-int-to-ptr)
    return reinterpret_cast<std::FILE *>(handle);
}

} // namespace

CaptureSink::~CaptureSink()
{
    if (isOpen()) {
        std::fclose(asFile(m_handle));
    }
}

bool CaptureSink::isOpen() const
{
    return m_handle != -1;
}

void CaptureSink::PrepareWriterThread() { }

Status CaptureSink::Open(const std::filesystem::path &path)
{
    std::FILE *file = _wfopen(path.c_str(), L"wb");
    if (!file) {
        return Status::FromErrno(ErrorKind::Io, errno, path.string());
    }
    m_handle = reinterpret_cast<intptr_t>(file);
    return {};
}

Status CaptureSink::Write(std::string_view data, const std::atomic<bool> &, std::size_t &written)
{
    auto *file = asFile(m_handle);
    written = std::fwrite(data.data(), 1, data.size(), file);
    if (written != data.size() || std::fflush(file) != 0) {
        return Status::FromErrno(ErrorKind::Io, errno, "writing");
    }
    return {};
}

Status CaptureSink::Close()
{
    if (!isOpen()) {
        return {};
    }
    auto *file = asFile(m_handle);
    m_handle = -1;
    if (std::fclose(file) != 0) {
        return Status::FromErrno(ErrorKind::Io, errno, "closing");
    }
    return {};
}
