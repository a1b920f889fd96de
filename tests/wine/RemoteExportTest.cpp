#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdlib>
#include <cwchar>

#include "local/CodePage.h"
#include "remote/RemoteExport.h"
#include "res/resource.h"
#include "tests/wine/Harness.h"

using sandbox::Read;
using sandbox::Replaced;

namespace {

// Wine's HKEY_USERS holds the running user under this key, and its
// HKEY_CURRENT_USER is that key: the local registry stands in for a remote
// machine, which Wine's RegConnectRegistryA accepts by this computer's name.
const char kUserKey[] = "S-1-5-21-0-0-0-1000";
// The specified text, then why: a name that does not resolve is not asked at all.
const char kConnectFailed[] =
    "Problem connecting to remote machine. Please check to make sure the pc name does exist on the network.\n\n"
    "The name is not known on the network. (error N)<owned>";

// Every kind of value and name the writer must carry through an import: a
// default value, quotes and backslashes, a hex continuation line, strings that
// need hex(1), ANSI hex(2)/hex(7), type 0 and a short DWORD; a key with
// subkeys alone and an empty one. Made in the walk's order, so that Windows
// (creation order) and Wine (alphabetical order) enumerate alike.
const struct {
    const char* key;
    const char* name;  // null: the key alone
    DWORD type;
    std::string data;
} kTree[] = {
    {"Printers", "", REG_SZ, std::string(R"(\srv1\Laser)") + '\0'},
    {"Printers\\Connections\\,,srv1,Laser\\Driver", "Name", REG_SZ, std::string("L \"Pro\"\0", 8)},
    {"Printers\\Defaults", nullptr, 0, ""},
    {"Printers\\Settings", R"(\srv1\a"b)", REG_DWORD, std::string("\x1f\0\0", 3)},
    {"Printers\\Settings", "Bin26", REG_BINARY, std::string(26, '\x7f')},
    {"Printers\\Settings", "CrLf", REG_SZ, std::string("a\r\nb\0", 5)},
    {"Printers\\Settings", "Expand", REG_EXPAND_SZ, std::string("%SystemRoot%\\x\0", 15)},
    {"Printers\\Settings", "InnerNul", REG_SZ, std::string("ab\0cd\0", 6)},
    {"Printers\\Settings", "Multi", REG_MULTI_SZ, std::string("a\0b\\c\0\0", 7)},
    {"Printers\\Settings", "None", REG_NONE, std::string("\0\xff", 2)},
    {"Network\\Z", "RemotePath", REG_SZ, std::string(R"(C:\"x\)") + '\0'},
};

void MakeTree(HKEY root, const std::string& base)
{
    for (const char* top : {"\\Printers", "\\Network"})
        SHDeleteKeyA(root, (base + top).c_str());
    for (const auto& row : kTree)
        sandbox::SetValue(root, base + "\\" + row.key, row.name, row.type, row.data);
}

// Presses a button of the remote group, after typing the machine or picking
// the line of a user when one is given, and answers the message it shows.
std::string Press(driver::Tool& tool, int button, const std::string& machine = "", const char* user = nullptr)
{
    if (!machine.empty())
        tool.TypeMachine(machine);
    if (user)
        tool.Select(IDL_REMOTE_USERS, user);
    const std::string box = tool.Run(button);
    EXPECT_EQ(tool.FindDialog(), nullptr) << "a second message: " << driver::Text(tool.FindDialog());
    EXPECT_TRUE(IsWindowEnabled(tool.Item(IDB_REMOTE_SELECT_USER)));
    EXPECT_EQ(driver::Text(tool.Item(IDB_REMOTE_SELECT_USER)), "Select User");
    return box;
}

}  // namespace

