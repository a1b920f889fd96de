#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>

#include "res/resource.h"
#include "tests/wine/Fixture.h"

using driver::ListItems;
using driver::Text;
using driver::Tool;
using sandbox::ReadOrEmpty;

namespace {

void Choose(Tool& tool, const std::string& folder)
{
    tool.Press(IDB_BROWSE);
    HWND browser = tool.WaitDialog("Browse for Folder");
    ASSERT_NE(browser, nullptr);
    driver::SendWithText(browser, BFFM_SETSELECTIONA, TRUE, folder);
    PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(browser, IDOK)));
}

}  // namespace

TEST(StoredProfileExport, ProfileSortingBeforeTheCurrentUserIsExportedAsItself)
{
    fixture::PrepareProfiles();
    std::vector<std::string> users = {"#team", "(admin)"};
    for (const auto& user : users) {
        std::string folder = "C:\\users\\" + user;
        sandbox::RemoveTree(folder);
        sandbox::MakeDirs(folder);
    }
    sandbox::InstallStandIn();
    Tool tool;
    std::string toolFolder = fixture::StartTool(tool, "hf-sort");
    auto items = ListItems(tool.Item(IDL_PROFILES));
    int selected = driver::ListSelection(tool.Item(IDL_PROFILES));
    ASSERT_GE(selected, 0);
    EXPECT_EQ(items[selected], "*User = ") << "the running user's entry is selected, wherever it sorts";

    for (const auto& user : users) {
        SCOPED_TRACE(user);
        auto at = std::find(items.begin(), items.end(), user);
        ASSERT_NE(at, items.end());
        SendMessageW(tool.Item(IDL_PROFILES), LB_SETCURSEL, at - items.begin(), 0);
        sandbox::ClearStandInLog();
        tool.Press(IDB_SELECT_USER);
        ASSERT_TRUE(tool.WaitJob(60000));
        std::string log = ReadOrEmpty(sandbox::StandInDir() + "reg-calls.log");
        EXPECT_NE(log.find("ARG hku\\" + user + "\r\n"), std::string::npos) << log;
        EXPECT_TRUE(sandbox::Exists(toolFolder + "\\" + user + "\\printers.reg"));
        EXPECT_FALSE(sandbox::Exists(toolFolder + "\\CurrentUser"));
    }
    fixture::EndTool(tool);
    for (const auto& user : users)
        sandbox::RemoveTree("C:\\users\\" + user);
}

TEST(HostileFiles, LargeProfilesDirectoryAndLongestNames)
{
    fixture::PrepareProfiles();
    std::string dir = sandbox::FreshDir("hf-many");
    sandbox::MakeDirs(dir + "\\All Users");
    for (int i = 0; i < 5000; ++i)
        CreateDirectoryA((dir + "\\p" + std::to_string(10000 + i)).c_str(), nullptr);
    // A name of the longest length a folder name may have.
    std::string longest(255, 'L');
    std::wstring wide = L"\\\\?\\" + std::wstring(dir.begin(), dir.end()) + L"\\" + std::wstring(longest.begin(), longest.end());
    ASSERT_TRUE(CreateDirectoryW(wide.c_str(), nullptr));

    Tool tool;
    fixture::StartTool(tool, "hf-manytool");
    Choose(tool, dir);
    ASSERT_TRUE(tool.WaitJob(60000));
    auto items = ListItems(tool.Item(IDL_PROFILES));
    EXPECT_EQ(items.size(), 5003u);
    EXPECT_NE(std::find(items.begin(), items.end(), longest), items.end()) << "the longest name is listed whole";
    EXPECT_NE(std::find(items.begin(), items.end(), "p14999"), items.end());
    EXPECT_EQ(driver::ListSelection(tool.Item(IDL_PROFILES)), 0);
}

