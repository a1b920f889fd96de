#include "app/StartupText.h"

#include <gtest/gtest.h>

namespace {

// GetComputerObjectNameA's buffer and reported size (with the terminator).
TEST(StartupText, TitleDropsTheDollarAndNeverOverreads)
{
    const char full[4] = {'A', 'B', 'C', 'D'};  // no terminator
    EXPECT_EQ(TitleLineText(true, "CORP\\PC1$", 255, 10), "Movara running on CORP\\PC1");
    EXPECT_EQ(TitleLineText(true, "\\VM$", 255, 5), "Movara running on \\VM");
    EXPECT_EQ(TitleLineText(false, "CORP\\PC1$", 255, 10), "Movara running on ");
    EXPECT_EQ(TitleLineText(true, "X", 255, 1), "Movara running on ");
    EXPECT_EQ(TitleLineText(true, "AB", 255, 200), "Movara running on AB");
    EXPECT_EQ(TitleLineText(true, full, sizeof full, 1000), "Movara running on ABCD");
}

TEST(StartupText, ToolFolderIsTheShortFormWhenItFitsElseTheLongOne)
{
    const std::string longest = "C:\\" + std::string(252, 'x');
    EXPECT_EQ(ChooseToolFolder("C:\\Program Files\\M", "C:\\PROGRA~1\\M", true, 256), "C:\\PROGRA~1\\M");
    EXPECT_EQ(ChooseToolFolder("C:\\a b", "", false, 256), "C:\\a b");
    EXPECT_EQ(ChooseToolFolder(longest, "C:\\" + std::string(253, 's'), true, 256), longest);
    EXPECT_EQ(ChooseToolFolder(longest + "y", "", false, 256), "");
}

} // namespace
