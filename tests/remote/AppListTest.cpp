#include "remote/AppList.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Units16(const std::u16string& text)
{
    std::string out = "\xFF\xFE";
    for (char16_t u : text)
        out += std::string(1, static_cast<char>(u & 0xFF)) + static_cast<char>(u >> 8);
    return out;
}

// Every line holding "DisplayName" loses 14 characters and ends in CR LF;
// the reg tool's UTF-16 lines keep their CR, which a zero byte follows.
TEST(AppList, ListsTheDisplayNameLines)
{
    const std::u16string lines = u"W\r\n\"DisplayName\"=\"Viewer 1.0\"\r\n\"QuietDisplayName\"=\"Q\"\r\n\"DisplayName\"\r\n"
                                 u"\"Other\"=\"x\"\r\n\"DisplayName\"=\"Last\"";
    EXPECT_EQ(MakeAppListText(Units16(lines)), "\"Viewer 1.0\"\r\r\name\"=\"Q\"\r\r\n\r\n\"Last\"\r\n");
    // In 8-bit text "DisplayName" in quotes is 13 characters and gives nothing.
    EXPECT_EQ(MakeAppListText(std::string(lines.begin(), lines.end())), "\"Viewer 1.0\"\r\name\"=\"Q\"\r\n\"Last\"\r\n");
    // U+011A's low byte is 0x1A, U+0A41's high byte is LF; neither ends or cuts anything.
    const std::string wide = Units16(u"W\r\n\"DisplayName\"=\"A\u011AB\u0A41\"\r\n\"DisplayName\"=\"Z\"\r\n");
    EXPECT_EQ(MakeAppListText(wide), "\"A?B?\"\r\r\n\"Z\"\r\r\n");
    EXPECT_EQ(MakeAppListText(wide, [](char16_t u) { return std::to_string(u); }), "\"A282B2625\"\r\r\n\"Z\"\r\r\n");
    EXPECT_EQ(MakeAppListText("\"DisplayName\"=\"a\x1A\"\r\n\"DisplayName\"=\"b\"\r\n"), "\"a\x1A\"\r\n\"b\"\r\n");
}

} // namespace