TEST(HostileFiles, ReadOnlyAndLockedOutputsAreReportedAndKept)
{
    fixture::PrepareProfiles();
    sandbox::SetString(HKEY_CURRENT_USER, "Printers\\Connections\\,,srv,P1", "Server", "\\\\srv");
    sandbox::SetString(HKEY_CURRENT_USER, "Network\\K", "RemotePath", "\\\\srv\\k");
    Tool tool;
    std::string out = fixture::StartTool(tool, "hf-readonly") + "\\CurrentUser";
    sandbox::MakeDirs(out);
    // Locked: Wine run as root would let a read-only file be rewritten.
    sandbox::WriteBytes(out + "\\printers.prx", "keep me");
    HANDLE lock = CreateFileA((out + "\\printers.prx").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    sandbox::WriteBytes(out + "\\mappedDrv.reg", "keep me too");
    SetFileAttributesA((out + "\\mappedDrv.reg").c_str(), FILE_ATTRIBUTE_READONLY);

    tool.Press(IDB_SELECT_USER);
    HWND box = tool.WaitDialog("Problem");
    ASSERT_NE(box, nullptr);
    EXPECT_NE(driver::Tool::MessageText(box).find("mappedDrv.reg"), std::string::npos) << driver::Tool::MessageText(box);
    EXPECT_EQ(GetWindow(box, GW_OWNER), tool.Main());
    driver::Tool::PressOk(box);
    EXPECT_EQ(fixture::AnswerBox(tool, "Error"), "open didnt happen");
    ASSERT_TRUE(tool.WaitJob(60000));
    EXPECT_EQ(tool.FindDialog(), nullptr);
    CloseHandle(lock);

    EXPECT_EQ(ReadOrEmpty(out + "\\printers.prx"), "keep me");
    EXPECT_EQ(ReadOrEmpty(out + "\\mappedDrv.reg"), "keep me too");
    EXPECT_NE(ReadOrEmpty(out + "\\printers.reg").find(sandbox::Utf16("[HKEY_CURRENT_USER\\Printers")), std::string::npos);
    EXPECT_TRUE(sandbox::Exists(out + "\\InstalledApp.txt"));
    SetFileAttributesA((out + "\\mappedDrv.reg").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(HostileFiles, LockedRemoteFilesAreReportedAndKept)
{
    fixture::PrepareProfiles();
    sandbox::SetString(HKEY_CURRENT_USER, "Printers\\Connections\\,,srv,P1", "Server", "\\\\srv");
    sandbox::SetString(HKEY_CURRENT_USER, "Network\\K", "RemotePath", "\\\\srv\\k");
    sandbox::SetString(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Z1", "DisplayName", "Zed");
    Tool tool;
    std::string out = fixture::StartTool(tool, "hf-remote") + "\\RemoteMachine";
    sandbox::MakeDirs(out);
    sandbox::WriteBytes(out + "\\printers.txt", "old printers");
    sandbox::WriteBytes(out + "\\SmallApps.txt", "old list");
    HANDLE printers = CreateFileA((out + "\\printers.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    HANDLE list = CreateFileA((out + "\\SmallApps.txt").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(printers, INVALID_HANDLE_VALUE);
    ASSERT_NE(list, INVALID_HANDLE_VALUE);

    tool.PressConnect("\\\\" + driver::ComputerName());
    ASSERT_TRUE(tool.WaitJob(30000));
    SendMessageA(tool.Item(IDC_GET_APPS), BM_SETCHECK, BST_CHECKED, 0);
    tool.Press(IDB_REMOTE_SELECT_USER);

    HWND box = tool.WaitDialog("Registry export");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(driver::Tool::MessageText(box), "Error while creating the file");
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);
    driver::Tool::PressOk(box);
    EXPECT_EQ(fixture::AnswerBox(tool, "Error"), "open didnt happen");
    ASSERT_TRUE(tool.WaitJob(30000));
    CloseHandle(printers);
    CloseHandle(list);

    EXPECT_EQ(ReadOrEmpty(out + "\\printers.txt"), "old printers");
    EXPECT_EQ(ReadOrEmpty(out + "\\SmallApps.txt"), "old list");
    EXPECT_FALSE(sandbox::Exists(out + "\\printers.txt.reg"));
    EXPECT_NE(ReadOrEmpty(out + "\\drives.txt.reg").find("[HKEY_CURRENT_USER\\Network\\K]"), std::string::npos);
    EXPECT_NE(ReadOrEmpty(out + "\\apps.txt").find("\"DisplayName\"=\"Zed\""), std::string::npos);
    EXPECT_EQ(Text(tool.Item(IDB_REMOTE_SELECT_USER)), "Select User");
    EXPECT_TRUE(IsWindowEnabled(tool.Item(IDB_REMOTE_SELECT_USER)));
    fixture::EndTool(tool);
}
