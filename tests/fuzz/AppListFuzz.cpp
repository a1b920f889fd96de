// The installed-applications list against two readings of the export:
// byte per character through the text-mode rules (CR LF folded, 0x1A ends the
// data), and, for an export that starts with the UTF-16LE byte-order mark, unit
// per character. The two agree while every unit lies in U+0000..U+00FF and none
// is 0x1A; outside that range the unit reading is the one the list follows.
//
// Input: the export's bytes as they are.

#include "remote/AppList.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace {

const std::size_t kNone = std::string::npos;

// Cuts the lines at LF; each holding "DisplayName" once its zero characters
// are gone gets an LF, loses its first 14 characters and is written with LF
// as CR LF. Text is std::string or std::u16string; put writes any other
// character.
template <class Text, class Put>
std::string ListLines(const Text& text, const Text& word, Put put)
{
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', start);
        Text line;
        for (std::size_t k = start; k < (lf == kNone ? text.size() : lf); ++k) {
            if (text[k] != 0)
                line += text[k];
        }
        if (line.find(word) != kNone) {
            line += '\n';
            line.erase(0, 14);
            for (auto c : line) {
                if (c == '\n')
                    out += "\r\n";
                else
                    put(out, c);
            }
        }
        if (lf == kNone)
            return out;
        start = lf + 1;
    }
}

std::string TextModeReading(const std::string& bytes, bool ctrlZEnds)
{
    std::string text;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (ctrlZEnds && bytes[i] == '\x1A')
            break;
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            continue;
        text += bytes[i];
    }
    return ListLines(text, std::string("DisplayName"), [](std::string& out, char c) { out += c; });
}

// The byte-order mark reads as the two characters FF FE; an odd last byte is a
// unit of its own value.
std::u16string WideUnits(const std::string& bytes)
{
    std::u16string units = u"\xFF\xFE";
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                       static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    if (bytes.size() % 2 != 0)
        units += static_cast<char16_t>(static_cast<unsigned char>(bytes.back()));
    return units;
}

std::string UnitReading(const std::u16string& units, const WideUnitToAnsi& toAnsi)
{
    return ListLines(units, std::u16string(u"DisplayName"), [&](std::string& out, char16_t u) {
        if (u <= 0xFF)
            out += static_cast<char>(u);
        else
            out += toAnsi ? toAnsi(u) : std::string("?");
    });
}

// Stands in for a double-byte code page: two bytes in the lead and trail
// ranges, or nothing for a unit it cannot show.
std::string DoubleByteAnsi(char16_t u)
{
    if (u % 7 == 0)
        return std::string();
    return {static_cast<char>(0x81 + (u >> 8) % 0x7C), static_cast<char>(0x40 + (u & 0x3F))};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string list = MakeAppListText(bytes);

    const bool wide = size >= 2 && data[0] == 0xFF && data[1] == 0xFE;
    if (!wide) {
        // The list does not stop at 0x1A; that is the one rule it leaves out.
        FUZZ_CHECK_EQ(list, TextModeReading(bytes, false), "byte export: same list as the text-mode reading");
        return 0;
    }

    const std::u16string units = WideUnits(bytes);
    FUZZ_CHECK_EQ(list, UnitReading(units, WideUnitToAnsi()), "UTF-16LE export: same list as the unit reading");
    FUZZ_CHECK_EQ(MakeAppListText(bytes, DoubleByteAnsi), UnitReading(units, DoubleByteAnsi),
                  "UTF-16LE export: units above U+00FF go through the conversion");

    bool byteRange = true;
    for (std::size_t k = 2; k < units.size(); ++k)
        byteRange = byteRange && units[k] <= 0xFF && units[k] != 0x1A;
    if (byteRange)
        FUZZ_CHECK_EQ(list, TextModeReading(bytes, true), "UTF-16LE export in U+0000..U+00FF: same list as the text-mode reading");
    return 0;
}
