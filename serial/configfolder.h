#pragma once

#include <filesystem>

// The folder of Byteway's own files on POSIX systems: $XDG_CONFIG_HOME/byteway when
// that is an absolute path, else <home>/.config/byteway, where <home> is $HOME or,
// when HOME is unset or empty, the account's home folder from the password
// database. The settings file, byteway.conf and the port links (comN) all live
// here, so this is the one place that decides it. Not created here.
std::filesystem::path ConfigFolder();
