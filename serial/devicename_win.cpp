#include "devicename.h"

bool IsProgramsTerminal(const std::string &)
{
    return false;
}
