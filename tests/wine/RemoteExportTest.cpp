#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdlib>

#include "res/resource.h"
#include "tests/wine/Harness.h"

using sandbox::Read;

namespace {

// Wine's HKEY_USERS holds the running user under this key, and its
// HKEY_CURRENT_USER is that key: the local registry stands in for a remote
// machine, which Wine's RegConnectRegistryA accepts by this computer's name.
const char kUserKey[] = "S-1-5-21-0-0-0-1000";
const char kNoSuchPc[] = "\\\\NoSuchPc7";
const char kConnectFailed[] =
    "Problem connecting to remote machine. Please check to make sure the pc name does exist on the network.<owned>";
const char kNotConnected[] = "Please connect to a machine first that has users to export settings from<owned>";
const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

std::string S(const std::string& text)
{
    return text + '\0';
}

void Connect(driver::Tool& tool, const std::string& machine)
{
    tool.TypeMachine(machine);
    tool.Press(IDB_CONNECT_REG);
}

std::string ThisComputer()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    GetComputerNameA(name, &size);
    return std::string("\\\\") + name;
}

// A tree below Printers or Network and the line the writer gives each
// value. Rows come in the walk's order and are created in it, so that Windows
// (creation order) and Wine (alphabetical order) enumerate alike. A row
// without a name makes a key only; "-" marks a key without a section.
struct Row {
    const char* key;
    const char* name;
    DWORD type;
    std::string data;
    const char* line;
};
const Row kTree[] = {
    {"Printers", "", REG_SZ, S(R"(\\srv1\Laser)"), R"(@ ="\\\\srv1\\Laser")"},
    {"Printers\\Connections", nullptr, 0, "", nullptr},
    {"Printers\\Connections\\,,srv1,Laser", "Server", REG_SZ, S(R"(\\srv1)"), R"("Server"="\\\\srv1")"},
    {"Printers\\Connections\\,,srv1,Laser\\Driver", "Name", REG_SZ, S("Laser \"Pro\" 9"), R"("Name"="Laser \"Pro\" 9")"},
    {"-Printers\\Defaults", nullptr, 0, "", nullptr},
    {"Printers\\Settings", R"(\\srv1\a"b)", REG_SZ, S("on"), R"("\\\\srv1\\a\"b"="on")"},
    {"Printers\\Settings", "BigEndian", REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\1", 4), R"("BigEndian"=hex(5):00,00,00,01)"},
    {"Printers\\Settings", "Bin0", REG_BINARY, "", R"("Bin0"=hex:)"},
    {"Printers\\Settings", "Bin26", REG_BINARY, std::string("\0\1\2\3\4\5\6\7\10\11\12\13\14\15\16\17\20\21\22\23\24\25\26\27\30\31", 26),
     "\"Bin26\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,\\\n19"},
    {"Printers\\Settings", "CrLf", REG_SZ, S("a\r\nb"), R"("CrLf"=hex(1):61,0d,0a,62,00)"},
    {"Printers\\Settings", "Dword", REG_DWORD, std::string("\x1f\0\0\0", 4), R"("Dword"=dword:0000001f)"},
    {"Printers\\Settings", "Expand", REG_EXPAND_SZ, S("%SystemRoot%\\x"), R"("Expand"=hex(2):25,53,79,73,74,65,6d,52,6f,6f,74,25,5c,78,00)"},
    {"Printers\\Settings", "InnerNul", REG_SZ, S(std::string("ab\0cd", 5)), R"("InnerNul"=hex(1):61,62,00,63,64,00)"},
    {"Printers\\Settings", "Multi", REG_MULTI_SZ, std::string("a\0b\\c\0\0", 7), R"("Multi"=hex(7):61,00,62,5c,63,00,00)"},
    {"Printers\\Settings", "None", REG_NONE, std::string("\0\xff", 2), R"("None"=hex(0):00,ff)"},
    {"Printers\\Settings", "Qword", REG_QWORD, "\x08\x07\x06\x05\x04\x03\x02\x01", R"("Qword"=hex(b):08,07,06,05,04,03,02,01)"},
    {"Printers\\Settings", "ReqList", REG_RESOURCE_REQUIREMENTS_LIST, "\x0a", R"("ReqList"=hex(a):0a)"},
    {"Printers\\Settings", "Text", REG_SZ, S(R"(C:\Temp\"x")"), R"("Text"="C:\\Temp\\\"x\"")"},
    {"Network", nullptr, 0, "", nullptr},
    {"Network\\Z", "", REG_DWORD, std::string(4, '\0'), "@ =dword:00000000"},
    {"Network\\Z", "RemotePath", REG_SZ, S(R"(\\srv2\home)"), R"("RemotePath"="\\\\srv2\\home")"},
};

// Builds the tree under root and returns the exports the writer should make
// of its Printers and Network keys, each section naming `sectionRoot`.
std::pair<std::string, std::string> MakeTree(HKEY root, const std::string& base, const std::string& sectionRoot)
{
    const std::string prefix = base.empty() ? "" : base + "\\";
    for (const char* top : {"Printers", "Network"})
        SHDeleteKeyA(root, (prefix + top).c_str());
    std::string text[2] = {"REGEDIT4\r\n", "REGEDIT4\r\n"}, lastKey;
    for (const Row& row : kTree) {
        const bool section = row.key[0] != '-';
        const std::string key = row.key + (section ? 0 : 1);
        std::string& out = text[key.compare(0, 7, "Network") == 0];
        sandbox::SetValue(root, prefix + key, row.name, row.type, row.data);
        if (section && key != lastKey)
            out += "\r\n[" + sectionRoot + "\\" + key + "]\r\n";
        lastKey = key;
        for (const char* c = row.line; c && *c; ++c)
            out += *c == '\n' ? std::string("\r\n") : std::string(1, *c);
        if (row.line)
            out += "\r\n";
    }
    return {text[0], text[1]};
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

void Export(driver::Tool& tool, const char* listEntry = nullptr)
{
    if (listEntry)
        tool.Select(IDL_REMOTE_USERS, listEntry);
    tool.Press(IDB_REMOTE_SELECT_USER);
    ASSERT_TRUE(tool.WaitJob());
    EXPECT_EQ(tool.FindDialog(), nullptr) << driver::Text(tool.FindDialog());
}

}  // namespace

// One remote job from connect to import: the exact text of each file, its
// ".reg" copy imported into the importing user and exported again to the
// same text, the applications only when asked for, and a machine lost before
// an export.
TEST(RemoteExport, ExportsImportBackExactly)
{
    const auto expected = MakeTree(HKEY_CURRENT_USER, "", kUserKey);
    SHDeleteKeyA(HKEY_LOCAL_MACHINE, kUninstall);
    sandbox::SetString(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\AppA", "DisplayName", "Sample Viewer 1.0");
    sandbox::SetString(HKEY_LOCAL_MACHINE, std::string(kUninstall) + "\\AppB", "NoDisplay", "x");
    driver::Tool tool;
    const std::string out = sandbox::StartTool(tool, "re-export") + "\\RemoteMachine";
    sandbox::MakeDirs(out);
    sandbox::Write(out + "\\SmallApps.txt", "old");
    tool.Press(IDB_REMOTE_SELECT_USER);
    EXPECT_EQ(tool.Answer("Problem"), kNotConnected);
    Connect(tool, ThisComputer());
    ASSERT_TRUE(tool.WaitJob());
    Export(tool);
    EXPECT_TRUE(IsWindowEnabled(tool.Item(IDB_REMOTE_SELECT_USER)));
    EXPECT_EQ(driver::Text(tool.Item(IDB_REMOTE_SELECT_USER)), "Select User");
    EXPECT_EQ(Read(out + "\\printers.txt"), expected.first);
    EXPECT_EQ(Read(out + "\\drives.txt"), expected.second);
    EXPECT_EQ(Read(out + "\\printers.txt.reg"), Replaced(expected.first, std::string("[") + kUserKey, "[HKEY_CURRENT_USER"));
    EXPECT_EQ(Read(out + "\\SmallApps.txt"), "old");
    for (const char* name : {"Printers", "Network"})
        SHDeleteKeyA(HKEY_CURRENT_USER, name);
    for (const char* name : {"\\printers.txt.reg", "\\drives.txt.reg"})
        EXPECT_EQ(std::system(("reg import \"" + out + name + "\"").c_str()), 0) << name;

    SendMessageA(tool.Item(IDC_GET_APPS), BM_SETCHECK, BST_CHECKED, 0);
    Export(tool);
    EXPECT_EQ(Read(out + "\\printers.txt"), expected.first) << "the import lost or changed something";
    EXPECT_EQ(Read(out + "\\drives.txt"), expected.second);
    EXPECT_EQ(Read(out + "\\apps.txt"), "REGEDIT4\r\n\r\n[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall]"
                                         "\r\n\r\n[SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\AppA]"
                                         "\r\n\"DisplayName\"=\"Sample Viewer 1.0\"\r\n\r\n[SOFTWARE\\Microsoft"
                                         "\\Windows\\CurrentVersion\\Uninstall\\AppB]\r\n\"NoDisplay\"=\"x\"\r\n");
    EXPECT_EQ(Read(out + "\\SmallApps.txt"), "\"Sample Viewer 1.0\"\r\n");

    // The field is read again at each run; a machine that cannot be reached
    // ends the job with one message, and the earlier files stay.
    tool.TypeMachine(kNoSuchPc);
    tool.Press(IDB_REMOTE_SELECT_USER);
    EXPECT_EQ(tool.Answer("Problem locating pc."), kConnectFailed);
    ASSERT_TRUE(tool.WaitJob());
    EXPECT_EQ(tool.FindDialog(), nullptr) << "more than one message";
    EXPECT_EQ(Read(out + "\\printers.txt"), expected.first);
    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);
}

// Keys made under HKEY_USERS stand for further users; only those with
// "Volatile Environment\HOMEPATH" are logged-on users.
TEST(RemoteExport, EveryLoggedOnUserIsListedAndTheSelectedOneExported)
{
    const std::string second = "S-1-5-21-9-9-9-1001", noHome = "S-1-5-21-9-9-9-1002", noUser = "S-1-5-21-9-9-9-1003";
    const auto expected = MakeTree(HKEY_USERS, second, second);
    sandbox::SetString(HKEY_USERS, second + "\\Volatile Environment", "HOMEPATH", "\\users\\zzz");
    sandbox::SetString(HKEY_USERS, noHome + "\\Volatile Environment", "USERNAME", "x");
    sandbox::SetString(HKEY_USERS, noUser + "\\Printers", "", "x");
    driver::Tool tool;
    const std::string out = sandbox::StartTool(tool, "re-users") + "\\RemoteMachine";
    Connect(tool, ThisComputer());
    ASSERT_TRUE(tool.WaitJob());
    const std::vector<std::string> lines = driver::ListItems(tool.Item(IDL_REMOTE_USERS));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "zzz   =-->" + second);
    EXPECT_EQ(lines[0].substr(lines[0].find("   =-->")), std::string("   =-->") + kUserKey);
    EXPECT_EQ(SendMessageW(tool.Item(IDL_REMOTE_USERS), LB_GETCURSEL, 0, 0), 0);

    Export(tool, "zzz");
    EXPECT_EQ(Read(out + "\\drives.txt"), expected.second);
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers");
    EXPECT_EQ(std::system(("reg import \"" + out + "\\printers.txt.reg\"").c_str()), 0);
    Export(tool, "");  // none selected: the first line's user, who has just imported the second's printers
    EXPECT_EQ(Read(out + "\\printers.txt"), Replaced(expected.first, "[" + second, std::string("[") + kUserKey));

    Connect(tool, kNoSuchPc);  // a failed connect after a good one empties the list
    EXPECT_EQ(tool.Answer("Problem locating pc."), kConnectFailed);
    ASSERT_TRUE(tool.WaitJob());
    EXPECT_TRUE(driver::ListItems(tool.Item(IDL_REMOTE_USERS)).empty());
    tool.Kill();
    for (const std::string& key : {second, noHome, noUser})
        SHDeleteKeyA(HKEY_USERS, key.c_str());
}
