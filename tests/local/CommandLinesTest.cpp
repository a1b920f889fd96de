#include "local/CommandLines.h"

#include <gtest/gtest.h>

#include "tests/local/CmdLineModel.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

using cmdmodel::Args;

std::string CmdRuns(const std::string& line)
{
    std::string command;
    if (!cmdmodel::CmdRuns(line, command))
        ADD_FAILURE() << "not a cmd /C line: " << line;
    return command;
}

using cmdmodel::OperatorOutsideQuotes;
using cmdmodel::SplitArguments;

void ExpectRegGets(const std::string& line, const Args& expected)
{
    SCOPED_TRACE(line);
    const std::string command = CmdRuns(line);
    EXPECT_FALSE(OperatorOutsideQuotes(command)) << command;
    EXPECT_EQ(SplitArguments(command), expected) << command;
}

const char kUninstall[] = R"(hklm\software\microsoft\windows\currentversion\uninstall\)";

// What reg must receive, whatever the names hold.
void ExpectStoredProfileArguments(const std::string& user, const std::string& out)
{
    SCOPED_TRACE("user " + user + ", out " + out);
    const StoredProfileCommands c = BuildStoredProfileCommands(user, out);
    const std::string hive = "hku\\" + user;
    ExpectRegGets(c.load, {"reg", "load", hive, "ntuser.dat"});
    ExpectRegGets(c.printers, {"reg", "export", hive + "\\Printers", out + "\\printers.prt"});
    ExpectRegGets(c.drives, {"reg", "export", hive + "\\Network", out + "\\mappedDrv.prt"});
    ExpectRegGets(c.unload, {"reg", "unload", hive});
    ExpectRegGets(c.apps, {"reg", "export", kUninstall, out + "\\InstalledApps.reg"});
}

void ExpectCurrentUserArguments(const std::string& out)
{
    SCOPED_TRACE("out " + out);
    const CurrentUserCommands c = BuildCurrentUserCommands(out);
    ExpectRegGets(c.apps, {"reg", "export", kUninstall, out + "\\InstalledApps.txt"});
    ExpectRegGets(c.printers, {"reg", "export", R"(hkcu\Printers)", out + "\\printers.reg"});
    ExpectRegGets(c.drives, {"reg", "export", R"(hkcu\Network)", out + "\\mappedDrv.reg"});
}

TEST(CommandLines, OrdinaryNamesGiveTheFixedTexts)
{
    const StoredProfileCommands s = BuildStoredProfileCommands("user1", R"(C:\TOOL~1\user1)");
    EXPECT_EQ(s.load, R"(cmd /C "reg load hku\user1 ntuser.dat")");
    EXPECT_EQ(s.printers, R"(cmd /C "reg export hku\user1\Printers C:\TOOL~1\user1\printers.prt")");
    EXPECT_EQ(s.drives, R"(cmd /C "reg export hku\user1\Network C:\TOOL~1\user1\mappedDrv.prt")");
    EXPECT_EQ(s.unload, R"(cmd /C "reg unload hku\user1")");
    EXPECT_EQ(s.apps, R"(cmd /C "reg export hklm\software\microsoft\windows\currentversion\uninstall\ C:\TOOL~1\user1\InstalledApps.reg)");
    ExpectStoredProfileArguments("user1", R"(C:\TOOL~1\user1)");

    const CurrentUserCommands c = BuildCurrentUserCommands(R"(C:\TOOL~1\CurrentUser)");
    EXPECT_EQ(c.apps, R"(cmd /C "reg export hklm\software\microsoft\windows\currentversion\uninstall\ C:\TOOL~1\CurrentUser\InstalledApps.txt)");
    EXPECT_EQ(c.printers, R"(cmd /C reg export hkcu\Printers C:\TOOL~1\CurrentUser\printers.reg)");
    EXPECT_EQ(c.drives, R"(cmd /C reg export hkcu\Network C:\TOOL~1\CurrentUser\mappedDrv.reg)");
    ExpectCurrentUserArguments(R"(C:\TOOL~1\CurrentUser)");
}

