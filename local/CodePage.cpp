#include "local/CodePage.h"

bool ToAnsiExactly(const std::u16string& text, const AnsiCodePage& codePage, std::string& ansi)
{
    // ASCII is the same in every ANSI code page: most names and values need
    // no conversion at all.
    bool ascii = true;
    for (const char16_t unit : text)
        ascii = ascii && unit < 0x80;
    if (ascii) {
        ansi.assign(text.begin(), text.end());
        return true;
    }
    bool defaulted = false;
    ansi = codePage.toAnsi(text, defaulted);
    return !defaulted;
}

std::u16string UnitsOfBytes(const std::string& bytes)
{
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i)
        units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                         static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return units;
}

std::string BytesOfUnits(const std::u16string& units)
{
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (const char16_t unit : units) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    }
    return bytes;
}

std::u16string AsciiUnits(const std::string& ascii)
{
    return std::u16string(ascii.begin(), ascii.end());
}
