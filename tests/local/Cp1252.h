#pragma once

#include <string>

#include "local/CodePage.h"

// Code page 1252 as Windows converts to it. Exactly: a character without a
// byte of its own becomes '?' and is told as defaulted. As the narrow
// registry calls: a few look-alikes ("E" for U+011A, "L" for U+0141), else
// '?' without a word.
namespace cp1252 {

inline int Byte(char16_t c)
{
    static const char16_t kHigh[32] = {0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x8D,   0x017D, 0x8F,
                                       0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == c)
            return 0x80 + i;
    return -1;
}

inline std::string ToAnsi(const std::u16string& text, bool& defaulted)
{
    defaulted = false;
    std::string ansi;
    for (const char16_t c : text) {
        const int b = Byte(c);
        defaulted = defaulted || b < 0;
        ansi += static_cast<char>(b < 0 ? '?' : b);
    }
    return ansi;
}

inline std::string AsNarrowCalls(const std::u16string& text)
{
    std::string ansi;
    for (const char16_t c : text) {
        const int b = Byte(c);
        ansi += static_cast<char>(b >= 0 ? b : c == 0x011A ? 'E' : c == 0x0141 ? 'L' : '?');
    }
    return ansi;
}

inline const AnsiCodePage& CodePage()
{
    static const AnsiCodePage codePage{ToAnsi, AsNarrowCalls, nullptr};
    return codePage;
}

}  // namespace cp1252
