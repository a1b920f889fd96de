#pragma once

#include <string>

#include "local/AnsiNames.h"

// The system's ANSI code page, as the writers of export files need it.
// toAnsi converts UTF-16 text character by character and never to a
// look-alike (WideCharToMultiByte with WC_NO_BEST_FIT_CHARS on Windows): a
// character the code page has no form for becomes '?' and sets defaulted.
// Text converts there and back unchanged exactly when nothing defaulted.
struct AnsiCodePage {
    std::string (*toAnsi)(const std::u16string& text, bool& defaulted) = nullptr;
    // The text as the narrow registry calls convert it: a look-alike where
    // the code page has one ("E" for U+011A), else '?' (WideCharToMultiByte
    // without flags).
    std::string (*toAnsiAsNarrowCalls)(const std::u16string& text) = nullptr;
    LeadByteTest isLead = nullptr;
};

// text in the code page; true when every character has its own form there.
// ansi holds the conversion either way, '?' for each character without one.
bool ToAnsiExactly(const std::u16string& text, const AnsiCodePage& codePage, std::string& ansi);

// The UTF-16LE bytes of a string value as 16-bit units; an odd last byte is
// no unit and is left out.
std::u16string UnitsOfBytes(const std::string& bytes);

// UTF-16 units as UTF-16LE bytes.
std::string BytesOfUnits(const std::u16string& units);

// ASCII text as UTF-16 units.
std::u16string AsciiUnits(const std::string& ascii);