TEST(CommandLines, NamesThatCmdWouldMisreadAreQuoted)
{
    struct Case {
        std::string user;
        std::string load, printers, drives, unload, apps;
    };
    const Case cases[] = {
        {"bob smith",
         R"~(cmd /C "reg load "hku\bob smith" ntuser.dat")~",
         R"~(cmd /C "reg export "hku\bob smith\Printers" "C:\TOOL~1\bob smith\printers.prt"")~",
         R"~(cmd /C "reg export "hku\bob smith\Network" "C:\TOOL~1\bob smith\mappedDrv.prt"")~",
         R"~(cmd /C "reg unload "hku\bob smith"")~",
         R"~(cmd /C "reg export hklm\software\microsoft\windows\currentversion\uninstall\ "C:\TOOL~1\bob smith\InstalledApps.reg"")~"},
        {"a&b",
         R"~(cmd /C "reg load "hku\a&b" ntuser.dat")~",
         R"~(cmd /C "reg export "hku\a&b\Printers" "C:\TOOL~1\a&b\printers.prt"")~",
         R"~(cmd /C "reg export "hku\a&b\Network" "C:\TOOL~1\a&b\mappedDrv.prt"")~",
         R"~(cmd /C "reg unload "hku\a&b"")~",
         R"~(cmd /C "reg export hklm\software\microsoft\windows\currentversion\uninstall\ "C:\TOOL~1\a&b\InstalledApps.reg"")~"},
        {"x(1)",
         R"~(cmd /C "reg load "hku\x(1)" ntuser.dat")~",
         R"~(cmd /C "reg export "hku\x(1)\Printers" "C:\TOOL~1\x(1)\printers.prt"")~",
         R"~(cmd /C "reg export "hku\x(1)\Network" "C:\TOOL~1\x(1)\mappedDrv.prt"")~",
         R"~(cmd /C "reg unload "hku\x(1)"")~",
         R"~(cmd /C "reg export hklm\software\microsoft\windows\currentversion\uninstall\ "C:\TOOL~1\x(1)\InstalledApps.reg"")~"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.user);
        const std::string out = "C:\\TOOL~1\\" + c.user;
        const StoredProfileCommands s = BuildStoredProfileCommands(c.user, out);
        EXPECT_EQ(s.load, c.load);
        EXPECT_EQ(s.printers, c.printers);
        EXPECT_EQ(s.drives, c.drives);
        EXPECT_EQ(s.unload, c.unload);
        EXPECT_EQ(s.apps, c.apps);
        ExpectStoredProfileArguments(c.user, out);
    }

    // A tool folder kept in its long form when the volume has no short names.
    const CurrentUserCommands c = BuildCurrentUserCommands(R"(C:\My Tools\CurrentUser)");
    EXPECT_EQ(c.apps, R"(cmd /C "reg export hklm\software\microsoft\windows\currentversion\uninstall\ "C:\My Tools\CurrentUser\InstalledApps.txt"")");
    EXPECT_EQ(c.printers, R"(cmd /C reg export hkcu\Printers "C:\My Tools\CurrentUser\printers.reg")");
    EXPECT_EQ(c.drives, R"(cmd /C reg export hkcu\Network "C:\My Tools\CurrentUser\mappedDrv.reg")");
    ExpectCurrentUserArguments(R"(C:\My Tools\CurrentUser)");
    ExpectCurrentUserArguments(R"(C:\a&b (x)\CurrentUser)");
    ExpectStoredProfileArguments("p|q<r>s^t\tu", "C:\\TOOL~1\\p|q<r>s^t\tu");
}

TEST(CommandLines, DriveRootToolFolder)
{
    // The tool folder "C:\" already ends in a backslash, so two stand in a row.
    const CurrentUserCommands c = BuildCurrentUserCommands(R"(C:\\CurrentUser)");
    EXPECT_EQ(c.printers, R"(cmd /C reg export hkcu\Printers C:\\CurrentUser\printers.reg)");
    ExpectCurrentUserArguments(R"(C:\\CurrentUser)");
    ExpectStoredProfileArguments("user1", R"(C:\\user1)");
    ExpectStoredProfileArguments("bob smith", R"(C:\\bob smith)");
}

TEST(CommandLines, QuotedArgumentReachesRegWhole)
{
    const std::string arguments[] = {
        "plain", "", "a b", "a\tb", R"(C:\a b\)", R"(C:\a b\\)", R"(\\srv\x y)", "a^b", "(x)", "a)b",
    };
    for (const std::string& a : arguments) {
        SCOPED_TRACE(a);
        const std::string command = "reg " + CmdArgument(a);
        EXPECT_FALSE(OperatorOutsideQuotes(command));
        EXPECT_EQ(SplitArguments(command), Args({"reg", a}));
    }
    EXPECT_EQ(CmdArgument(R"(C:\TOOL~1\user1)"), R"(C:\TOOL~1\user1)");

    EXPECT_TRUE(HasCmdExpansionChar("100%"));
    EXPECT_TRUE(HasCmdExpansionChar("hi!"));
    EXPECT_FALSE(HasCmdExpansionChar("a&b (x)^"));
}

} // namespace
