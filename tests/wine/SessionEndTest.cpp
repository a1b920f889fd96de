#include <gtest/gtest.h>

#include "app/CommandLineRun.h"
#include "tests/wine/ConsoleEvent.h"
#include "tests/wine/Harness.h"

// Closing the console while a stored profile of an old disk is exported,
// with the disk's software hive just loaded: before the handler returns (and
// the system ends the process), the program at work is ended and both hives
// are unloaded. This suite runs alone: after the event no program starts in
// its process.
TEST(SessionEnd, ClosingTheConsoleUnloadsEveryHiveBeforeTheProcessEnds)
{
    const std::string system = sandbox::InstallStandIn();
    const std::string dir = sandbox::FreshDir("end"), old = sandbox::FreshDir("end-disk");
    sandbox::MakeDirs(old + "\\erin");
    sandbox::Write(old + "\\erin\\ntuser.dat", "Printers\r\n");
    const std::string software = "C:\\WINNT\\system32\\config\\software";
    sandbox::MakeDirs("C:\\WINNT\\system32\\config");
    sandbox::Write(software, "Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old|DisplayName|Old Disk App\r\n");
    const std::string disk = "Movara-" + std::to_string(GetCurrentProcessId()) + "-SOFTWARE";
    sandbox::Write(system + "hold", "hklm\\" + disk);

    TConsoleEvent close(CTRL_CLOSE_EVENT);
    bool bothLoaded = false, userLeft = true, diskLeft = true;
    close.whenRaised = [&] {
        bothLoaded = sandbox::KeyExists(HKEY_USERS, "erin") && sandbox::KeyExists(HKEY_LOCAL_MACHINE, disk);
    };
    close.whenReturned = [&] {
        userLeft = sandbox::KeyExists(HKEY_USERS, "erin");
        diskLeft = sandbox::KeyExists(HKEY_LOCAL_MACHINE, disk);
    };
    TFleetSeams seams;
    seams.console = close.Calls();
    close.Start();
    (void)RunCommandLine({"/profile", "erin", "/profiles", old, "/out", dir}, seams);
    close.Wait();
    sandbox::RemoveTree("C:\\WINNT");

    EXPECT_EQ(close.returned, FALSE) << "the process must end after the hives are gone";
    EXPECT_TRUE(bothLoaded) << "the event came too early to show anything";
    EXPECT_FALSE(userLeft) << "HKEY_USERS\\erin stayed loaded";
    EXPECT_FALSE(diskLeft) << "HKEY_LOCAL_MACHINE\\" << disk << " stayed loaded";
    const std::string calls = sandbox::StandInCalls();
    EXPECT_NE(calls.find("load|hklm\\" + disk + "|" + software + "\n"), std::string::npos) << calls;
    EXPECT_NE(calls.find("unload|hku\\erin\n"), std::string::npos) << calls;
    EXPECT_NE(calls.find("unload|hklm\\" + disk + "\n"), std::string::npos) << calls;
}
