#include "local/CommandLines.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kApps[] = R"(reg export hklm\software\microsoft\windows\currentversion\uninstall\ )";

// reg's parser is the C runtime's: only a blank, a tab, a quote or an empty
// argument needs quotes, and backslashes count only before a quote. Nothing
// else (%, !, &, parentheses) means anything without cmd.
TEST(CommandLines, RegArgumentQuotesOnlyWhatRegWouldSplit)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {R"(C:\TOOL~1\user1)", R"(C:\TOOL~1\user1)"},
        {"50%", "50%"},
        {"a%windir%b", "a%windir%b"},
        {"hi!", "hi!"},
        {"a&b", "a&b"},
        {"x(1)", "x(1)"},
        {"", R"("")"},
        {"bob smith", R"("bob smith")"},
        {"a\tb", "\"a\tb\""},
        {R"(C:\a b\)", R"("C:\a b\\")"},
        {R"(C:\a b\\)", R"("C:\a b\\\\")"},
        {R"(\\srv\x y)", R"("\\srv\x y")"},
        {R"(say "hi")", R"("say \"hi\"")"},
        {R"(a\"b)", R"("a\\\"b")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RegArgument(c.in), c.out) << "[" << c.in << "]";
}

TEST(CommandLines, StoredProfileLines)
{
    const struct {
        const char* user;
        const char* out;
        const char* load;
        const char* printers;
        const char* drives;
        const char* unload;
        const char* apps;
    } cases[] = {
        {"user1", R"(C:\TOOL~1\user1)", R"(reg load hku\user1 ntuser.dat)",
         R"(reg export hku\user1\Printers C:\TOOL~1\user1\printers.prt)",
         R"(reg export hku\user1\Network C:\TOOL~1\user1\mappedDrv.prt)", R"(reg unload hku\user1)",
         R"(C:\TOOL~1\user1\InstalledApps.reg)"},
        {"bob smith", R"(C:\\bob smith)", R"(reg load "hku\bob smith" ntuser.dat)",
         R"(reg export "hku\bob smith\Printers" "C:\\bob smith\printers.prt")",
         R"(reg export "hku\bob smith\Network" "C:\\bob smith\mappedDrv.prt")", R"(reg unload "hku\bob smith")",
         R"("C:\\bob smith\InstalledApps.reg")"},
        {"a%windir%b", R"(C:\T\a%windir%b)", R"(reg load hku\a%windir%b ntuser.dat)",
         R"(reg export hku\a%windir%b\Printers C:\T\a%windir%b\printers.prt)",
         R"(reg export hku\a%windir%b\Network C:\T\a%windir%b\mappedDrv.prt)", R"(reg unload hku\a%windir%b)",
         R"(C:\T\a%windir%b\InstalledApps.reg)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.user);
        const StoredProfileCommands s = BuildStoredProfileCommands(c.user, c.out);
        EXPECT_EQ(s.load, c.load);
        EXPECT_EQ(s.printers, c.printers);
        EXPECT_EQ(s.drives, c.drives);
        EXPECT_EQ(s.unload, c.unload);
        EXPECT_EQ(s.apps, kApps + std::string(c.apps));
    }
}

TEST(CommandLines, CurrentUserLines)
{
    const CurrentUserCommands c = BuildCurrentUserCommands(R"(C:\My Tools\CurrentUser)");
    EXPECT_EQ(c.apps, kApps + std::string(R"("C:\My Tools\CurrentUser\InstalledApps.txt")"));
    EXPECT_EQ(c.printers, R"(reg export hkcu\Printers "C:\My Tools\CurrentUser\printers.reg")");
    EXPECT_EQ(c.drives, R"(reg export hkcu\Network "C:\My Tools\CurrentUser\mappedDrv.reg")");
}

} // namespace
