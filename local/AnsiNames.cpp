#include "local/AnsiNames.h"

namespace {

const char* const kDeviceNames[] = {"CON", "PRN", "AUX", "NUL"};
const char* const kNumberedDeviceNames[] = {"COM", "LPT"};

bool IsSingle(const std::string& s, std::size_t i, std::size_t length, char c)
{
    return length == 1 && s[i] == c;
}

} // namespace

std::size_t AnsiCharLength(const std::string& s, std::size_t i, LeadByteTest isLead)
{
    const bool lead = isLead && isLead(static_cast<unsigned char>(s[i]));
    return lead && i + 1 < s.size() && s[i + 1] != '\0' ? 2 : 1;
}

std::size_t FindAnsiChar(const std::string& s, char c, LeadByteTest isLead)
{
    std::size_t first = std::string::npos;
    ForEachAnsiChar(s, isLead, [&](std::size_t i, std::size_t length) {
        if (!IsSingle(s, i, length, c))
            return true;
        first = i;
        return false;
    });
    return first;
}

std::size_t FindLastAnsiChar(const std::string& s, char c, LeadByteTest isLead)
{
    std::size_t last = std::string::npos;
    ForEachAnsiChar(s, isLead, [&](std::size_t i, std::size_t length) {
        if (IsSingle(s, i, length, c))
            last = i;
        return true;
    });
    return last;
}

std::string UpperAsciiLetters(const std::string& s, LeadByteTest isLead)
{
    std::string upper = s;
    ForEachAnsiChar(s, isLead, [&](std::size_t i, std::size_t length) {
        if (length == 1 && s[i] >= 'a' && s[i] <= 'z')
            upper[i] = static_cast<char>(s[i] - 'a' + 'A');
        return true;
    });
    return upper;
}

std::string JoinPath(const std::string& folder, const std::string& name, LeadByteTest isLead)
{
    const bool endsInSeparator = !folder.empty() && FindLastAnsiChar(folder, '\\', isLead) == folder.size() - 1;
    return endsInSeparator ? folder + name : folder + "\\" + name;
}

std::string ParentFolder(const std::string& path, LeadByteTest isLead)
{
    // The last separator and the character before it.
    std::size_t cut = std::string::npos;
    std::size_t before = std::string::npos;
    std::size_t previous = std::string::npos;
    ForEachAnsiChar(path, isLead, [&](std::size_t i, std::size_t length) {
        if (IsSingle(path, i, length, '\\')) {
            cut = i;
            before = previous;
        }
        previous = i;
        return true;
    });
    if (cut == std::string::npos || before == std::string::npos)
        return std::string();
    const std::size_t beforeLength = cut - before;
    if (IsSingle(path, before, beforeLength, '\\') || IsSingle(path, before, beforeLength, ':'))
        return std::string();
    return path.substr(0, cut);
}

bool IsReservedDeviceName(const std::string& name, LeadByteTest isLead)
{
    // Windows looks at the name before its first dot, without trailing blanks.
    std::size_t end = 0;
    ForEachAnsiChar(name, isLead, [&](std::size_t i, std::size_t length) {
        if (IsSingle(name, i, length, '.'))
            return false;
        if (!IsSingle(name, i, length, ' '))
            end = i + length;
        return true;
    });
    const std::string base = UpperAsciiLetters(name.substr(0, end), isLead);
    for (const char* device : kDeviceNames) {
        if (base == device)
            return true;
    }
    for (const char* device : kNumberedDeviceNames) {
        if (base.size() == 4 && base.compare(0, 3, device) == 0 && base[3] >= '1' && base[3] <= '9')
            return true;
    }
    return false;
}