// One remote job from connect to import: the writer's files, their ".reg"
// copies imported into the importing user and exported again to the same
// text, the applications only when asked for, and a machine lost before an
// export.
TEST(RemoteExport, ExportsImportBackExactly)
{
    MakeTree(HKEY_USERS, kUserKey);
    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    sandbox::MakeUninstallEntries(HKEY_USERS, kUserKey);
    driver::Tool tool;
    const std::string out = sandbox::StartTool(tool, "re-export") + "\\RemoteMachine";
    sandbox::MakeDirs(out);
    sandbox::Write(out + "\\SmallApps.txt", "old");
    EXPECT_EQ(Press(tool, IDB_REMOTE_SELECT_USER),
              "Please connect to a machine first that has users to export settings from<owned>");
    EXPECT_EQ(Press(tool, IDB_CONNECT_REG, driver::ThisComputer()), "");
    EXPECT_EQ(Press(tool, IDB_REMOTE_SELECT_USER), "");
    const std::string printers = Read(out + "\\printers.txt"), drives = Read(out + "\\drives.txt");
    const std::string section = std::string("\r\n\r\n[") + kUserKey;
    const std::string start = "REGEDIT4" + section + "\\Printers]\r\n";
    EXPECT_EQ(printers.substr(0, start.size()), start);
    EXPECT_NE(printers.find(section + "\\Printers\\Connections]\r\n\r\n[" + kUserKey + "\\Printers\\Connections\\,,srv1"),
              std::string::npos) << "a key with subkeys alone has its section line";
    EXPECT_EQ(printers.find("Defaults"), std::string::npos) << "an empty key has none";
    EXPECT_EQ(Read(out + "\\printers.txt.reg"), Replaced(printers, section, "\r\n\r\n[HKEY_CURRENT_USER"));
    EXPECT_FALSE(sandbox::Exists(out + "\\SmallApps.txt")) << "an earlier run's list left beside this user's files";
    const std::string source = Read(out + "\\Source.txt");
    EXPECT_NE(source.find(std::string(") logged on at ") + driver::ThisComputer() + "\r\n"), std::string::npos) << source;
    EXPECT_NE(source.find("as the user who moves: printers.txt.reg, drives.txt.reg\r\n"), std::string::npos) << source;
    for (const char* name : {"Printers", "Network"})
        SHDeleteKeyA(HKEY_CURRENT_USER, name);
    for (const char* name : {"\\printers.txt.reg", "\\drives.txt.reg"})
        EXPECT_EQ(std::system(("reg import \"" + out + name + "\"").c_str()), 0) << name;

    SendMessageA(tool.Item(IDC_GET_APPS), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_EQ(Press(tool, IDB_REMOTE_SELECT_USER), "");
    EXPECT_EQ(Read(out + "\\printers.txt"), printers) << "the import lost or changed something";
    EXPECT_EQ(Read(out + "\\drives.txt"), drives);
    const std::string apps = Read(out + "\\apps.txt");
    EXPECT_EQ(apps.find("REGEDIT4\r\n\r\n[" + uninstall + "]\r\n\r\n["), 0u) << apps;
    EXPECT_NE(apps.find("\r\n\r\n[" + uninstall + "\\Viewer]\r\n\"DisplayName\"=\"Sample Viewer\"\r\n"), std::string::npos);
    EXPECT_NE(Read(out + "\\SmallApps.txt").find("\r\n\"Sample Viewer\"\r\n"), std::string::npos);
    EXPECT_EQ(Read(out + "\\Applications.txt"), sandbox::ExpectedApplications());

    // The users listed are those of the machine "Connect reg" asked,
    // whatever the field shows now.
    SendMessageA(tool.Item(IDC_GET_APPS), BM_SETCHECK, BST_UNCHECKED, 0);
    EXPECT_EQ(Press(tool, IDB_REMOTE_SELECT_USER, "\\\\NoSuchPc7"), "");
    EXPECT_EQ(Read(out + "\\printers.txt"), printers);
    EXPECT_FALSE(sandbox::Exists(out + "\\apps.txt"));
    EXPECT_FALSE(sandbox::Exists(out + "\\Applications.txt"));
}

// Keys made under HKEY_USERS stand for further users; only those with
// "Volatile Environment\HOMEPATH" are logged-on users.
TEST(RemoteExport, EveryLoggedOnUserIsListedAndTheSelectedOneExported)
{
    const std::string second = "S-1-5-21-9-9-9-1001", noHome = "S-1-5-21-9-9-9-1002", noUser = "S-1-5-21-9-9-9-1003";
    MakeTree(HKEY_USERS, second);
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers");
    sandbox::SetString(HKEY_USERS, second + "\\Volatile Environment", "HOMEPATH", "\\users\\zzz");
    sandbox::SetString(HKEY_USERS, noHome + "\\Volatile Environment", "USERNAME", "x");
    sandbox::SetString(HKEY_USERS, noUser + "\\Printers", "", "x");
    driver::Tool tool;
    const std::string out = sandbox::StartTool(tool, "re-users") + "\\RemoteMachine";
    EXPECT_EQ(Press(tool, IDB_CONNECT_REG, driver::ThisComputer()), "");
    const std::vector<std::string> lines = driver::ListItems(tool.Item(IDL_REMOTE_USERS));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "zzz   =-->" + second);
    EXPECT_EQ(lines[0].substr(lines[0].find("   =-->")), std::string("   =-->") + kUserKey);
    EXPECT_EQ(SendMessageW(tool.Item(IDL_REMOTE_USERS), LB_GETCURSEL, 0, 0), 0);

    EXPECT_EQ(Press(tool, IDB_REMOTE_SELECT_USER, "", "zzz"), "");
    const std::string printers = Read(out + "\\printers.txt");
    EXPECT_NE(printers.find("\r\n[" + second + "\\Printers\\Settings]\r\n"), std::string::npos);
    EXPECT_NE(Read(out + "\\drives.txt").find("\r\n[" + second + "\\Network\\Z]\r\n"), std::string::npos);
    EXPECT_EQ(std::system(("reg import \"" + out + "\\printers.txt.reg\"").c_str()), 0);
    // None selected: the first line's user, who has just imported the second's printers.
    EXPECT_EQ(Press(tool, IDB_REMOTE_SELECT_USER, "", ""), "");
    EXPECT_EQ(Read(out + "\\printers.txt"), Replaced(printers, "[" + second, std::string("[") + kUserKey));

    // Logged off since "Connect reg": told, and the earlier files stay as they were.
    const std::string drives = Read(out + "\\drives.txt"), source = Read(out + "\\Source.txt");
    SHDeleteKeyA(HKEY_USERS, second.c_str());
    EXPECT_EQ(Press(tool, IDB_REMOTE_SELECT_USER, "", "zzz"),
              "The user zzz (" + second + ") is no longer logged on at " + driver::ThisComputer() +
                  ". Connect again to see who is.\n\nThe earlier files in " + out + " were kept.<owned>");
    EXPECT_EQ(Read(out + "\\printers.txt"), Replaced(printers, "[" + second, std::string("[") + kUserKey));
    EXPECT_EQ(Read(out + "\\drives.txt"), drives);
    EXPECT_EQ(Read(out + "\\Source.txt"), source);

    EXPECT_EQ(sandbox::ErrorNumbersHidden(Press(tool, IDB_CONNECT_REG, "\\\\NoSuchPc7")), kConnectFailed);
    EXPECT_TRUE(driver::ListItems(tool.Item(IDL_REMOTE_USERS)).empty()) << "a failed connect empties the list";
    for (const std::string& key : {second, noHome, noUser})
        SHDeleteKeyA(HKEY_USERS, key.c_str());
}

