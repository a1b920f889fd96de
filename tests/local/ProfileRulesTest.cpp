#include <gtest/gtest.h>

#include "local/ProfileRules.h"

TEST(ProfileEntries, DotEntriesAndHiddenOnesAreNeverListed)
{
    const unsigned long directory = 0x10, hidden = 0x2, file = 0x20;
    EXPECT_FALSE(IsListedProfileEntry(".", directory));
    EXPECT_FALSE(IsListedProfileEntry("..", directory));
    EXPECT_FALSE(IsListedProfileEntry("Default User", directory | hidden));
    EXPECT_FALSE(IsListedProfileEntry("ntuser.ini", file | hidden));
    EXPECT_TRUE(IsListedProfileEntry("All Users", directory));
    EXPECT_TRUE(IsListedProfileEntry("notes.txt", file));
    EXPECT_TRUE(IsListedProfileEntry("...", directory));
    EXPECT_TRUE(IsListedProfileEntry(".hiddenish", directory));
}

TEST(ProfileEntries, CurrentUserEntry)
{
    EXPECT_EQ(CurrentUserEntry(""), "*User = ");
    EXPECT_EQ(CurrentUserEntry("Ann Smith"), "*User = Ann Smith");
}
