#include "local/AnsiNames.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/local/Cp932.h"

namespace {

// "C:\SO": a folder whose last byte is the second byte of a character.
const std::string kSo = "\x83\x5C";

TEST(AnsiNames, JoinPathAddsTheSeparatorUnlessTheFolderEndsInOne)
{
    const struct {
        std::string folder, cp932, singleByte;  // the folder joined with "a"
    } cases[] = {
        {"C:\\out", "C:\\out\\a", "C:\\out\\a"},
        {"C:\\", "C:\\a", "C:\\a"},
        {"C:\\" + kSo, "C:\\" + kSo + "\\a", "C:\\" + kSo + "a"},
        {"C:\\" + kSo + "\\", "C:\\" + kSo + "\\a", "C:\\" + kSo + "\\a"},
        {"C:\\\x95", "C:\\\x95\\a", "C:\\\x95\\a"},  // a lead byte at the end stands alone
        {"\xA5\\", "\xA5\\a", "\xA5\\a"},            // a single-byte katakana is no lead byte
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JoinPath(c.folder, "a", Cp932Lead), c.cp932) << c.folder;
        EXPECT_EQ(JoinPath(c.folder, "a"), c.singleByte) << c.folder;
    }
}

TEST(AnsiNames, ParentFolderStopsAtADriveAServerOrTheStart)
{
    const struct {
        std::string path, cp932, singleByte;
    } cases[] = {
        {"C:\\out\\a", "C:\\out", "C:\\out"},
        {"C:\\out", "", ""},
        {"\\\\srv\\share\\a", "\\\\srv\\share", "\\\\srv\\share"},
        {"\\\\srv\\share", "\\\\srv", "\\\\srv"},
        {"\\\\srv", "", ""},
        {"\\out", "", ""},
        {"out", "", ""},
        // A parent whose name ends in a second byte 0x5C is still made.
        {"C:\\" + kSo + "\\a", "C:\\" + kSo, ""},
        {"C:\\a\\" + kSo, "C:\\a", "C:\\a\\\x83"},
        {kSo + "\\a", kSo, ""},
        {"C:\\" + kSo, "", "C:\\\x83"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParentFolder(c.path, Cp932Lead), c.cp932) << c.path;
        EXPECT_EQ(ParentFolder(c.path), c.singleByte) << c.path;
    }
}

TEST(AnsiNames, FindAndUpperCaseSeeCharactersNotBytes)
{
    const std::string s("\x83\0\\", 3);  // a lead byte before a NUL takes nothing with it
    EXPECT_EQ(FindLastAnsiChar(s, '\0', Cp932Lead), 1u);
    EXPECT_EQ(FindLastAnsiChar(s, '\\', Cp932Lead), 2u);
    EXPECT_EQ(FindLastAnsiChar("\x83\\", '\\', Cp932Lead), std::string::npos);
    EXPECT_EQ(FindAnsiChar(kSo + "\\" + kSo + "\\", '\\', Cp932Lead), 2u);
    EXPECT_EQ(FindAnsiChar(kSo + "\\", '\\'), 1u);
    EXPECT_EQ(UpperAsciiLetters("a\x83j\x83", Cp932Lead), "A\x83j\x83");
}

} // namespace
