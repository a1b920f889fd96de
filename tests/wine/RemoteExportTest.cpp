#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <vector>

#include "res/resource.h"
#include "tests/wine/Fixture.h"

using driver::Text;
using driver::Tool;

namespace {

// Wine's HKEY_USERS holds the running user under this key, and
// HKEY_CURRENT_USER is that key, so the local registry can stand in for a
// remote machine.
const char kUserKey[] = "S-1-5-21-0-0-0-1000";
const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
const char kNoSuchPc[] = "\\\\NoSuchPc7";
const char kConnectFailed[] =
    "Problem connecting to remote machine. Please check to make sure the pc name does exist on the network.";
const char kNotConnected[] = "Please connect to a machine first that has users to export settings from";

std::string Crlf(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
    return out;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}


// Every kind of value the writer knows, the awkward names and data, an empty
// key, a key with subkeys only and one three levels deep. Keys and values are
// made in alphabetical order, so that Windows (creation order) and Wine
// (alphabetical order) enumerate them alike.
void MakeSourceTree()
{
    using namespace sandbox;
    DeleteKeyTree(HKEY_CURRENT_USER, "Printers");
    DeleteKeyTree(HKEY_CURRENT_USER, "Network");

    SetString(HKEY_CURRENT_USER, "Printers", "", R"(\\srv1\Laser)");
    const std::string laser = "Printers\\Connections\\,,srv1,Laser";
    SetString(HKEY_CURRENT_USER, laser, "Provider", "win32spl.dll");
    SetString(HKEY_CURRENT_USER, laser, "Server", R"(\\srv1)");
    SetString(HKEY_CURRENT_USER, laser + "\\Driver", "Name", "Laser \"Pro\" 9");
    CreateKey(HKEY_CURRENT_USER, "Printers\\Defaults");
    const std::string settings = "Printers\\Settings";
    // Wine compares names in lower case, so the backslash comes first.
    SetString(HKEY_CURRENT_USER, settings, R"(\\srv1\Laser)", "on");
    SetValue(HKEY_CURRENT_USER, settings, "BigEndian", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\1", 4));
    SetValue(HKEY_CURRENT_USER, settings, "Bin0", REG_BINARY, "");
    SetValue(HKEY_CURRENT_USER, settings, "Bin1", REG_BINARY, "\x7f");
    std::string bytes26;
    for (char b = 0; b < 26; ++b)
        bytes26 += b;
    SetValue(HKEY_CURRENT_USER, settings, "Bin26", REG_BINARY, bytes26);
    SetValue(HKEY_CURRENT_USER, settings, "CrLf", REG_SZ, std::string("a\r\nb\0", 5));
    SetDword(HKEY_CURRENT_USER, settings, "Dword", 31);
    SetValue(HKEY_CURRENT_USER, settings, "Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15));
    SetValue(HKEY_CURRENT_USER, settings, "FullRes", REG_FULL_RESOURCE_DESCRIPTOR, "\x01\x02");
    SetValue(HKEY_CURRENT_USER, settings, "InnerNul", REG_SZ, std::string("ab\0cd\0", 6));
    SetValue(HKEY_CURRENT_USER, settings, "Link", REG_LINK, std::string("a\0b\0", 4));
    SetValue(HKEY_CURRENT_USER, settings, "Multi", REG_MULTI_SZ, std::string("a\0b\\c\0\0", 7));
    SetValue(HKEY_CURRENT_USER, settings, "None", REG_NONE, std::string("\x00\xff", 2));
    SetValue(HKEY_CURRENT_USER, settings, "Qword", REG_QWORD, "\x08\x07\x06\x05\x04\x03\x02\x01");
    SetValue(HKEY_CURRENT_USER, settings, "ReqList", REG_RESOURCE_REQUIREMENTS_LIST, "\x0a");
    SetValue(HKEY_CURRENT_USER, settings, "ResList", REG_RESOURCE_LIST, "\x08");
    SetString(HKEY_CURRENT_USER, settings, "Text", R"(C:\Temp\"x")");
    SetValue(HKEY_CURRENT_USER, settings, "Unknown", 0x21, "\x05");

    SetDword(HKEY_CURRENT_USER, "Network\\P", "ConnectionType", 1);
    SetString(HKEY_CURRENT_USER, "Network\\P", "ProviderName", "Microsoft Windows Network");
    SetString(HKEY_CURRENT_USER, "Network\\P", "RemotePath", R"(\\srv1\public)");
    SetString(HKEY_CURRENT_USER, "Network\\P", "UserName", "");
    SetDword(HKEY_CURRENT_USER, "Network\\Z", "", 0);
    SetDword(HKEY_CURRENT_USER, "Network\\Z", "ConnectionType", 1);
    SetString(HKEY_CURRENT_USER, "Network\\Z", "RemotePath", R"(\\srv2\home)");
}

// What the writer makes of that tree; {U} stands for the root of the
// section lines.
const char kPrintersText[] = R"(REGEDIT4

[{U}\Printers]
@ ="\\\\srv1\\Laser"

[{U}\Printers\Connections]

[{U}\Printers\Connections\,,srv1,Laser]
"Provider"="win32spl.dll"
"Server"="\\\\srv1"

[{U}\Printers\Connections\,,srv1,Laser\Driver]
"Name"="Laser \"Pro\" 9"

[{U}\Printers\Settings]
"\\\\srv1\\Laser"="on"
"BigEndian"=hex(5):00,00,00,01
"Bin0"=hex:
"Bin1"=hex:7f
"Bin26"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,\
19
"CrLf"=hex(1):61,0d,0a,62,00
"Dword"=dword:0000001f
"Expand"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,78,00
"FullRes"=hex(9):01,02
"InnerNul"=hex(1):61,62,00,63,64,00
"Link"=hex(6):61,00,62,00
"Multi"=hex(7):61,00,62,5c,63,00,00
"None"=hex(0):00,ff
"Qword"=hex(b):08,07,06,05,04,03,02,01
"ReqList"=hex(a):0a
"ResList"=hex(8):08
"Text"="C:\\Temp\\\"x\""
"Unknown"=hex(21):05
)";

const char kDrivesText[] = R"(REGEDIT4

[{U}\Network]

[{U}\Network\P]
"ConnectionType"=dword:00000001
"ProviderName"="Microsoft Windows Network"
"RemotePath"="\\\\srv1\\public"
"UserName"=""

[{U}\Network\Z]
@ =dword:00000000
"ConnectionType"=dword:00000001
"RemotePath"="\\\\srv2\\home"
)";

const char kAppsText[] = R"(REGEDIT4

[SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall]

[SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\AppA]
"DisplayName"="Sample Viewer 1.0"
"UninstallString"="C:\\sv\\uninst.exe"

[SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\AppB]
"DisplayName"="Disk Tool 2"

[SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\AppC]
"NoRemove"=dword:00000001
)";

