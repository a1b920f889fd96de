#include "remote/RegistryText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/local/Cp932.h"

namespace {

TEST(RegistryText, ValueTextByType)
{
    const struct {
        unsigned long type;
        std::string data;
        std::string text;
    } cases[] = {
        {1, std::string(R"(\\srv\share)") + '\0', R"("\\\\srv\\share")" "\n"},
        {1, std::string("say \"hi\"") + '\0', R"("say \"hi\"")" "\n"},
        {1, "abc", "\"abc\"\n"},  // stored without its NUL
        {1, "", "\"\"\n"},
        {1, std::string("ab\0cd", 5), "hex(1):61,62,00,63,64\n"},  // nothing after a NUL is lost
        {1, std::string("ab\0\0", 4), "hex(1):61,62,00,00\n"},
        {1, std::string("a\r\nb\0", 5), "hex(1):61,0d,0a,62,00\n"},  // a line break keeps its line
        {4, std::string("\x1f\0\0\0", 4), "dword:0000001f\n"},
        {4, "\xff\xff\xff\xff\x01", "dword:ffffffff\n"},
        {4, "\x01\x02", "dword:00000201\n"},  // missing bytes are zero, never read
        {3, "", "hex:\n"},
        {3, "\x01\x02\x0a", "hex:01,02,0a\n"},
        {2, std::string("%A%") + '\0', "hex(2):25,41,25,00\n"},
        {10, "\xab", "hex(a):ab\n"},  // importers read the number as hexadecimal
        {0x12345, "\xff", "hex(12345):ff\n"},
    };
    for (const auto& c : cases) {
        // A vector of exactly the value's bytes, so that ASan sees a read past them.
        const std::vector<unsigned char> data(c.data.begin(), c.data.end());
        EXPECT_EQ(FormatValueText(c.type, data.data(), data.size()), c.text) << c.type << " " << c.text;
    }
    std::string bytes26;
    for (char b = 0; b < 26; ++b)
        bytes26 += b;
    const std::string first = "00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18";
    const auto* data = reinterpret_cast<const unsigned char*>(bytes26.data());
    EXPECT_EQ(HexForm(data, 25), first + "\n");
    EXPECT_EQ(HexForm(data, 26), first + ",\\\n19\n");
}

TEST(RegistryText, NamePartEscapesBackslashesAndQuotes)
{
    EXPECT_EQ(ValueNamePart(""), "@ =");
    EXPECT_EQ(ValueNamePart(R"(\\srv1\a"b)"), R"("\\\\srv1\\a\"b"=)");
    EXPECT_EQ(SectionLine(R"(S-1-5-18\Printers)"), "\n[S-1-5-18\\Printers]\n");
}

// Code page 932: 0x5C is also the second byte of characters such as U+8868
// (0x95 0x5C); only a backslash of its own is doubled.
TEST(RegistryText, DoubleByteCharactersKeepTheirSecondByte)
{
    const LeadByteTest cp932 = Cp932Lead;
    const struct {
        std::string text;
        std::string escaped;
    } cases[] = {
        {"\x95\x5C", "\x95\x5C"},
        {"\x95\x5C\\", "\x95\x5C\\\\"},
        {"a\\\x83\x5C\"b", "a\\\\\x83\x5C\\\"b"},
        {"\xE0\x5C\x5C", "\xE0\x5C\x5C\x5C"},  // the second 0x5C stands alone
        {"\xA5\\", "\xA5\\\\"},             // a single-byte katakana is no lead byte
        {"\x95", "\x95"},                      // a lead byte at the end takes nothing with it
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeRegText(c.text, cp932), c.escaped) << c.text;
        const std::string data = c.text + '\0';
        EXPECT_EQ(FormatValueText(1, reinterpret_cast<const unsigned char*>(data.data()), data.size(), cp932),
                  "\"" + c.escaped + "\"\n");
    }
    EXPECT_EQ(ValueNamePart("\x95\x5C", cp932), "\"\x95\x5C\"=");
    EXPECT_EQ(EscapeRegText("\x95\x5C"), "\x95\\\x5C") << "single-byte code pages double every 0x5C";
}

} // namespace
