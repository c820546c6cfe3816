#pragma once

#include <QString>

#include <filesystem>
#include <string>

// File names cross between Qt and the standard library here and nowhere else. On
// Windows a path is wide text; elsewhere it is the bytes of the file system's
// encoding, which QFile's encodeName/decodeName keep round-trip safe (a name that is
// not valid in the locale's encoding still opens the file it came from).
[[nodiscard]] std::filesystem::path LocalPath(const QString &path);
[[nodiscard]] QString FromLocalPath(const std::filesystem::path &path);

// Text the system gave in its own encoding (an error's reason, a device name).
[[nodiscard]] QString FromLocal(const std::string &text);
[[nodiscard]] std::string ToLocal(const QString &text);
