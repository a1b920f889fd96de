#pragma once

#include <string>

#include "local/CodePage.h"

// This machine's ANSI code page (CP_ACP), for names read through the wide
// registry calls.
const AnsiCodePage& SystemCodePage();

// text as the narrow calls and the window show it: '?' for each character
// the code page has no form for, never a look-alike (a folder named after
// "Łódź" must not become "Lodz").
std::string AnsiText(const std::u16string& text);

// Registry names between the wide calls and the pure code, which keeps
// UTF-16 in char16_t (wchar_t is 16-bit on Windows).
std::u16string Utf16Text(const wchar_t* text, std::size_t length);
inline std::u16string Utf16Text(const std::wstring& text)
{
    return Utf16Text(text.data(), text.size());
}
std::wstring WideText(const std::u16string& text);
