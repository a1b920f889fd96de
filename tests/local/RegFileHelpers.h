#pragma once

#include <string>

#include "local/RegFileText.h"

// Code page 932's lead bytes.
inline bool Cp932(unsigned char b)
{
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
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
