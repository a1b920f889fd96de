#include "local/WorkFolderName.h"

namespace {

const char kWorkMark[] = ".~new-";

// Reads a decimal number that fits 32 bits from text at `at` up to the first
// byte that is no digit; false when there is no digit or it does not fit.
bool ReadNumber(const std::string& text, std::size_t& at, unsigned long& number)
{
    const std::size_t start = at;
    unsigned long long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = value * 10 + static_cast<unsigned long long>(text[at] - '0');
        if (value > 0xFFFFFFFFull)
            return false;
    }
    number = static_cast<unsigned long>(value);
    return at > start;
}

} // namespace

std::string WorkFolderPath(const std::string& outputFolder, unsigned long processId, unsigned long serial)
{
    return outputFolder + kWorkMark + std::to_string(processId) + "-" + std::to_string(serial);
}

std::string OutputFolderLeaf(const std::string& outputFolder, LeadByteTest isLead)
{
    const std::size_t separator = FindLastAnsiChar(outputFolder, '\\', isLead);
    return separator == std::string::npos ? outputFolder : outputFolder.substr(separator + 1);
}

bool ParseWorkFolderName(const std::string& name, const std::string& leaf, unsigned long& processId,
                         LeadByteTest isLead)
{
    const std::string prefix = leaf + kWorkMark;
    if (name.size() <= prefix.size() ||
        UpperAsciiLetters(name.substr(0, prefix.size()), isLead) != UpperAsciiLetters(prefix, isLead))
        return false;
    std::size_t at = prefix.size();
    unsigned long pid = 0, serial = 0;
    if (!ReadNumber(name, at, pid) || at >= name.size() || name[at] != '-' || !ReadNumber(name, ++at, serial) ||
        at != name.size())
        return false;
    processId = pid;
    return true;
}
