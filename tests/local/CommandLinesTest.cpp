#include "local/CommandLines.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/local/Cp932.h"

namespace {

// reg's parser is the C runtime's: only a blank, a tab, a quote or an empty
// argument needs quotes, and backslashes count only before a quote. Nothing
// else (%, !, &, parentheses) means anything without cmd. The whole lines reach
// the stand-in reg in the end-to-end tests.
TEST(CommandLines, RegArgumentQuotesOnlyWhatRegWouldSplit)
{
    const char* const cases[][2] = {
        {R"(C:\TOOL~1\user1)", R"(C:\TOOL~1\user1)"},
        {"a%windir%b!&(1)", "a%windir%b!&(1)"},
        {"", R"("")"},
        {"bob smith", R"("bob smith")"},
        {"a\tb", "\"a\tb\""},
        {R"(C:\a b\)", R"("C:\a b\\")"},
        {R"(C:\a b\\)", R"("C:\a b\\\\")"},
        {R"(\\srv\x y)", R"("\\srv\x y")"},
        {R"(a\"b)", R"("a\\\"b")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegArgument(c[0]), c[1]) << "[" << c[0] << "]";
}

// A profile named NI, a blank and SO ends in a second byte 0x5C: doubled as a
// backslash, it would escape the closing quote and reg would unload nothing.
TEST(CommandLines, ASecondByte5CIsNoBackslashBeforeTheClosingQuote)
{
    const std::string user = "\x83\x6A \x83\x5C";
    EXPECT_EQ(RegArgument(user, Cp932Lead), "\"" + user + "\"");
    EXPECT_EQ(RegArgument(user), "\"" + user + "\\\"");
    EXPECT_EQ(RegArgument(user + "\\", Cp932Lead), "\"" + user + "\\\\\"");
    const StoredProfileCommands c = BuildStoredProfileCommands(user, "C:\\o", Cp932Lead);
    EXPECT_EQ(c.load, "reg load \"hku\\" + user + "\" ntuser.dat");
    EXPECT_EQ(c.unload, "reg unload \"hku\\" + user + "\"");
}

} // namespace