std::string Export(const char* text, const std::string& root)
{
    return Crlf(Replaced(text, "{U}", root));
}

void MakeUninstallEntries()
{
    sandbox::DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstall);
    sandbox::CreateKey(HKEY_LOCAL_MACHINE, kUninstall);
    const std::string uninstall = kUninstall;
    sandbox::SetString(HKEY_LOCAL_MACHINE, uninstall + "\\AppA", "DisplayName", "Sample Viewer 1.0");
    sandbox::SetString(HKEY_LOCAL_MACHINE, uninstall + "\\AppA", "UninstallString", R"(C:\sv\uninst.exe)");
    sandbox::SetString(HKEY_LOCAL_MACHINE, uninstall + "\\AppB", "DisplayName", "Disk Tool 2");
    sandbox::SetDword(HKEY_LOCAL_MACHINE, uninstall + "\\AppC", "NoRemove", 1);
}

std::vector<std::string> ConnectLocal(Tool& tool)
{
    tool.PressConnect("\\\\" + driver::ComputerName());
    EXPECT_TRUE(tool.WaitJob());
    return driver::ListItems(tool.Item(IDL_REMOTE_USERS));
}

void ExpectSelectUserIsBack(const Tool& tool)
{
    EXPECT_TRUE(IsWindowEnabled(tool.Item(IDB_REMOTE_SELECT_USER)));
    EXPECT_EQ(Text(tool.Item(IDB_REMOTE_SELECT_USER)), "Select User");
}

void ExpectFile(const std::string& path, const std::string& expected)
{
    SCOPED_TRACE(path);
    std::string bytes;
    ASSERT_TRUE(sandbox::ReadBytes(path, bytes));
    EXPECT_EQ(bytes, expected);
}

}  // namespace

