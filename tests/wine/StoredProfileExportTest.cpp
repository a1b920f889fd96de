#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "res/resource.h"
#include "tests/wine/Fixture.h"

using driver::Tool;
using sandbox::ReadOrEmpty;
using sandbox::Utf16;

namespace {

// A profile folder; the tool runs the stand-in in place of the system's reg
// (Wine has no reg load/unload).
std::string MakeProfile(const std::string& name)
{
    std::string folder = "C:\\users\\" + name;
    sandbox::RemoveTree(folder);
    sandbox::MakeDirs(folder);
    sandbox::InstallStandIn();
    sandbox::ClearStandInLog();
    return folder;
}

void Select(Tool& tool, const std::string& entry)
{
    auto items = driver::ListItems(tool.Item(IDL_PROFILES));
    auto at = std::find(items.begin(), items.end(), entry);
    ASSERT_NE(at, items.end()) << entry << " is not in the profile list";
    SendMessageW(tool.Item(IDL_PROFILES), LB_SETCURSEL, at - items.begin(), 0);
}

// What the stand-in writes for a key of a loaded hive, and its rewrites.
std::string StandInExport(const std::string& sectionStart)
{
    return "\xff\xfe" + Utf16("Windows Registry Editor Version 5.00\r\n\r\n[" + sectionStart +
                              "]\r\n\"Device\"=\"\\\\\\\\srv1\\\\Laser\"\r\n\r\n[" + sectionStart +
                              "\\Sub]\r\n\"DisplayName\"=\"Sample Viewer 1.0\"\r\n\r\n");
}

void ExpectStoredExport(const std::string& user, const std::string& toolFolder)
{
    SCOPED_TRACE(user);
    std::string out = toolFolder + "\\" + user;
    const std::string apps = "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\";
    // The exact names reach reg, whatever cmd would make of them unquoted.
    std::vector<std::vector<std::string>> expected = {
        {"load", "hku\\" + user, "ntuser.dat"},
        {"export", "hku\\" + user + "\\Network", out + "\\mappedDrv.prt"},
        {"export", "hku\\" + user + "\\Printers", out + "\\printers.prt"},
        {"unload", "hku\\" + user},
        {"export", apps, out + "\\InstalledApps.reg"},
    };
    EXPECT_EQ(sandbox::StandInCalls(), expected);

    for (const char* key : {"Network", "Printers"}) {
        std::string base = std::string(key) == "Network" ? "mappedDrv" : "printers";
        EXPECT_EQ(ReadOrEmpty(out + "\\" + base + ".prt"), StandInExport("HKEY_USERS\\" + user + "\\" + key));
        EXPECT_EQ(ReadOrEmpty(out + "\\" + base + ".reg"), StandInExport(std::string("HKEY_CURRENT_USER\\") + key));
        EXPECT_EQ(ReadOrEmpty(out + "\\" + base + ".prx"), StandInExport(key));
    }
    EXPECT_TRUE(sandbox::Exists(out + "\\InstalledApps.reg"));
}

}  // namespace

TEST(StoredProfileExport, EveryNameReachesRegWhole)
{
    fixture::PrepareProfiles();
    std::vector<std::string> users = {"user1", "bob smith", "a&b", "x(1)", "50%", "a%windir%b", "hi!"};
    for (const auto& user : users)
        MakeProfile(user);
    Tool tool;
    std::string folder = fixture::StartTool(tool, "sp");
    for (const auto& user : users) {
        sandbox::ClearStandInLog();
        Select(tool, user);
        tool.Press(IDB_SELECT_USER);
        ASSERT_TRUE(tool.WaitJob(60000));
        EXPECT_EQ(tool.FindDialog(), nullptr) << driver::Text(tool.FindDialog());
        ExpectStoredExport(user, folder);
    }

    // A second run for the same profile: the same commands again, and reg
    // never finds the file it is to write.
    sandbox::ClearStandInLog();
    Select(tool, "bob smith");
    tool.Press(IDB_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob(60000));
    ExpectStoredExport("bob smith", folder);
    fixture::EndTool(tool);
    for (const auto& user : users)
        sandbox::RemoveTree("C:\\users\\" + user);
}

TEST(StoredProfileExport, ProfileWithoutMappedDrives)
{
    fixture::PrepareProfiles();
    std::string profile = MakeProfile("carol");
    sandbox::WriteBytes(sandbox::StandInDir() + "no-network", "");
    Tool tool;
    std::string out = fixture::StartTool(tool, "sp-nodrives") + "\\carol";
    Select(tool, "carol");
    tool.Press(IDB_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob(60000));
    EXPECT_EQ(sandbox::StandInCalls().size(), 5u);
    EXPECT_FALSE(sandbox::Exists(out + "\\mappedDrv.prt"));
    EXPECT_FALSE(sandbox::Exists(out + "\\mappedDrv.prx"));
    EXPECT_FALSE(sandbox::Exists(out + "\\mappedDrv.reg"));
    EXPECT_EQ(ReadOrEmpty(out + "\\printers.reg"), StandInExport("HKEY_CURRENT_USER\\Printers"));
    fixture::EndTool(tool);
    sandbox::RemoveTree(profile);
    DeleteFileA((sandbox::StandInDir() + "no-network").c_str());
}

