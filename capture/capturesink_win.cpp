#include "capturesink.h"

#include <cerrno>
#include <cstdio>

// Windows has no FIFO in the file system and no SIGPIPE: a plain file suffices.

CaptureSink::~CaptureSink()
{
    if (isOpen()) {
        std::fclose(reinterpret_cast<std::FILE *>(m_handle));
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
    auto *file = reinterpret_cast<std::FILE *>(m_handle);
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
    auto *file = reinterpret_cast<std::FILE *>(m_handle);
    m_handle = -1;
    if (std::fclose(file) != 0) {
        return Status::FromErrno(ErrorKind::Io, errno, "closing");
    }
    return {};
}