TEST(RemoteExport, ConnectListsTheLoggedOnUserAndAFailureEmptiesTheList)
{
    fixture::PrepareProfiles();
    const std::string environment = std::string(kUserKey) + "\\Volatile Environment";
    // Longer than any fixed buffer of 260 in name and data, and enumerated
    // before HOMEPATH under Wine: it must not hide the user.
    const std::string longName(300, 'A');
    sandbox::SetString(HKEY_USERS, environment, longName, std::string(1000, 'x'));

    Tool tool;
    fixture::StartTool(tool, "re-connect");

    tool.Press(IDB_REMOTE_SELECT_USER);
    EXPECT_EQ(fixture::AnswerBox(tool, "Problem"), kNotConnected);
    ASSERT_TRUE(tool.WaitJob());
    ExpectSelectUserIsBack(tool);

    // The home folder is the part of HOMEPATH ("\users\<name>") after its
    // last backslash.
    std::string home;
    {
        HKEY key;
        char data[MAX_PATH] = {};
        DWORD size = sizeof data;
        ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, environment.c_str(), 0, KEY_READ, &key), 0);
        ASSERT_EQ(RegQueryValueExA(key, "HOMEPATH", nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size), 0);
        RegCloseKey(key);
        home = data;
        home = home.substr(home.rfind('\\') + 1);
        ASSERT_FALSE(home.empty());
    }
    const std::vector<std::string> expected = {home + "   =-->" + kUserKey};
    EXPECT_EQ(ConnectLocal(tool), expected);

    tool.PressConnect(kNoSuchPc);
    EXPECT_EQ(fixture::AnswerBox(tool, "Problem locating pc."), kConnectFailed);
    ASSERT_TRUE(tool.WaitJob());
    EXPECT_TRUE(driver::ListItems(tool.Item(IDL_REMOTE_USERS)).empty());

    tool.Press(IDB_REMOTE_SELECT_USER);
    EXPECT_EQ(fixture::AnswerBox(tool, "Problem"), kNotConnected);
    ASSERT_TRUE(tool.WaitJob());
    ExpectSelectUserIsBack(tool);

    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);
    sandbox::DeleteValue(HKEY_USERS, environment, longName);
}

TEST(RemoteExport, SelectUserWritesExportsThatImportBackIntoTheCurrentUser)
{
    fixture::PrepareProfiles();
    MakeSourceTree();
    MakeUninstallEntries();
    const std::string printersBefore = sandbox::RegistrySnapshot(HKEY_CURRENT_USER, "Printers");
    const std::string drivesBefore = sandbox::RegistrySnapshot(HKEY_CURRENT_USER, "Network");

    Tool tool;
    const std::string out = fixture::StartTool(tool, "re-export") + "\\RemoteMachine";
    // An earlier run's applications files, which a run without the box ticked
    // leaves alone.
    ASSERT_TRUE(sandbox::MakeDirs(out));
    for (const char* name : {"apps.txt", "apps.txt.reg", "SmallApps.txt"})
        ASSERT_TRUE(sandbox::WriteBytes(out + "\\" + name, std::string("old ") + name));

    ASSERT_EQ(ConnectLocal(tool).size(), 1u);
    tool.Press(IDB_REMOTE_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob());
    EXPECT_EQ(tool.FindDialog(), nullptr) << Text(tool.FindDialog());
    ExpectSelectUserIsBack(tool);

    ExpectFile(out + "\\printers.txt", Export(kPrintersText, kUserKey));
    ExpectFile(out + "\\printers.txt.reg", Export(kPrintersText, "HKEY_CURRENT_USER"));
    ExpectFile(out + "\\drives.txt", Export(kDrivesText, kUserKey));
    ExpectFile(out + "\\drives.txt.reg", Export(kDrivesText, "HKEY_CURRENT_USER"));
    for (const char* name : {"apps.txt", "apps.txt.reg", "SmallApps.txt"})
        ExpectFile(out + "\\" + name, std::string("old ") + name);

    // The copies recreate the trees in the importing user's hive (the empty
    // key "Defaults" has no section and is not recreated).
    sandbox::DeleteKeyTree(HKEY_CURRENT_USER, "Printers");
    sandbox::DeleteKeyTree(HKEY_CURRENT_USER, "Network");
    ASSERT_TRUE(sandbox::RegistrySnapshot(HKEY_CURRENT_USER, "Printers").empty());
    for (const char* name : {"printers.txt.reg", "drives.txt.reg"})
        EXPECT_EQ(sandbox::RunWait("cmd /C reg import \"" + out + "\\" + name + "\""), 0) << name;
    EXPECT_EQ(sandbox::RegistrySnapshot(HKEY_CURRENT_USER, "Printers"), printersBefore);
    EXPECT_EQ(sandbox::RegistrySnapshot(HKEY_CURRENT_USER, "Network"), drivesBefore);

    SendMessageA(tool.Item(IDC_GET_APPS), BM_SETCHECK, BST_CHECKED, 0);
    tool.Press(IDB_REMOTE_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob());
    ExpectSelectUserIsBack(tool);
    ExpectFile(out + "\\apps.txt", Crlf(kAppsText));
    ExpectFile(out + "\\apps.txt.reg", Crlf(kAppsText));
    ExpectFile(out + "\\SmallApps.txt", "\"Sample Viewer 1.0\"\r\n\"Disk Tool 2\"\r\n");
    ExpectFile(out + "\\printers.txt", Export(kPrintersText, kUserKey));

    // The machine name is read again at each run. A machine that cannot be
    // reached ends the job with one message, and the earlier files stay.
    tool.Focus(IDE_MACHINE_NAME);
    driver::WaitUntil([&] { return Text(tool.Item(IDE_MACHINE_NAME)).empty(); });
    tool.Type(tool.Item(IDE_MACHINE_NAME), kNoSuchPc);
    tool.Press(IDB_REMOTE_SELECT_USER);
    EXPECT_EQ(fixture::AnswerBox(tool, "Problem locating pc."), kConnectFailed);
    ASSERT_TRUE(tool.WaitJob());
    EXPECT_EQ(tool.FindDialog(), nullptr) << "more than one message";
    ExpectFile(out + "\\printers.txt", Export(kPrintersText, kUserKey));
    ExpectFile(out + "\\drives.txt", Export(kDrivesText, kUserKey));
    ExpectFile(out + "\\SmallApps.txt", "\"Sample Viewer 1.0\"\r\n\"Disk Tool 2\"\r\n");

    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);
    sandbox::DeleteKeyTree(HKEY_CURRENT_USER, "Printers");
    sandbox::DeleteKeyTree(HKEY_CURRENT_USER, "Network");
    sandbox::DeleteKeyTree(HKEY_LOCAL_MACHINE, kUninstall);
    sandbox::CreateKey(HKEY_LOCAL_MACHINE, kUninstall);
}

