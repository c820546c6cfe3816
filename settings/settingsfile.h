#pragma once

#include "settingsvalues.h"
#include "text/cp936cut.h"
#include "wholefile.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// The settings file: 18 little-endian signed 32-bit values in a fixed order (flags
// as 0 or 1, read as true when not zero), then the bytes of FSendChar (0 to 1000, no
// terminator). There is no header, version or checksum.
//
// Threads: user-interface thread only. The atomics of the values are read and
// written one by one; nothing else is synchronised.

// Size of the fixed part of the file and the largest send text it stores.
constexpr std::size_t kSettingsFixedSize = 72;
constexpr std::size_t kSettingsTextLimit = 1000;

// The file bytes of `settings`: 72 + L bytes, L ≤ 1000. A longer FSendChar is cut
// so that no code page 936 double-byte character is split.
std::string EncodeSettings(const SettingsValues &settings);

// Takes the values from file bytes. Each value whose four bytes are all present is
// read; the others get their defaults. FSendChar is the text from offset 72 up to the
// first zero byte and at most 1000 bytes, or its default when the file is shorter
// than 72 bytes. The code tables are left alone.
void DecodeSettings(std::string_view bytes, SettingsValues &settings);

// Where the settings live. POSIX: ConfigFolder() (serial/configfolder.h), the port links' folder,
// created when missing. Windows: the system directory (empty when the system does
// not say which it is).
std::filesystem::path SettingsFolder();

// Makes sure the settings folder is there (POSIX: creates it with its parents;
// Windows: asks for the system directory). The failure says why not.
[[nodiscard]] Status CreateSettingsFolder();

// POSIX: SettingsFolder()/Byteway.ini. Windows: the system directory immediately
// followed by "\Byteway.ini".
std::filesystem::path SettingsFilePath();

// Writes the settings file anew from `settings`, replacing the old one atomically:
// a reader sees either the old file or the complete new one. A symbolic link in the
// file's place is followed and its target replaced. Fails when the folder or the
// file could not be written (the old file is then left as it was), or when something
// other than a regular file stands in its place, which is left alone. Shows nothing.
[[nodiscard]] Status SaveSettings(const SettingsValues &settings);

// The loading part of the settings dialog's creation: reads the settings file into
// `settings`. When the file is missing, empty, cannot be opened for reading and
// writing, or is not a regular file (a FIFO, device, socket or folder, which is
// never read), the defaults apply and the file is written from them (a failed write
// is ignored: a read-only file, or anything that is not a regular file, stays as it
// is).
void LoadSettings(SettingsValues &settings);