namespace {

// A user whose printers, shares and servers are named in Cyrillic, CJK and
// Polish; the home folder holds Polish letters that code page 1252 lacks but
// would take look-alikes for ("Lodz").
const wchar_t kUnicodeUser[] = L"S-1-5-21-7-7-7-1001";
// Two users whose keys and home folders differ only in letters that code
// page 1252 lacks: their lines in the window read alike.
const wchar_t* const kLookAlikes[] = {L"S-1-5-21-7-7-7-\x0414", L"S-1-5-21-7-7-7-\x0416"};
const char kLookAlikeLine[] = "????   =-->S-1-5-21-7-7-7-?";

// A Version 5.00 file's bytes for text whose lines end in "\n".
std::string UnicodeFile(const std::u16string& text)
{
    std::u16string lines;
    for (const char16_t c : text)
        lines += c == u'\n' ? std::u16string(u"\r\n") : std::u16string(1, c);
    return "\xFF\xFE" + BytesOfUnits(lines);
}

std::string Narrow(const wchar_t* text)
{
    return std::string(text, text + wcslen(text));
}

void ForgetUsers()
{
    for (const wchar_t* key : {kUnicodeUser, kLookAlikes[0], kLookAlikes[1]})
        SHDeleteKeyW(HKEY_USERS, key);
    for (const char* key : {"Printers", "Network"})
        SHDeleteKeyA(HKEY_CURRENT_USER, key);
    SHDeleteValueA(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device");
}

}  // namespace

// Names in scripts the code page lacks reach the files exactly: the window
// exports them in the Unicode form, .reg copies included, and picks users
// whose lines read alike by their place; the command line names the user's
// folder by the key and renames a server in the Unicode files; a user with
// Western names still gets today's REGEDIT4 bytes.
TEST(RemoteExport, NamesInEveryScriptReachTheFiles)
{
    ASSERT_EQ(GetACP(), 1252u) << "the tests expect code page 1252: Wine takes it from the Unix locale "
                                  "(scripts/lib/common.sh sets LC_ALL=C.UTF-8)";
    ForgetUsers();
    const std::wstring user = kUnicodeUser;
    sandbox::SetWide(HKEY_USERS, user + L"\\Volatile Environment", L"HOMEPATH", L"\\users\\\x0141\x00f3\x0064\x017a");
    // Made in the walk's order, so that Windows and Wine enumerate alike.
    const std::wstring connections = user + L"\\Printers\\Connections\\";
    sandbox::SetWide(HKEY_USERS, connections + L",,srv1,\x041f\x0440\x0438\x043d\x0442\x0435\x0440", L"Server", L"\\\\srv1");
    sandbox::SetWide(HKEY_USERS, connections + L",,\x0421\x0435\x0440\x0432\x0435\x0440,\x6253\x5370\x673a", L"Server",
                     L"\\\\\x0421\x0435\x0440\x0432\x0435\x0440");
    sandbox::SetWide(HKEY_USERS, user + L"\\Printers\\Settings", L"List",
                     std::wstring(L"\x5171\x6709\0\x0141\x00f3\x0064\x017a\0", 8), REG_MULTI_SZ);
    sandbox::SetWide(HKEY_USERS, user + L"\\Printers\\Settings", L"Path", L"%A%\\\x041e\x0431\x0449\x0438\x0439",
                     REG_EXPAND_SZ);
    sandbox::SetWide(HKEY_USERS, user + L"\\Network\\P", L"RemotePath", L"\\\\srv1\\\x041e\x0431\x0449\x0438\x0439");
    sandbox::SetWide(HKEY_USERS, user + L"\\Network\\Q", L"RemotePath",
                     L"\\\\\x0421\x0435\x0440\x0432\x0435\x0440\\\x5171\x6709");
    // Letters 1252 has look-alikes for, and nothing else: DefaultPrinter.reg
    // is Unicode only if no look-alike passes for a fit.
    sandbox::SetWide(HKEY_USERS, user + L"\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", L"Device",
                     L"\\\\srv1\\\x0141\x00f3\x0064\x017a,winspool,Ne00:");
    const wchar_t* const lookAlikeHomes[] = {L"\\users\\\x0418\x0432\x0430\x043d", L"\\users\\\x041f\x0451\x0442\x0440"};
    for (int i = 0; i < 2; ++i) {
        const std::wstring key = kLookAlikes[i];
        sandbox::SetWide(HKEY_USERS, key + L"\\Volatile Environment", L"HOMEPATH", lookAlikeHomes[i]);
        sandbox::SetWide(HKEY_USERS, key + L"\\Printers\\Connections\\,,srv2,Laser " + std::to_wstring(i), L"Server",
                         L"\\\\srv2");
    }

    const std::u16string section = u"\n[S-1-5-21-7-7-7-1001\\Printers";
    const std::u16string printers =
        u"Windows Registry Editor Version 5.00\n" + section + u"]\n" + section + u"\\Connections]\n" + section +
        u"\\Connections\\,,srv1,\u041f\u0440\u0438\u043d\u0442\u0435\u0440]\n\"Server\"=\"\\\\\\\\srv1\"\n" + section +
        u"\\Connections\\,,\u0421\u0435\u0440\u0432\u0435\u0440,\u6253\u5370\u673a]\n"
        u"\"Server\"=\"\\\\\\\\\u0421\u0435\u0440\u0432\u0435\u0440\"\n" + section + u"\\Settings]\n"
        u"\"List\"=hex(7):71,51,09,67,00,00,41,01,f3,00,64,00,7a,01,00,00,00,00\n"
        u"\"Path\"=hex(2):25,00,41,00,25,00,5c,00,1e,04,31,04,49,04,38,04,39,04,00,00\n";
    const auto toCurrentUser = [](std::u16string text, const std::u16string& key) {
        for (std::size_t at = 0; (at = text.find(u"[" + key, at)) != std::u16string::npos;)
            text.replace(at, key.size() + 1, u"[HKEY_CURRENT_USER");
        return text;
    };

    driver::Tool tool;
    const std::string out = sandbox::StartTool(tool, "re-unicode") + "\\RemoteMachine";
    EXPECT_EQ(Press(tool, IDB_CONNECT_REG, driver::ThisComputer()), "");
    const std::vector<std::string> lines = driver::ListItems(tool.Item(IDL_REMOTE_USERS));
    EXPECT_NE(std::find(lines.begin(), lines.end(), "?\xF3" "d?   =-->" + Narrow(kUnicodeUser)), lines.end());
    EXPECT_EQ(Press(tool, IDB_REMOTE_SELECT_USER, "", "?\xF3" "d?"), "");
    EXPECT_EQ(Read(out + "\\printers.txt"), UnicodeFile(printers));
    EXPECT_EQ(Read(out + "\\printers.txt.reg"), UnicodeFile(toCurrentUser(printers, u"S-1-5-21-7-7-7-1001")));
    const std::u16string drives =
        u"Windows Registry Editor Version 5.00\n\n[S-1-5-21-7-7-7-1001\\Network]\n\n"
        u"[S-1-5-21-7-7-7-1001\\Network\\P]\n\"RemotePath\"=\"\\\\\\\\srv1\\\\\u041e\u0431\u0449\u0438\u0439\"\n\n"
        u"[S-1-5-21-7-7-7-1001\\Network\\Q]\n\"RemotePath\"=\"\\\\\\\\\u0421\u0435\u0440\u0432\u0435\u0440\\\\\u5171\u6709\"\n";
    EXPECT_EQ(Read(out + "\\drives.txt"), UnicodeFile(drives));
    EXPECT_EQ(Read(out + "\\DefaultPrinter.reg"),
              UnicodeFile(u"Windows Registry Editor Version 5.00\n\n"
                          u"[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows]\n"
                          u"\"Device\"=\"\\\\\\\\srv1\\\\\u0141\u00f3d\u017a,winspool,Ne00:\"\n"))
        << "a look-alike taken for a fit";
    const std::string source = Read(out + "\\Source.txt");
    EXPECT_NE(source.find("\r\nUnicode (UTF-16, as reg export writes): printers.txt, printers.txt.reg, drives.txt, "
                          "drives.txt.reg, DefaultPrinter.reg, because code page 1252 cannot carry every name in "
                          "them\r\n"),
              std::string::npos)
        << source;

    // The two lines that read alike export their own users, each by its place.
    std::vector<std::string> exported;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i] != kLookAlikeLine)
            continue;
        SendMessageA(tool.Item(IDL_REMOTE_USERS), LB_SETCURSEL, i, 0);
        EXPECT_EQ(Press(tool, IDB_REMOTE_SELECT_USER), "");
        const std::string text = Read(out + "\\printers.txt");
        for (const wchar_t* key : kLookAlikes) {
            const std::u16string units(key, key + wcslen(key));
            if (text.find(BytesOfUnits(u"[" + units + u"\\Printers]")) != std::string::npos) {
                exported.push_back(Narrow(key));
                // Only the key needs Unicode; the copy that replaces it keeps the form.
                EXPECT_EQ(Read(out + "\\printers.txt.reg"), "\xFF\xFE" + BytesOfUnits(toCurrentUser(UnitsOfBytes(text.substr(2)), units)));
            }
        }
    }
    std::sort(exported.begin(), exported.end());
    EXPECT_EQ(exported, (std::vector<std::string>{Narrow(kLookAlikes[0]), Narrow(kLookAlikes[1])}));
    tool.Kill();

    // The command line: the home folder's name cannot name a folder in the
    // code page, so the key does; /map renames a server inside the Unicode
    // files to import. A Western user's files are today's REGEDIT4 bytes.
    SHDeleteKeyA(HKEY_CURRENT_USER, "Network");
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers");
    sandbox::SetWide(HKEY_CURRENT_USER, L"Printers\\Connections\\,,srv\x00e9,Gr\x00f6\x00df" L"e", L"Server",
                     L"\\\\srv\x00e9");
    const std::string dir = sandbox::FreshDir("unicode-cli"), sets = dir + "\\out";
    EXPECT_EQ(sandbox::RunTool("/machine " + driver::ThisComputer() + " /map \\\\srv1=\\\\srv9 /out " + sets, dir,
                               dir + "\\stdout.txt"),
              0u) << Read(dir + "\\stdout.txt");
    const std::string machine = sets + "\\" + driver::ThisComputer().substr(2) + "\\";
    const std::string set = machine + Narrow(kUnicodeUser);
    EXPECT_EQ(Read(set + "\\printers.txt"), UnicodeFile(printers)) << "the raw export keeps the old server";
    std::u16string renamed = toCurrentUser(printers, u"S-1-5-21-7-7-7-1001");
    renamed.replace(renamed.find(u",,srv1,"), 7, u",,srv9,");
    renamed.replace(renamed.find(u"\\\\\\\\srv1"), 8, u"\\\\\\\\srv9");
    EXPECT_EQ(Read(set + "\\printers.txt.reg"), UnicodeFile(renamed));
    HKEY environment;
    char home[MAX_PATH] = {};
    DWORD size = sizeof home;
    ASSERT_EQ(RegOpenKeyExA(HKEY_USERS, (std::string(kUserKey) + "\\Volatile Environment").c_str(), 0, KEY_READ,
                            &environment), ERROR_SUCCESS);
    RegQueryValueExA(environment, "HOMEPATH", nullptr, nullptr, reinterpret_cast<BYTE*>(home), &size);
    RegCloseKey(environment);
    const std::string western = machine + std::string(home).substr(std::string(home).rfind('\\') + 1);
    const std::string westernSection = std::string("\r\n\r\n[") + kUserKey + "\\Printers";
    EXPECT_EQ(Read(western + "\\printers.txt"), "REGEDIT4" + westernSection + "]" + westernSection + "\\Connections]" +
                                                    westernSection + "\\Connections\\,,srv\xE9,Gr\xF6\xDF" "e]\r\n"
                                                    "\"Server\"=\"\\\\\\\\srv\xE9\"\r\n");
    EXPECT_EQ(Read(western + "\\printers.txt.reg").substr(0, 10), "REGEDIT4\r\n");
    EXPECT_EQ(Read(western + "\\Source.txt").find("Unicode"), std::string::npos);
    ForgetUsers();
}

