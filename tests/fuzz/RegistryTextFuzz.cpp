// The value text of the export writer, read back the way an importer reads it.
//
// Input: the value type as four little-endian bytes (missing ones are zero),
// then the data bytes; the data doubles as a value name.

#include "remote/RegistryText.h"
#include "tests/fuzz/FuzzCheck.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

namespace {

bool IsLowerHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// A quoted string with backslash escapes from text[at] on; the text after
// the closing quote goes to rest.
bool ReadQuoted(const std::string& text, std::size_t at, std::string& value, std::string& rest)
{
    if (at >= text.size() || text[at] != '"')
        return false;
    value.clear();
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            rest = text.substr(i + 1);
            return true;
        }
        if (text[i] == '\\' && ++i == text.size())
            return false;
        value += text[i];
    }
    return false;
}

// The hex form's bytes, checking its layout: 25 bytes on the first line, 24 on
// every other, each line but the last ending in ",\", the whole ending in LF.
void CheckHexForm(const std::string& form, const unsigned char* data, std::size_t count)
{
    if (count == 0) {
        FUZZ_CHECK(form == "\n", "no data gives a bare line end");
        return;
    }
    FUZZ_CHECK(!form.empty() && form.back() == '\n', "the hex form ends with LF");
    std::string bytes;
    std::size_t lineStart = 0;
    for (std::size_t line = 0;; ++line) {
        const std::size_t lf = form.find('\n', lineStart);
        const std::string text = form.substr(lineStart, lf - lineStart);
        const bool last = lf + 1 == form.size();
        if (!last) {
            FUZZ_CHECK(text.size() >= 2 && text.compare(text.size() - 2, 2, ",\\") == 0,
                       "every line but the last ends with a comma and a backslash");
        }
        const std::string body = last ? text : text.substr(0, text.size() - 2);
        // Every byte as "xx," once the last line gets the comma it lacks.
        const std::string items = body + ",";
        FUZZ_CHECK(items.size() % 3 == 0, "two hex digits and a comma per byte");
        const std::size_t onLine = items.size() / 3;
        for (std::size_t k = 0; k < onLine; ++k) {
            const char* item = items.c_str() + 3 * k;
            FUZZ_CHECK(IsLowerHex(item[0]) && IsLowerHex(item[1]) && item[2] == ',', "lowercase hex byte");
            bytes += static_cast<char>(std::strtoul(std::string(item, 2).c_str(), nullptr, 16));
        }
        if (line == 0)
            FUZZ_CHECK(last ? onLine <= 25 : onLine == 25, "the first line carries up to 25 bytes");
        else
            FUZZ_CHECK(last ? onLine >= 1 && onLine <= 24 : onLine == 24, "a continuation line carries 24 bytes");
        if (last)
            break;
        lineStart = lf + 1;
    }
    FUZZ_CHECK_EQ(bytes, std::string(reinterpret_cast<const char*>(data), count),
                  "the hex form reads back as the data, byte count included");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size)
{
    std::uint32_t type32 = 0;
    for (std::size_t i = 0; i < 4 && i < size; ++i)
        type32 |= static_cast<std::uint32_t>(input[i]) << (8 * i);
    const unsigned long type = type32;
    const std::size_t count = size > 4 ? size - 4 : 0;
    // Exactly count bytes, so that AddressSanitizer sees any read past them.
    std::unique_ptr<unsigned char[]> data(new unsigned char[count]);
    if (count > 0)
        std::memcpy(data.get(), input + 4, count);
    const std::string raw(reinterpret_cast<const char*>(data.get()), count);

    const std::string text = FormatValueText(type, data.get(), count);
    FUZZ_CHECK(!text.empty() && text.back() == '\n', "the value text ends with LF");

    if (type == 1 && text.compare(0, 7, "hex(1):") == 0) {
        const std::string::size_type nul = raw.find('\0');
        FUZZ_CHECK(raw.find_first_of("\r\n") < nul || (nul != std::string::npos && nul + 1 < raw.size()),
                   "only a string a quoted one cannot carry is written in hex");
        CheckHexForm(text.substr(7), data.get(), count);
    } else if (type == 1) {
        std::string value, rest;
        FUZZ_CHECK(ReadQuoted(text, 0, value, rest), "a string value reads as one quoted string");
        FUZZ_CHECK(rest == "\n", "nothing but the line end follows the string");
        FUZZ_CHECK_EQ(value, raw.substr(0, raw.find('\0')), "the string reads back as the data up to its first NUL");
    } else if (type == 4) {
        FUZZ_CHECK(text.size() == 15 && text.compare(0, 6, "dword:") == 0, "dword: and eight digits");
        for (std::size_t i = 6; i < 14; ++i)
            FUZZ_CHECK(IsLowerHex(text[i]), "the dword is eight lowercase hex digits");
        std::uint32_t expected = 0;
        for (std::size_t i = 0; i < 4 && i < count; ++i)
            expected |= static_cast<std::uint32_t>(data[i]) << (8 * i);
        FUZZ_CHECK(std::strtoul(text.substr(6, 8).c_str(), nullptr, 16) == expected,
                   "the dword is the first four data bytes, little-endian, missing ones zero");
    } else {
        std::size_t colon = 0;
        if (type == 3) {
            FUZZ_CHECK(text.compare(0, 4, "hex:") == 0, "a binary value is hex:");
            colon = 3;
        } else {
            colon = text.find("):");
            FUZZ_CHECK(text.compare(0, 4, "hex(") == 0 && colon != std::string::npos && colon > 4,
                       "any other type is hex(type):");
            const std::string number = text.substr(4, colon - 4);
            for (char c : number)
                FUZZ_CHECK(IsLowerHex(c), "the type is lowercase hex");
            FUZZ_CHECK(number.size() == 1 || number[0] != '0', "the type has no leading zeros");
            FUZZ_CHECK(std::strtoul(number.c_str(), nullptr, 16) == type, "the type reads back");
            ++colon;
        }
        CheckHexForm(text.substr(colon + 1), data.get(), count);
    }

    const std::string name = ValueNamePart(raw);
    if (raw.empty()) {
        FUZZ_CHECK(name == "@ =", "the default value's name part is @ =");
    } else {
        std::string value, rest;
        FUZZ_CHECK(ReadQuoted(name, 0, value, rest) && rest == "=", "a name part is one quoted string and =");
        FUZZ_CHECK_EQ(value, raw, "the name reads back whole");
    }
    return 0;
}
