#include "remote/AppList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {

std::string Units16(const std::u16string& text)
{
    std::string out;
    for (char16_t u : text) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    }
    return out;
}

std::string RegExport(const std::u16string& body)
{
    return "\xFF\xFE" + Units16(u"Windows Registry Editor Version 5.00\r\n\r\n" + body);
}

// The list as a byte-per-character text-mode reading makes it: CR LF folded,
// 0x1A ends the data, zero characters removed, the line cut 14 characters in
// after an LF is appended, LF written as CR LF.
std::string LiteralAppList(const std::string& bytes)
{
    std::string text;
    for (std::size_t i = 0; i < bytes.size() && bytes[i] != '\x1A'; ++i) {
        if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n'))
            text += bytes[i];
    }
    std::string out;
    std::size_t start = 0;
    for (;;) {
        const std::size_t lf = text.find('\n', start);
        std::string line = text.substr(start, lf == std::string::npos ? std::string::npos : lf - start);
        line.erase(std::remove(line.begin(), line.end(), '\0'), line.end());
        if (line.find("DisplayName") != std::string::npos) {
            line += '\n';
            line.erase(0, 14);
            for (char c : line)
                out += c == '\n' ? std::string("\r\n") : std::string(1, c);
        }
        if (lf == std::string::npos)
            return out;
        start = lf + 1;
    }
}

const std::u16string kUninstall = u"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\App]\r\n"
                                  u"\"DisplayName\"=\"Sample Viewer 1.0\"\r\n"
                                  u"\"ParentDisplayName\"=\"Suite\"\r\n"
                                  u"\"QuietDisplayName\"=\"Q\"\r\n"
                                  u"\"DisplayName\"=hex(2):53,00,61,00,\\\r\n"
                                  u"  6d,00,00,00\r\n"
                                  u"\"DisplayName\"\r\n"
                                  u"\"DisplayName\"=\"Last\"";

TEST(AppList, ListsTheDisplayNameLines)
{
    const std::string list = "\"Sample Viewer 1.0\"\r\n"
                             "Name\"=\"Suite\"\r\n"
                             "ame\"=\"Q\"\r\n"
                             "hex(2):53,00,61,00,\\\r\n";
    // The reg tool's line ends keep their CR: it is followed by a zero byte, not LF.
    std::string regList = list;
    for (std::size_t at = regList.find("\r\n"); at != std::string::npos; at = regList.find("\r\n", at + 3))
        regList.insert(at, "\r");
    EXPECT_EQ(MakeAppListText(RegExport(kUninstall)), regList + "\r\n" + "\"Last\"\r\n");
    // 8-bit: the bare "DisplayName" in quotes is 13 characters and gives nothing.
    const std::string narrow = "REGEDIT4\r\n\r\n" + std::string(kUninstall.begin(), kUninstall.end());
    EXPECT_EQ(MakeAppListText(narrow), list + "\"Last\"\r\n");
    EXPECT_EQ(MakeAppListText(""), "");
    EXPECT_EQ(MakeAppListText("\xFF\xFE"), "");
}

TEST(AppList, CharactersAboveLatin1DoNotCutTheList)
{
    // U+011A's low byte is 0x1A, U+0A41's high byte is LF.
    const std::string in = RegExport(u"\"DisplayName\"=\"A\u011AB\u0A41\"\r\n\"DisplayName\"=\"Second\"\r\n");
    EXPECT_EQ(MakeAppListText(in), "\"A?B?\"\r\r\n\"Second\"\r\r\n");
    const WideUnitToAnsi toAnsi = [](char16_t u) { return "<" + std::to_string(u) + ">"; };
    EXPECT_EQ(MakeAppListText(in, toAnsi), "\"A<282>B<2625>\"\r\r\n\"Second\"\r\r\n");
    // Nor does a byte 0x1A in an 8-bit export.
    EXPECT_EQ(MakeAppListText("\"DisplayName\"=\"a\x1A\"\r\n\"DisplayName\"=\"b\"\r\n"), "\"a\x1A\"\r\n\"b\"\r\n");
}

// Within U+0001..U+00FF and without 0x1A the result is exactly the
// byte-per-character reading's, for both kinds of export.
TEST(AppList, MatchesTheByteReadingWithinLatin1)
{
    const std::u16string pieces[] = {
        u"\"DisplayName\"=\"", u"DisplayName", u"Display", u"Name", u"\"Sample Viewer 1.0\"", u"\r\n", u"\r", u"\n",
        u"\"", u"=", u"Parent", u"hex(2):41,00,\\", u"[HKEY_LOCAL_MACHINE\\SOFTWARE]", u"\xE9\xFF", u"\x00FE",
    };
    std::mt19937 rng(7411);
    for (int n = 0; n < 6000; ++n) {
        const bool wide = n % 2 == 0;
        std::u16string text;
        const unsigned count = rng() % 20;
        for (unsigned i = 0; i < count; ++i) {
            if (rng() % 6 == 0) {
                char16_t u = static_cast<char16_t>(rng() % 0x100);
                text += u == 0x1A ? u'\0' : u;
            } else {
                text += pieces[rng() % (sizeof pieces / sizeof *pieces)];
            }
        }
        std::string in;
        if (wide) {
            in = "\xFF\xFE" + Units16(text);
            if (rng() % 4 == 0) {
                const char last = static_cast<char>(rng() % 0x100); // odd length
                in += last == '\x1A' ? '\n' : last;
            }
        } else {
            in.assign(text.begin(), text.end());
            if (in.compare(0, 2, "\xFF\xFE") == 0)
                in[0] = 'x';
        }
        SCOPED_TRACE(::testing::PrintToString(in));
        ASSERT_EQ(MakeAppListText(in), LiteralAppList(in));
    }
}

} // namespace