// What the window shows of the job: each step as it begins, and the
// applications' entries counted as they are read, from none to all.
TEST(RemoteExport, ProgressCountsTheEntriesRead)
{
    MakeTree(HKEY_USERS, kUserKey);
    sandbox::MakeUninstallEntries(HKEY_USERS, kUserKey);
    const auto subKeys = [](HKEY root, const std::string& path, REGSAM view) {
        HKEY key;
        DWORD count = 0;
        if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) == ERROR_SUCCESS) {
            RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr);
            RegCloseKey(key);
        }
        return static_cast<std::size_t>(count);
    };
    const std::string uninstall = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    const std::size_t apps = subKeys(HKEY_LOCAL_MACHINE, uninstall, 0);
    BOOL wow64 = FALSE;
    const bool is64 = sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
    // Applications.txt reads both views of a 64-bit machine, and the user's own key.
    const std::size_t listed = (is64 ? subKeys(HKEY_LOCAL_MACHINE, uninstall, KEY_WOW64_64KEY) +
                                           subKeys(HKEY_LOCAL_MACHINE, uninstall, KEY_WOW64_32KEY)
                                     : apps) +
                               subKeys(HKEY_USERS, std::string(kUserKey) + "\\" + uninstall, 0);
    ASSERT_GT(apps, 5u);

    RemoteExportJob job;
    job.machine = driver::ThisComputer();
    job.user = {"x", kUserKey, std::u16string(kUserKey, kUserKey + sizeof kUserKey - 1)};
    job.withApps = true;
    job.outputFolder = sandbox::FreshDir("re-progress") + "\\RemoteMachine";
    struct Report {
        JobStep step;
        std::size_t done, total;
    };
    std::vector<Report> reports;
    TProblem problem;
    ASSERT_EQ(ExportRemoteUserFiles(job, problem, [&](JobStep step, std::size_t done, std::size_t total) {
                  reports.push_back({step, done, total});
              }), 0) << problem.text;
    std::vector<JobStep> steps;
    for (const Report& report : reports) {
        if (steps.empty() || steps.back() != report.step)
            steps.push_back(report.step);
    }
    EXPECT_EQ(steps, std::vector<JobStep>({JobStep::Connect, JobStep::Printers, JobStep::Drives,
                                           JobStep::DefaultPrinter, JobStep::InstalledApps,
                                           JobStep::ApplicationsList, JobStep::Files}));
    for (const auto& counted : {std::make_pair(JobStep::InstalledApps, apps), std::make_pair(JobStep::ApplicationsList, listed)}) {
        SCOPED_TRACE(static_cast<int>(counted.first));
        std::vector<std::size_t> done;
        for (const Report& report : reports) {
            if (report.step == counted.first && report.total > 0) {
                EXPECT_EQ(report.total, counted.second);
                done.push_back(report.done);
            }
        }
        std::vector<std::size_t> oneByOne(counted.second + 1);
        for (std::size_t i = 0; i < oneByOne.size(); ++i)
            oneByOne[i] = i;
        EXPECT_EQ(done, oneByOne);
    }
}
