#include "remote/RegistryText.h"

#include <cstdint>
#include <cstdio>

namespace {

const unsigned long kRegSz = 1;
const unsigned long kRegBinary = 3;
const unsigned long kRegDword = 4;

// Bytes per continuation line; the first line carries one more.
const std::size_t kHexBytesPerLine = 24;

} // namespace

std::string EscapeRegText(const std::string& s, LeadByteTest isLead)
{
    std::string out;
    out.reserve(s.size() + s.size() / 8 + 1);
    ForEachAnsiChar(s, isLead, [&](std::size_t i, std::size_t length) {
        const char c = s[i];
        if (length == 1 && (c == '\\' || c == '"'))
            out += '\\';
        out.append(s, i, length);
        return true;
    });
    return out;
}

std::string ValueNamePart(const std::string& name, LeadByteTest isLead)
{
    if (name.empty())
        return "@ =";
    return "\"" + EscapeRegText(name, isLead) + "\"=";
}

std::string SectionLine(const std::string& keyPath)
{
    return "\n[" + keyPath + "]\n";
}

std::string HexForm(const unsigned char* data, std::size_t count)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(count * 3 + count / kHexBytesPerLine * 2 + 1);
    for (std::size_t i = 0; i < count; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 0x0f];
        if (i + 1 == count)
            break;
        out += ',';
        if (i > 0 && i % kHexBytesPerLine == 0)
            out += "\\\n";
    }
    out += '\n';
    return out;
}

std::string FormatValueText(unsigned long type, const unsigned char* data, std::size_t count, LeadByteTest isLead)
{
    if (type == kRegSz) {
        // The data need not be terminated: a value written without its NUL
        // still ends at count.
        std::size_t length = 0;
        while (length < count && data[length] != 0)
            ++length;
        const std::string text(reinterpret_cast<const char*>(data), length);
        // A quoted string cannot carry a line break, nor anything after its
        // terminator; such data keeps every byte in the hex form.
        const bool quotable = text.find_first_of("\r\n") == std::string::npos && count - length <= 1;
        if (quotable)
            return "\"" + EscapeRegText(text, isLead) + "\"\n";
    }
    if (type == kRegDword) {
        // Short data counts its missing high bytes as zero rather than
        // reading past the value.
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < 4 && i < count; ++i)
            value |= static_cast<std::uint32_t>(data[i]) << (8 * i);
        char text[32];
        std::snprintf(text, sizeof text, "dword:%08lx\n", static_cast<unsigned long>(value));
        return text;
    }
    if (type == kRegBinary)
        return "hex:" + HexForm(data, count);

    // Every other type, unknown ones and strings that need it included, keeps
    // its bytes under its own number; importers read that number as
    // hexadecimal.
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "hex(%lx):", type);
    return prefix + HexForm(data, count);
}
