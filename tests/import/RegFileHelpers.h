#pragma once

#include <string>

#include "import/RegFileText.h"
#include "tests/local/Cp932.h"


// One unit per byte: ASCII, or Latin-1 as code page 1252 widens it, near enough.
inline std::u16string Latin1(const std::string& bytes)
{
    std::u16string units;
    for (const char c : bytes)
        units += static_cast<char16_t>(static_cast<unsigned char>(c));
    return units;
}

// A UTF-16LE file with its byte-order mark.
inline std::string Utf16File(const std::u16string& text)
{
    std::string bytes = "\xff\xfe";
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

// The items' kinds, one letter each: Header, Blank, Section, Deletion of a
// key, Value, value Removal, Unparsable.
inline std::string Kinds(const RegFile& file)
{
    std::string kinds;
    for (const RegItem& item : file.items)
        kinds += "HBSDVRU"[static_cast<int>(item.kind)];
    return kinds;
}
