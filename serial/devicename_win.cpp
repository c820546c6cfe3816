#include "devicename.h"

bool IsProgramsTerminal(const std::string &)
{
    return false;
}

Status CheckNotConsole(const std::string &)
{
    return {};
}

void SetConsoleListFile(const std::string &) { }
