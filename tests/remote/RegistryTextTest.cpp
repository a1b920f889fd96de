#include "remote/RegistryText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<unsigned char> Bytes(const std::string& s)
{
    return std::vector<unsigned char>(s.begin(), s.end());
}

// Each vector holds exactly the value's bytes, so ASan reports any read past
// count (an empty vector passes a null pointer).
std::string Format(unsigned long type, const std::vector<unsigned char>& data)
{
    return FormatValueText(type, data.data(), data.size());
}

TEST(RegistryText, ValueTextByType)
{
    struct Case {
        unsigned long type;
        std::vector<unsigned char> data;
        std::string expected;
    };
    const Case cases[] = {
        {1, Bytes(std::string(R"(\\srv\share)") + '\0'), R"("\\\\srv\\share")" "\n"},
        {1, Bytes(std::string("say \"hi\"") + '\0'), R"("say \"hi\"")" "\n"},
        {1, Bytes("abc"), "\"abc\"\n"},                        // no NUL stored
        {1, Bytes(std::string("ab\0", 3)), "\"ab\"\n"},
        {1, Bytes(std::string("ab\0cd", 5)), "hex(1):61,62,00,63,64\n"},   // nothing after a NUL is lost
        {1, Bytes(std::string("ab\0\0", 4)), "hex(1):61,62,00,00\n"},
        {1, Bytes(std::string("a\r\nb\0", 5)), "hex(1):61,0d,0a,62,00\n"},  // a line break keeps its line
        {1, Bytes("a\nb"), "hex(1):61,0a,62\n"},
        {1, {}, "\"\"\n"},
        {4, {0x1f, 0, 0, 0}, "dword:0000001f\n"},
        {4, {0x78, 0x56, 0x34, 0x12}, "dword:12345678\n"},     // little-endian
        {4, {0xff, 0xff, 0xff, 0xff, 0x01}, "dword:ffffffff\n"}, // first four bytes only
        {4, {0x01, 0x02}, "dword:00000201\n"},                 // missing bytes are zero
        {4, {}, "dword:00000000\n"},
        {3, {0x7f}, "hex:7f\n"},
        {3, {0x01, 0x02, 0x0a}, "hex:01,02,0a\n"},
        {3, {}, "hex:\n"},
        {2, Bytes(std::string("%A%") + '\0'), "hex(2):25,41,25,00\n"},
        {7, {}, "hex(7):\n"},
        {10, {0xab}, "hex(a):ab\n"},                          // the number is hexadecimal
        {0, {0x00}, "hex(0):00\n"},
        {11, {1, 2, 3, 4, 5, 6, 7, 8}, "hex(b):01,02,03,04,05,06,07,08\n"},
        {0x12345, {0xff}, "hex(12345):ff\n"},
        {0xffffffffUL, {0x10}, "hex(ffffffff):10\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("type " + std::to_string(c.type) + ", expected " + c.expected);
        EXPECT_EQ(Format(c.type, c.data), c.expected);
    }
}

TEST(RegistryText, NamePartEscapesBackslashesAndQuotes)
{
    EXPECT_EQ(ValueNamePart(""), "@ =");
    EXPECT_EQ(ValueNamePart("Path"), "\"Path\"=");
    EXPECT_EQ(ValueNamePart(R"(\\srv1\Laser)"), R"("\\\\srv1\\Laser"=)");
    EXPECT_EQ(ValueNamePart(R"(a"b)"), R"("a\"b"=)");
    EXPECT_EQ(ValueNamePart("@"), "\"@\"=");
}

TEST(RegistryText, SectionsJoinIntoExportLines)
{
    const std::string path = std::string(R"(\\srv)") + '\0';
    const std::vector<unsigned char> one = {1, 0, 0, 0};
    const std::vector<unsigned char> zero = {0, 0, 0, 0};

    const std::string section = SectionLine(R"(S-1-5-21-1-2-3-1004\Printers\Connections)") +
                                ValueNamePart("Path") + Format(1, Bytes(path)) +
                                ValueNamePart("Flag") + Format(4, one) +
                                ValueNamePart("") + Format(4, zero);
    EXPECT_EQ(section, "\n"
                       R"([S-1-5-21-1-2-3-1004\Printers\Connections])" "\n"
                       R"("Path"="\\\\srv")" "\n"
                       R"("Flag"=dword:00000001)" "\n"
                       R"(@ =dword:00000000)" "\n");
}

TEST(RegistryText, HexFormBreaksAfterTwentyFiveBytes)
{
    std::vector<unsigned char> data;
    for (int i = 0; i < 26; ++i)
        data.push_back(static_cast<unsigned char>(i));
    const std::string firstLine = "00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18";
    EXPECT_EQ(HexForm(data.data(), 25), firstLine + "\n");
    EXPECT_EQ(HexForm(data.data(), 26), firstLine + ",\\\n19\n");
    EXPECT_EQ(HexForm(nullptr, 0), "\n");
}

} // namespace
