#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "res/resource.h"
#include "tests/wine/Harness.h"

using sandbox::Read;
using sandbox::Utf16;

namespace {

// What the stand-in writes for a key, its root replaced by root.
std::string StandInExport(const std::string& root)
{
    return "\xff\xfe" + Utf16("Windows Registry Editor Version 5.00\r\n\r\n[" + root + "]\r\n\"a\"=\"b\"\r\n");
}

// A profile folder with a hive file under C:\users.
void MakeProfile(const std::string& user)
{
    sandbox::RemoveTree("C:\\users\\" + user);
    sandbox::MakeDirs("C:\\users\\" + user);
    sandbox::Write("C:\\users\\" + user + "\\ntuser.dat", "hive");
}

// Presses "Select User" for the profile list entry that starts with entry
// ("" for none) and returns the text of the message box it shows, if any.
std::string SelectUser(driver::Tool& tool, const std::string& entry)
{
    tool.Select(IDL_PROFILES, entry);
    return tool.Run(IDB_SELECT_USER);
}

}  // namespace

// This suite runs with the stand-in as the system's reg (Wine has no reg
// load). Every name reaches it exactly, and no reg or cmd planted in a
// profile folder or the tool folder runs.
TEST(StoredProfileExport, EveryNameReachesTheSystemsRegAlone)
{
    const std::string apps = "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\";
    const std::string bob = "C:\\users\\bob smith";
    const std::vector<std::string> users = {"user1", "bob smith", "a&b", "x(1)", "50%", "a%windir%b", "hi!", "(admin)",
                                            "#team", "user1"};
    for (const std::string& user : users)
        MakeProfile(user);
    sandbox::InstallStandIn();
    driver::Tool tool;
    const std::string folder = sandbox::StartTool(tool, "planted");
    for (const std::string& planted : {bob + "\\reg.exe", bob + "\\cmd.exe", folder + "\\reg.exe", folder + "\\cmd.exe"})
        CopyFileA(sandbox::Beside("reg_standin.exe").c_str(), planted.c_str(), FALSE);  // it logs beside itself
    sandbox::Write(bob + "\\reg.bat", "@echo ran> \"%~dp0bat-ran.txt\"\r\n");
    const auto items = driver::ListItems(tool.Item(IDL_PROFILES));
    EXPECT_EQ(items.at(SendMessageW(tool.Item(IDL_PROFILES), LB_GETCURSEL, 0, 0)), "*User = ") << "wherever it sorts";

    for (const std::string& user : users) {
        EXPECT_EQ(SelectUser(tool, user), "") << user;
        const std::string out = folder + "\\" + user, hive = "hku\\" + user;
        EXPECT_EQ(sandbox::StandInCalls(), "load|" + hive + "|ntuser.dat\nexport|" + hive + "\\Network|" + out +
                                               "\\mappedDrv.prt\nexport|" + hive + "\\Printers|" + out +
                                               "\\printers.prt\nunload|" + hive + "\nexport|" + apps + "|" + out +
                                               "\\InstalledApps.reg\n");
        EXPECT_EQ(Read(out + "\\printers.reg"), StandInExport("HKEY_CURRENT_USER\\Printers")) << user;
    }
    EXPECT_EQ(SelectUser(tool, "*User = "), "");
    const std::string cu = folder + "\\CurrentUser";
    EXPECT_EQ(sandbox::StandInCalls(), "export|hkcu\\Network|" + cu + "\\mappedDrv.reg\nexport|hkcu\\Printers|" + cu +
                                           "\\printers.reg\nexport|" + apps + "|" + cu + "\\InstalledApps.txt\n");
    for (const std::string& trace : {bob + "\\reg-calls.log", bob + "\\bat-ran.txt", folder + "\\reg-calls.log"})
        EXPECT_FALSE(sandbox::Exists(trace)) << trace << ": a planted program ran";
}

