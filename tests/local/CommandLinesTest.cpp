#include "local/CommandLines.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// reg's parser is the C runtime's: only a blank, a tab, a quote or an empty
// argument needs quotes, and backslashes count only before a quote. Nothing
// else (%, !, &, parentheses) means anything without cmd.
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

TEST(CommandLines, StoredProfileAndCurrentUserLines)
{
    const std::string apps = R"(reg export hklm\software\microsoft\windows\currentversion\uninstall\ )";
    StoredProfileCommands s = BuildStoredProfileCommands("user1", R"(C:\TOOL~1\user1)");
    EXPECT_EQ(s.load, R"(reg load hku\user1 ntuser.dat)");
    EXPECT_EQ(s.printers, R"(reg export hku\user1\Printers C:\TOOL~1\user1\printers.prt)");
    EXPECT_EQ(s.drives, R"(reg export hku\user1\Network C:\TOOL~1\user1\mappedDrv.prt)");
    EXPECT_EQ(s.unload, R"(reg unload hku\user1)");
    EXPECT_EQ(s.apps, apps + R"(C:\TOOL~1\user1\InstalledApps.reg)");
    s = BuildStoredProfileCommands("bob smith", R"(C:\\bob smith)");  // the tool at a drive's root
    EXPECT_EQ(s.load, R"(reg load "hku\bob smith" ntuser.dat)");
    EXPECT_EQ(s.drives, R"(reg export "hku\bob smith\Network" "C:\\bob smith\mappedDrv.prt")");
    EXPECT_EQ(s.unload, R"(reg unload "hku\bob smith")");
    EXPECT_EQ(s.apps, apps + R"("C:\\bob smith\InstalledApps.reg")");

    const CurrentUserCommands c = BuildCurrentUserCommands(R"(C:\My Tools\CurrentUser)");
    EXPECT_EQ(c.apps, apps + R"("C:\My Tools\CurrentUser\InstalledApps.txt")");
    EXPECT_EQ(c.printers, R"(reg export hkcu\Printers "C:\My Tools\CurrentUser\printers.reg")");
    EXPECT_EQ(c.drives, R"(reg export hkcu\Network "C:\My Tools\CurrentUser\mappedDrv.reg")");
}

} // namespace
