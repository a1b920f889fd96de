#include "local/ProfileRules.h"

namespace {
const unsigned long kHiddenAttribute = 0x2;
}

bool IsListedProfileEntry(const std::string& name, unsigned long attributes)
{
    if (name == "." || name == "..")
        return false;
    return (attributes & kHiddenAttribute) == 0;
}

std::string CurrentUserEntry(const std::string& displayName)
{
    return "*User = " + displayName;
}
