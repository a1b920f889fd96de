#include "remote/AppList.h"

#include <gtest/gtest.h>

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

} // namespace
