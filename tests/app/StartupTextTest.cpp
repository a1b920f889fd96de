#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/StartupText.h"

namespace {
std::string Title(bool ok, const char* name, unsigned long size)
{
    char buffer[255] = {};
    std::memcpy(buffer, name, std::strlen(name));
    return TitleLineText(ok, buffer, sizeof buffer, size);
}
}  // namespace

TEST(TitleLine, DropsTheDollarOfTheComputerAccount)
{
    EXPECT_EQ(Title(true, "CORP\\PC1$", 10), "Movara running on CORP\\PC1");
    EXPECT_EQ(Title(true, "\\VM$", 5), "Movara running on \\VM");  // Wine: empty domain
}

TEST(TitleLine, FailedOrOddSizesGiveThePrefixAndNeverOverread)
{
    EXPECT_EQ(Title(false, "", 255), "Movara running on ");
    EXPECT_EQ(Title(false, "CORP\\PC1$", 10), "Movara running on ");
    EXPECT_EQ(Title(true, "X", 0), "Movara running on ");
    EXPECT_EQ(Title(true, "X", 1), "Movara running on ");
    // A size larger than what was written stops at the terminator.
    EXPECT_EQ(Title(true, "AB", 200), "Movara running on AB");
    // A buffer filled to its end without a terminator is read no further.
    char full[4] = {'A', 'B', 'C', 'D'};
    EXPECT_EQ(TitleLineText(true, full, sizeof full, 1000), "Movara running on ABCD");
}

TEST(ToolFolder, PrefersTheShortFormWhenItFits)
{
    EXPECT_EQ(ChooseToolFolder("C:\\Program Files\\Movara", "C:\\PROGRA~1\\Movara", true, 256), "C:\\PROGRA~1\\Movara");
    EXPECT_EQ(ChooseToolFolder("C:\\", "C:\\", true, 256), "C:\\");
    // No short form (volume without 8.3 names): the long form.
    EXPECT_EQ(ChooseToolFolder("C:\\a b", "", false, 256), "C:\\a b");
}

TEST(ToolFolder, NeverReturnsMoreThanFitsTheBuffer)
{
    std::string longForm = "C:\\" + std::string(200, 'a');
    std::string shortForm = "C:\\" + std::string(253, 'S');  // 256 chars: one too many for 256 with terminator
    EXPECT_EQ(ChooseToolFolder(longForm, shortForm, true, 256), longForm);
    EXPECT_EQ(ChooseToolFolder("C:\\" + std::string(255, 'x'), shortForm, true, 256), "");
    EXPECT_EQ(ChooseToolFolder("C:\\" + std::string(252, 'x'), "", false, 256).size(), 255u);
}
