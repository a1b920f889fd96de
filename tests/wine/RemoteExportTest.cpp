#include <gtest/gtest.h>
#include <shlwapi.h>

#include <cstdlib>

#include "remote/RemoteExport.h"
#include "res/resource.h"
#include "tests/wine/Harness.h"

using sandbox::Read;

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

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
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
    job.user = {"x", kUserKey};
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
