#pragma once

#include <cstdio>
#include <filesystem>

// Creates the file `path` for writing, only when nothing is there: an existing file
// or a symbolic link at `path` (even one to nowhere) is left alone and not followed.
// `permissions` are the file's read/write/execute bits (no set-user-ID, set-group-ID
// or sticky bit), narrowed by the process's file mode creation mask where the system
// has one. Returns the open file, or nullptr with the errno-style code in `error`
// (EEXIST when something is there).
[[nodiscard]] std::FILE *CreateNewFile(
    const std::filesystem::path &path, unsigned permissions, int &error);