TEST(RemoteExport, EveryLoggedOnUserIsListedAndTheSelectedOneExported)
{
    using namespace sandbox;
    fixture::PrepareProfiles();
    const std::string second = "S-1-5-21-9-9-9-1001";
    SetString(HKEY_USERS, second + "\\Volatile Environment", "HOMEPATH", "\\users\\zzz");
    SetString(HKEY_USERS, second + "\\Printers\\Connections\\,,srv9,Colour", "Server", "\\\\srv9");
    SetString(HKEY_USERS, second + "\\Network\\Q", "RemotePath", "\\\\srv9\\q");
    SetString(HKEY_USERS, "S-1-5-21-9-9-9-1002\\Volatile Environment", "USERNAME", "nohome");
    SetString(HKEY_USERS, "S-1-5-21-9-9-9-1003\\Printers", "", "no user");
    const std::string secondPrinters = RegistrySnapshot(HKEY_USERS, second + "\\Printers");

    Tool tool;
    const std::string out = fixture::StartTool(tool, "re-users") + "\\RemoteMachine";
    const std::vector<std::string> lines = ConnectLocal(tool);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "zzz   =-->" + second);
    EXPECT_EQ(lines[0].substr(lines[0].find("   =-->")), std::string("   =-->") + kUserKey);
    EXPECT_EQ(driver::ListSelection(tool.Item(IDL_REMOTE_USERS)), 0);

    SendMessageW(tool.Item(IDL_REMOTE_USERS), LB_SETCURSEL, 1, 0);
    tool.Press(IDB_REMOTE_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob());
    EXPECT_NE(sandbox::ReadOrEmpty(out + "\\drives.txt").find("[" + second + "\\Network\\Q]"), std::string::npos);
    DeleteKeyTree(HKEY_CURRENT_USER, "Printers");
    EXPECT_EQ(RunWait("cmd /C reg import \"" + out + "\\printers.txt.reg\""), 0);
    EXPECT_EQ(RegistrySnapshot(HKEY_CURRENT_USER, "Printers"), Replaced(secondPrinters, second + "\\", ""));

    // No line selected: the first line's user.
    SendMessageW(tool.Item(IDL_REMOTE_USERS), LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    tool.Press(IDB_REMOTE_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob());
    EXPECT_NE(sandbox::ReadOrEmpty(out + "\\printers.txt").find(std::string("[") + kUserKey + "\\Printers"),
              std::string::npos);
    fixture::EndTool(tool);
    for (const char* key : {"S-1-5-21-9-9-9-1001", "S-1-5-21-9-9-9-1002", "S-1-5-21-9-9-9-1003"})
        DeleteKeyTree(HKEY_USERS, key);
    DeleteKeyTree(HKEY_CURRENT_USER, "Printers");
}
