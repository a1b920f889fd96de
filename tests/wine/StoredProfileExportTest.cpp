#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "res/resource.h"
#include "tests/wine/Fixture.h"

using driver::Tool;
using sandbox::ReadOrEmpty;
using sandbox::Utf16;

namespace {

// A profile folder whose "reg" is the stand-in (Wine has no reg load/unload).
std::string MakeProfile(const std::string& name)
{
    std::string folder = "C:\\users\\" + name;
    sandbox::RemoveTree(folder);
    sandbox::MakeDirs(folder);
    EXPECT_TRUE(CopyFileA(sandbox::StandInExe().c_str(), (folder + "\\reg.exe").c_str(), FALSE));
    return folder;
}

void Select(Tool& tool, const std::string& entry)
{
    auto items = driver::ListItems(tool.Item(IDL_PROFILES));
    auto at = std::find(items.begin(), items.end(), entry);
    ASSERT_NE(at, items.end()) << entry << " is not in the profile list";
    SendMessageW(tool.Item(IDL_PROFILES), LB_SETCURSEL, at - items.begin(), 0);
}

// The argument lists of the stand-in's calls, in order.
std::vector<std::vector<std::string>> Calls(const std::string& profile)
{
    std::vector<std::vector<std::string>> calls;
    std::string log = ReadOrEmpty(profile + "\\reg-calls.log");
    std::size_t at = 0;
    while (at < log.size()) {
        std::size_t end = log.find("\r\n", at);
        std::string line = log.substr(at, end - at);
        at = end == std::string::npos ? log.size() : end + 2;
        if (line.compare(0, 8, "CMDLINE ") == 0)
            calls.emplace_back();
        else if (line.compare(0, 4, "ARG ") == 0 && !calls.empty())
            calls.back().push_back(line.substr(4));
        else if (line.compare(0, 7, "EXISTS ") == 0)
            ADD_FAILURE() << "reg was asked to overwrite " << line.substr(7);
    }
    return calls;
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
    std::string profile = "C:\\users\\" + user;
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
    EXPECT_EQ(Calls(profile), expected);

    for (const char* key : {"Network", "Printers"}) {
        std::string base = std::string(key) == "Network" ? "mappedDrv" : "printers";
        EXPECT_EQ(ReadOrEmpty(out + "\\" + base + ".prt"), StandInExport("HKEY_USERS\\" + user + "\\" + key));
        EXPECT_EQ(ReadOrEmpty(out + "\\" + base + ".reg"), StandInExport(std::string("HKEY_CURRENT_USER\\") + key));
        EXPECT_EQ(ReadOrEmpty(out + "\\" + base + ".prx"), StandInExport(key));
    }
    EXPECT_TRUE(sandbox::Exists(out + "\\InstalledApps.reg"));
}

}  // namespace

TEST(StoredProfileExport, NamesThatCmdWouldMisreadReachRegWhole)
{
    fixture::PrepareProfiles();
    std::vector<std::string> users = {"user1", "bob smith", "a&b", "x(1)"};
    for (const auto& user : users)
        MakeProfile(user);
    Tool tool;
    std::string folder = fixture::StartTool(tool, "sp");
    for (const auto& user : users) {
        Select(tool, user);
        tool.Press(IDB_SELECT_USER);
        ASSERT_TRUE(tool.WaitJob(60000));
        EXPECT_EQ(tool.FindDialog(), nullptr) << driver::Text(tool.FindDialog());
        ExpectStoredExport(user, folder);
    }

    // A second run for the same profile: the same commands again, and reg
    // never finds the file it is to write.
    std::string profile = "C:\\users\\bob smith";
    DeleteFileA((profile + "\\reg-calls.log").c_str());
    Select(tool, "bob smith");
    tool.Press(IDB_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob(60000));
    ExpectStoredExport("bob smith", folder);
    fixture::EndTool(tool);  // its current directory is a profile folder
    for (const auto& user : users)
        sandbox::RemoveTree("C:\\users\\" + user);
}

TEST(StoredProfileExport, ProfileWithoutMappedDrives)
{
    fixture::PrepareProfiles();
    std::string profile = MakeProfile("carol");
    sandbox::WriteBytes(profile + "\\no-network", "");
    Tool tool;
    std::string out = fixture::StartTool(tool, "sp-nodrives") + "\\carol";
    Select(tool, "carol");
    tool.Press(IDB_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob(60000));
    EXPECT_EQ(Calls(profile).size(), 5u);
    EXPECT_FALSE(sandbox::Exists(out + "\\mappedDrv.prt"));
    EXPECT_FALSE(sandbox::Exists(out + "\\mappedDrv.prx"));
    EXPECT_FALSE(sandbox::Exists(out + "\\mappedDrv.reg"));
    EXPECT_EQ(ReadOrEmpty(out + "\\printers.reg"), StandInExport("HKEY_CURRENT_USER\\Printers"));
    fixture::EndTool(tool);
    sandbox::RemoveTree(profile);
}

TEST(StoredProfileExport, NameThatCmdWouldExpandRunsNothing)
{
    fixture::PrepareProfiles();
    std::string profile = MakeProfile("50%");
    Tool tool;
    std::string folder = fixture::StartTool(tool, "sp-percent");
    Select(tool, "50%");
    tool.Press(IDB_SELECT_USER);
    HWND box = tool.WaitDialog("Problem");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(GetWindow(box, GW_OWNER), tool.Main());
    driver::Tool::PressOk(box);
    ASSERT_TRUE(tool.WaitJob(10000));
    EXPECT_FALSE(sandbox::Exists(folder + "\\50%"));
    EXPECT_FALSE(sandbox::Exists(profile + "\\reg-calls.log"));
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