// A job that cannot do its work says so, runs nothing it should not and
// keeps the files of an earlier run.
TEST(StoredProfileExport, RefusalsAndFailures)
{
    const std::string system = sandbox::InstallStandIn(), other = sandbox::FreshDir("others");
    for (const char* user : {"carol", "dave"})
        MakeProfile(user);
    sandbox::MakeDirs(other + "\\All Users");
    sandbox::MakeDirs(other + "\\ghost");  // no such profile under C:\users
    sandbox::Write(system + "fail-load", "hku\\dave");
    sandbox::Write(system + "no-network", "");
    driver::Tool tool;
    const std::string folder = sandbox::StartTool(tool, "refusals");
    sandbox::MakeDirs(folder + "\\dave");
    sandbox::Write(folder + "\\dave\\printers.reg", "old");

    // Logged on: its hive does not load.
    EXPECT_NE(SelectUser(tool, "dave").find("could not be loaded"), std::string::npos);
    EXPECT_EQ(sandbox::StandInCalls(), "load|hku\\dave|ntuser.dat\n");
    EXPECT_EQ(Read(folder + "\\dave\\printers.reg"), "old");
    // No mapped drives: the rest goes on.
    EXPECT_EQ(SelectUser(tool, "carol"), "");
    EXPECT_NE(sandbox::StandInCalls().find("\nunload|hku\\carol\nexport|"), std::string::npos);
    EXPECT_FALSE(sandbox::Exists(folder + "\\carol\\mappedDrv.reg"));
    EXPECT_EQ(Read(folder + "\\carol\\printers.prx"), StandInExport("Printers"));
    EXPECT_EQ(SelectUser(tool, ""), "Please select a user in the list first<owned>");

    tool.Press(IDB_BROWSE);
    HWND browser = tool.FindDialog("Browse for Folder", 10000);
    driver::SendWithText(browser, BFFM_SETSELECTIONA, TRUE, other);
    PostMessageA(browser, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(browser, IDOK)));
    ASSERT_TRUE(tool.WaitJob());
    EXPECT_NE(SelectUser(tool, "ghost").find("C:\\users\\ghost cannot be opened"), std::string::npos);
    EXPECT_EQ(sandbox::StandInCalls(), "");
    EXPECT_FALSE(sandbox::Exists(folder + "\\CurrentUser"));
}

// The running user through Wine's own reg: the files rewritten without the
// hive, the applications list, and a second run that replaces them but keeps
// the two outputs it cannot replace.
TEST(CurrentUserExport, WritesItsFilesAndKeepsThoseItCannotReplace)
{
    const std::string u = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers");
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, u.c_str());
    sandbox::SetString(HKEY_CURRENT_USER, "Printers\\Connections\\,,srv,Laser", "Note", "[HKEY_CURRENT_USER\\x");
    sandbox::SetString(HKEY_CURRENT_USER, "Network\\H", "RemotePath", "\\\\filesrv\\home");
    sandbox::SetString(HKEY_LOCAL_MACHINE, u + "\\A1", "DisplayName", "Tools \"Pro\" C:\\bin");
    const wchar_t editor[] = L"\x011A" L"ditor";  // its low byte 0x1A once ended the list
    sandbox::SetValue(HKEY_LOCAL_MACHINE, u + "\\A2", "DisplayName", REG_SZ, "");
    HKEY key;
    RegOpenKeyExA(HKEY_LOCAL_MACHINE, (u + "\\A2").c_str(), 0, KEY_SET_VALUE, &key);
    RegSetValueExW(key, L"DisplayName", 0, REG_SZ, reinterpret_cast<const BYTE*>(editor), sizeof editor);
    RegCloseKey(key);
    sandbox::SetString(HKEY_LOCAL_MACHINE, u + "\\A3", "DisplayName", "Zeta");

    driver::Tool tool;
    const std::string out = sandbox::StartTool(tool, "cu") + "\\CurrentUser";
    EXPECT_EQ(SelectUser(tool, "*User = "), "");
    const std::string printers = Read(out + "\\printers.reg"), drives = Read(out + "\\mappedDrv.reg");
    ASSERT_NE(printers.find(Utf16("\r\n[HKEY_CURRENT_USER\\Printers\\Connections\\,,srv,Laser]\r\n")), std::string::npos);
    std::string prx = printers;  // section lines lose the hive; the same text inside data stays
    for (std::size_t at; (at = prx.find(Utf16("\n[HKEY_CURRENT_USER\\"))) != std::string::npos;)
        prx.replace(at, Utf16("\n[HKEY_CURRENT_USER\\").size(), Utf16("\n["));
    EXPECT_EQ(Read(out + "\\printers.prx"), prx);
    const std::string list = Read(out + "\\InstalledApp.txt");
    for (const char* line : {"\"Tools \\\"Pro\\\" C:\\\\bin\"\r\r\n", "ditor\"\r\r\n", "\"Zeta\"\r\r\n"})
        EXPECT_NE(list.find(line), std::string::npos) << line << "\nnot in:\n" << list;

    HANDLE lock = CreateFileA((out + "\\printers.prx").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileAttributesA((out + "\\mappedDrv.reg").c_str(), FILE_ATTRIBUTE_READONLY);
    tool.Press(IDB_SELECT_USER);
    EXPECT_NE(tool.Answer("Problem").find("mappedDrv.reg cannot be replaced"), std::string::npos);
    EXPECT_EQ(tool.Answer("Error"), "open didnt happen<owned>");
    ASSERT_TRUE(tool.WaitJob()) << "the export did not end";
    CloseHandle(lock);
    SetFileAttributesA((out + "\\mappedDrv.reg").c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(Read(out + "\\printers.prx"), prx);
    EXPECT_EQ(Read(out + "\\mappedDrv.reg"), drives);
    EXPECT_EQ(Read(out + "\\InstalledApp.txt"), list) << "the list was appended to, not replaced";
    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);
}
