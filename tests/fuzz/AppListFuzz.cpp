// The installed-applications list against a plain reading of the export:
// byte per character for an 8-bit export (CR LF folded; 0x1A is a character),
// unit per character for one that starts with the UTF-16LE byte-order mark
// (which reads as the two characters FF FE; an odd last byte is a unit of its
// own). Each line holding "DisplayName" once its zero characters are gone gets
// an LF, loses 14 characters and is written with LF as CR LF.
#include "remote/AppList.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Reading(const std::u16string& text)
{
    std::string out;
    for (std::size_t start = 0, lf = 0; lf != std::u16string::npos; start = lf + 1) {
        lf = text.find(u'\n', start);
        std::u16string line;
        for (std::size_t k = start; k < (lf == std::u16string::npos ? text.size() : lf); ++k)
            line += text[k] ? std::u16string(1, text[k]) : std::u16string();
        if (line.find(u"DisplayName") == std::u16string::npos)
            continue;
        line = (line + u'\n').erase(0, 14);
        for (char16_t c : line)
            out += c == u'\n' ? std::string("\r\n") : c <= 0xFF ? std::string(1, static_cast<char>(c)) : "?";
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    std::u16string text;
    if (size >= 2 && data[0] == 0xFF && data[1] == 0xFE) {
        text = u"\xFF\xFE";
        for (std::size_t i = 2; i + 1 < size; i += 2)
            text += static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (size % 2 != 0)
            text += static_cast<char16_t>(data[size - 1]);
    } else {
        for (std::size_t i = 0; i < size; ++i) {
            if (!(data[i] == '\r' && i + 1 < size && data[i + 1] == '\n'))
                text += static_cast<char16_t>(data[i]);
        }
    }
    if (MakeAppListText(bytes) != Reading(text)) {
        std::fprintf(stderr, "property failed: the same list as the plain reading\n");
        std::abort();  // libFuzzer keeps the input
    }
    return 0;
}