TEST(StoredProfileExport, HiveThatDoesNotLoadIsReportedAndExportsNothing)
{
    fixture::PrepareProfiles();
    std::string profile = MakeProfile("dave");
    sandbox::WriteBytes(sandbox::StandInDir() + "fail-load", "hku\\dave");
    Tool tool;
    std::string out = fixture::StartTool(tool, "sp-noload") + "\\dave";
    sandbox::MakeDirs(out);
    for (const char* name : {"printers.prt", "printers.reg", "printers.prx", "mappedDrv.prt"})
        sandbox::WriteBytes(out + "\\" + name, std::string("old ") + name);
    Select(tool, "dave");
    tool.Press(IDB_SELECT_USER);
    HWND box = tool.WaitDialog("Problem");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), tool.Main());
    EXPECT_NE(driver::Tool::MessageText(box).find("could not be loaded"), std::string::npos)
        << driver::Tool::MessageText(box);
    driver::Tool::PressOk(box);
    ASSERT_TRUE(tool.WaitJob(10000));
    const std::vector<std::vector<std::string>> onlyLoad = {{"load", "hku\\dave", "ntuser.dat"}};
    EXPECT_EQ(sandbox::StandInCalls(), onlyLoad);
    for (const char* name : {"printers.prt", "printers.reg", "printers.prx", "mappedDrv.prt"})
        EXPECT_EQ(ReadOrEmpty(out + "\\" + name), std::string("old ") + name);
    fixture::EndTool(tool);
    DeleteFileA((sandbox::StandInDir() + "fail-load").c_str());
    sandbox::RemoveTree(profile);
}

TEST(StoredProfileExport, PlantedProgramsNeverRun)
{
    fixture::PrepareProfiles();
    std::string profile = MakeProfile("eve");
    Tool tool;
    std::string folder = sandbox::FreshDir("planted") + "\\tool";
    sandbox::MakeDirs(folder);
    ASSERT_TRUE(CopyFileA(sandbox::ToolExe().c_str(), (folder + "\\MovaraM.exe").c_str(), FALSE));
    // Copies of the stand-in log beside themselves when run; the batch file
    // leaves a file of its own.
    for (const std::string& dir : {profile, folder}) {
        for (const char* name : {"\\reg.exe", "\\cmd.exe"})
            ASSERT_TRUE(CopyFileA(sandbox::StandInExe().c_str(), (dir + name).c_str(), FALSE));
    }
    sandbox::WriteBytes(profile + "\\reg.bat", "@echo ran> \"%~dp0bat-ran.txt\"\r\n");
    ASSERT_TRUE(tool.Start(folder + "\\MovaraM.exe", folder));

    Select(tool, "eve");
    tool.Press(IDB_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob(60000));
    Select(tool, "*User = ");
    tool.Press(IDB_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob(60000));
    EXPECT_EQ(tool.FindDialog(), nullptr) << driver::Text(tool.FindDialog());

    for (const std::string& trace : {profile + "\\reg-calls.log", profile + "\\bat-ran.txt", folder + "\\reg-calls.log"})
        EXPECT_FALSE(sandbox::Exists(trace)) << trace << ": a planted program ran";
    const std::string apps = "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\";
    const std::string out = folder + "\\eve", cu = folder + "\\CurrentUser";
    const std::vector<std::vector<std::string>> expected = {
        {"load", "hku\\eve", "ntuser.dat"},
        {"export", "hku\\eve\\Network", out + "\\mappedDrv.prt"},
        {"export", "hku\\eve\\Printers", out + "\\printers.prt"},
        {"unload", "hku\\eve"},
        {"export", apps, out + "\\InstalledApps.reg"},
        {"export", "hkcu\\Network", cu + "\\mappedDrv.reg"},
        {"export", "hkcu\\Printers", cu + "\\printers.reg"},
        {"export", apps, cu + "\\InstalledApps.txt"},
    };
    EXPECT_EQ(sandbox::StandInCalls(), expected);
    fixture::EndTool(tool);
    sandbox::RemoveTree(profile);
}

TEST(StoredProfileExport, EmptiedListRunsNothing)
{
    fixture::PrepareProfiles();
    Tool tool;
    std::string folder = fixture::StartTool(tool, "sp-nosel");
    SendMessageW(tool.Item(IDL_PROFILES), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    tool.Press(IDB_SELECT_USER);
    EXPECT_EQ(fixture::AnswerBox(tool, "Problem"), "Please select a user in the list first");
    ASSERT_TRUE(tool.WaitJob(10000));
    EXPECT_FALSE(sandbox::Exists(folder + "\\CurrentUser"));
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    int count = 0;
    do {
        ++count;
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    EXPECT_EQ(count, 3) << "only ., .. and the tool";
}
