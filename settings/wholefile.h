#pragma once

#include "base/status.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// Files that are read and written whole: the settings file and the documents.
//
// Only regular files are read or replaced. A FIFO, device, socket or folder in a
// file's place is never read (it could block for ever or never end) and never
// replaced. A symbolic link is followed: its target is read, and a save replaces the
// target, leaving the link in place.
//
// A failure's reason is the operating system's text for the error, or a short
// English text of this module.
//
// Threads: any; the functions share no state.

enum class FileAccess { Read, ReadWrite };

// The regular file at `path`: at most `maxBytes` bytes from its start. With FileAccess::ReadWrite a
// file that this process may not write is not taken. The file is opened without blocking and
// checked through the opened handle, so what is read is what was checked.
[[nodiscard]] Result<std::string> ReadRegularFile(
    const std::filesystem::path &path, std::size_t maxBytes, FileAccess access);

// Where a save of `path` writes: the final target of a chain of symbolic links
// (a missing target included), else `path` itself. Fails on a loop of links.
[[nodiscard]] Result<std::filesystem::path> ResolveLinks(const std::filesystem::path &path);

// Replaces the file at `path` (a link's target, see ResolveLinks) by one holding
// exactly `bytes`: a temporary file beside it is written, flushed to the disk and
// renamed over it, so that a reader, or the disk after a crash, shows the old file or
// the complete new one. The new file keeps the permissions of the old one. An
// existing file that this process may not write, or that is not a regular file, is
// left as it is. On failure nothing is changed and no temporary file is left behind.
[[nodiscard]] Status ReplaceFileAtomically(
    const std::filesystem::path &path, std::string_view bytes);
