#include <gtest/gtest.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>

#include "res/resource.h"
#include "tests/wine/Harness.h"

using sandbox::Exists;
using sandbox::Listing;
using sandbox::Read;
using sandbox::Utf16;

namespace {

// What the stand-in writes for a key, its root replaced by root.
std::string StandInExport(const std::string& root)
{
    return "\xff\xfe" + Utf16("Windows Registry Editor Version 5.00\r\n\r\n[" + root + "]\r\n\"a\"=\"b\"\r\n");
}

// A profile folder in `dir` whose hive brings these keys (the stand-in's load
// makes them under HKEY_USERS).
void MakeProfile(const std::string& user, const std::string& keys = "Printers\r\nNetwork\r\n",
                 const std::string& dir = "C:\\users")
{
    sandbox::RemoveTree(dir + "\\" + user);
    sandbox::MakeDirs(dir + "\\" + user);
    sandbox::Write(dir + "\\" + user + "\\ntuser.dat", keys);
}

// Presses "Select User" for the profile list entry that starts with entry
// ("" for none) and returns the text of the message box it shows, if any.
std::string SelectUser(driver::Tool& tool, const std::string& entry)
{
    tool.Select(IDL_PROFILES, entry);
    return tool.Run(IDB_SELECT_USER);
}

// The stand-in's calls, each job's work folder ("<out>.~new-<pid>-<n>")
// written as "<out>.~new".
std::string Calls()
{
    std::string calls = sandbox::StandInCalls();
    for (std::size_t at = 0; (at = calls.find(".~new-", at)) != std::string::npos;) {
        std::size_t end = at + 6;
        while (end < calls.size() && (isdigit(static_cast<unsigned char>(calls[end])) || calls[end] == '-'))
            ++end;
        calls.erase(at + 5, end - at - 5);
        at += 5;
    }
    return calls;
}

void PickProfilesFolder(driver::Tool& tool, const std::string& folder)
{
    tool.Press(IDB_BROWSE);
    HWND browser = tool.FindDialog("Browse for Folder", 10000);
    driver::SendWithText(browser, BFFM_SETSELECTIONA, TRUE, folder);
    PostMessageA(browser, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(browser, IDOK)));
    ASSERT_TRUE(tool.WaitJob());
}

const std::string kApps = "hklm\\software\\microsoft\\windows\\currentversion\\uninstall\\";

}  // namespace

// This suite runs with the stand-in as the system's reg (Wine has no reg
// load). Every name reaches it exactly, and no reg or cmd planted in a
// profile folder or the tool folder runs.
TEST(StoredProfileExport, EveryNameReachesTheSystemsRegAlone)
{
    const std::string bob = "C:\\users\\bob smith";
    const std::vector<std::string> users = {"user1", "bob smith", "a&b", "x(1)", "50%", "a%windir%b", "hi!", "(admin)",
                                            "#team", "user1"};
    for (const std::string& user : users)
        MakeProfile(user);
    sandbox::SetString(HKEY_CURRENT_USER, "Printers", "x", "y");
    sandbox::SetString(HKEY_CURRENT_USER, "Network", "x", "y");
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
        const std::string out = folder + "\\" + user, work = out + ".~new", hive = "hku\\" + user;
        EXPECT_EQ(Calls(), "load|" + hive + "|ntuser.dat\nexport|" + hive + "\\Network|" + work +
                               "\\mappedDrv.prt\nexport|" + hive + "\\Printers|" + work + "\\printers.prt\nunload|" +
                               hive + "\nexport|" + kApps + "|" + work + "\\InstalledApps.reg\n");
        EXPECT_EQ(Read(out + "\\printers.reg"), StandInExport("HKEY_CURRENT_USER\\Printers")) << user;
    }
    EXPECT_EQ(SelectUser(tool, "*User = "), "");
    const std::string cu = folder + "\\CurrentUser.~new";
    EXPECT_EQ(Calls(), "export|hkcu\\Network|" + cu + "\\mappedDrv.reg\nexport|hkcu\\Printers|" + cu +
                           "\\printers.reg\nexport|" + kApps + "|" + cu + "\\InstalledApps.txt\n");
    for (const std::string& trace : {bob + "\\reg-calls.log", bob + "\\bat-ran.txt", folder + "\\reg-calls.log"})
        EXPECT_FALSE(Exists(trace)) << trace << ": a planted program ran";
    EXPECT_EQ(Listing(folder).find(".~new"), std::string::npos) << "a work folder was left: " << Listing(folder);
}

// A job that cannot do its work says so, leaves every hive unloaded that it
// loaded, and keeps the files of an earlier run whole; a job that can
// replaces them as a whole set.
TEST(StoredProfileExport, ReplacesTheSetOrKeepsItWhole)
{
    const std::string system = sandbox::InstallStandIn(), old = sandbox::FreshDir("old-disk");
    MakeProfile("carol");
    MakeProfile("dave");
    MakeProfile("frank");
    MakeProfile("gina");
    MakeProfile("erin");
    // The same name on another disk, without mapped drives, with an application of its own.
    MakeProfile("carol", std::string("Printers\r\n") + sandbox::kUserUninstallHiveLine + "\r\n", old);
    sandbox::MakeUninstallEntries(HKEY_CURRENT_USER, "");
    sandbox::MakeDirs(old + "\\All Users");      // no hive there
    driver::Tool tool;
    const std::string folder = sandbox::StartTool(tool, "sets");

    // Logged on: its hive does not load; the earlier files stay.
    sandbox::Write(system + "fail-load", "hku\\dave");
    sandbox::MakeDirs(folder + "\\dave");
    sandbox::Write(folder + "\\dave\\printers.reg", "old");
    EXPECT_NE(SelectUser(tool, "dave").find("could not be loaded"), std::string::npos);
    EXPECT_EQ(Calls(), "load|hku\\dave|ntuser.dat\n");
    EXPECT_EQ(Listing(folder + "\\dave"), "printers.reg|");
    // An export of a key that is there fails: reported, the hive unloaded, the set kept.
    sandbox::Write(system + "fail-export", "hku\\gina\\Printers");
    sandbox::MakeDirs(folder + "\\gina");
    sandbox::Write(folder + "\\gina\\printers.reg", "old");
    EXPECT_EQ(SelectUser(tool, "gina"), "The system's reg could not export HKEY_USERS\\gina\\Printers (exit code 1)."
                                        "\n\nThe earlier files in " + folder + "\\gina were kept.<owned>");
    EXPECT_NE(Calls().find("\nunload|hku\\gina\n"), std::string::npos);
    EXPECT_EQ(Listing(folder + "\\gina"), "printers.reg|");
    // Held open by another program: tried again, then the admin is told how to unload it.
    sandbox::Write(system + "fail-unload", "hku\\frank");
    const std::string still = SelectUser(tool, "frank");
    EXPECT_NE(still.find("is still loaded under HKEY_USERS\\frank"), std::string::npos) << still;
    EXPECT_NE(still.find("reg unload \"HKU\\frank\""), std::string::npos) << still;
    std::string calls = Calls();
    EXPECT_EQ(calls.find("unload|hku\\frank\nunload|hku\\frank\nunload|hku\\frank\nunload|hku\\frank\nunload|"),
              calls.find("unload|")) << calls;
    // Its output folder cannot be made (a file has its name): told before anything runs.
    sandbox::Write(folder + "\\erin", "a file, not a folder");
    EXPECT_NE(SelectUser(tool, "erin").find("The folder " + folder + "\\erin cannot be created"), std::string::npos);
    EXPECT_EQ(Calls(), "");
    // Already loaded (that same hive, left behind): nothing runs.
    EXPECT_NE(SelectUser(tool, "frank").find("already loaded under HKEY_USERS\\frank"), std::string::npos);
    EXPECT_EQ(Calls(), "");
    SHDeleteKeyA(HKEY_USERS, "frank");

    // A first export with mapped drives ...
    EXPECT_EQ(SelectUser(tool, "carol"), "");
    const std::string out = folder + "\\carol";
    EXPECT_EQ(Listing(out), "Applications.txt|InstalledApps.reg|Source.txt|mappedDrv.prt|mappedDrv.prx|mappedDrv.reg|"
                            "printers.prt|printers.prx|printers.reg|");
    Calls();
    // ... then the profile of that name on the old disk, which has none: no
    // drives file of the first one is left beside its printers. The disk's
    // own Windows (the first folder at its root with a software hive: here
    // WINNT, since Wine's windows folder has none) gives the machine's
    // applications, never this machine's.
    const std::string software = "C:\\WINNT\\system32\\config\\software";
    sandbox::MakeDirs("C:\\WINNT\\system32\\config");
    sandbox::Write(software, "Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old|DisplayName|Old Disk App\r\n"
                             "Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old|DisplayVersion|3.1\r\n");
    PickProfilesFolder(tool, old);
    EXPECT_NE(SelectUser(tool, "All Users").find(old + "\\All Users holds no ntuser.dat"), std::string::npos);
    EXPECT_EQ(Listing(old + "\\All Users"), "") << "reg load would have made a hive there";
    EXPECT_EQ(SelectUser(tool, "carol"), "");
    std::string diskCalls = Calls();
    EXPECT_EQ(diskCalls.find("\nexport|hku\\carol\\Network|"), std::string::npos) << "no Network key, no export";
    const std::size_t load = diskCalls.find("\nload|hklm\\Movara-"), unload = diskCalls.find("\nunload|hklm\\Movara-");
    ASSERT_NE(load, std::string::npos) << diskCalls;
    ASSERT_NE(unload, std::string::npos) << diskCalls;
    const std::string key = diskCalls.substr(load + 11, diskCalls.find('|', load + 11) - load - 11);
    EXPECT_EQ(diskCalls.substr(load, diskCalls.find('\n', load + 1) - load), "\nload|hklm\\" + key + "|" + software);
    EXPECT_EQ(diskCalls.substr(unload, diskCalls.find('\n', unload + 1) - unload), "\nunload|hklm\\" + key);
    EXPECT_EQ(diskCalls.find("load|hklm", load + 5), unload + 3) << "one load, one unload: " << diskCalls;
    EXPECT_FALSE(sandbox::KeyExists(HKEY_LOCAL_MACHINE, key)) << "the disk's hive stays loaded";
    EXPECT_EQ(Listing(out), "Applications.txt|InstalledApps.reg|Source.txt|printers.prt|printers.prx|printers.reg|");
    EXPECT_EQ(Read(out + "\\Applications.txt"), "\xEF\xBB\xBFName\tVersion\tPublisher\tScope\r\n"
                                                 "My Own Tool\t\t\tuser\r\nOld Disk App\t3.1\t\tmachine\r\n");
    const std::string uninstall = "HKEY_LOCAL_MACHINE\\SOFTWARE\\microsoft\\windows\\currentversion\\uninstall";
    EXPECT_EQ(Read(out + "\\InstalledApps.reg"),
              StandInExport(uninstall) + Utf16("\r\n[" + uninstall + "\\Old]\r\n\"DisplayName\"=\"Old Disk App\"\r\n"
                                               "\"DisplayVersion\"=\"3.1\"\r\n"));
    EXPECT_EQ(Read(out + "\\printers.prx"), StandInExport("Printers"));
    std::string source = Read(out + "\\Source.txt");
    EXPECT_NE(source.find("Source: the stored profile carol in " + old + "\\carol "), std::string::npos) << source;
    EXPECT_NE(source.find("\r\nImport on the new machine, as the user who moves: printers.reg\r\n"), std::string::npos)
        << source;
    EXPECT_NE(source.find("\r\nMachine applications: read from " + software + ", the registry of the disk the "
                          "profile is on\r\n"),
              std::string::npos)
        << source;

    // A disk without a Windows of its own: the user's applications alone,
    // no InstalledApps.reg, and the reason told and kept.
    sandbox::RemoveTree("C:\\WINNT");
    const std::string none = "no Windows folder on the drive of " + old + "\\ holds system32\\config\\software";
    EXPECT_EQ(SelectUser(tool, "carol"), "No applications of the machine are listed, because " + none + ".<owned>");
    EXPECT_EQ(Calls().find("load|hklm"), std::string::npos);
    EXPECT_EQ(Listing(out), "Applications.txt|Source.txt|printers.prt|printers.prx|printers.reg|");
    EXPECT_EQ(Read(out + "\\Applications.txt"), "\xEF\xBB\xBFName\tVersion\tPublisher\tScope\r\n"
                                                 "My Own Tool\t\t\tuser\r\n");
    source = Read(out + "\\Source.txt");
    EXPECT_NE(source.find("\r\nMachine applications: none listed, because " + none + "\r\n"), std::string::npos)
        << source;
    EXPECT_EQ(SelectUser(tool, ""), "Please select a user in the list first<owned>");
}

// The disk of a 64-bit Windows: its system hive's current control set says
// so, and the 32-bit programs under Wow6432Node are listed as such. The same
// key on a disk whose Windows is 32-bit is no view of its own.
TEST(StoredProfileExport, OldDiskOf64BitWindowsListsIts32BitPrograms)
{
    sandbox::InstallStandIn();
    const std::string dir = sandbox::FreshDir("disk64"), old = dir + "\\disk", out = dir + "\\out";
    MakeProfile("carol", "Printers\r\n", old);
    const std::string config = "C:\\WINNT\\system32\\config\\";
    sandbox::MakeDirs(config);
    sandbox::Write(config + "software",
                   "Microsoft\\Windows\\CurrentVersion\\Uninstall\\Native|DisplayName|Disk Tool 64\r\n"
                   "Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Old|DisplayName|Disk Tool 32\r\n");
    const std::string environment = "\\Control\\Session Manager\\Environment|PROCESSOR_ARCHITECTURE|";
    const struct {
        const char* current;  // Select\Current
        const char* listed;
    } disks[] = {
        {"dword:00000002", "Disk Tool 32\t\t\tmachine 32-bit\r\nDisk Tool 64\t\t\tmachine\r\n"},
        {"dword:00000001", "Disk Tool 64\t\t\tmachine\r\n"},
    };
    for (const auto& disk : disks) {
        SCOPED_TRACE(disk.current);
        sandbox::Write(config + "system", std::string("Select|Current|") + disk.current + "\r\nControlSet001" +
                                              environment + "x86\r\nControlSet002" + environment + "AMD64\r\n");
        EXPECT_EQ(sandbox::RunTool("/profile carol /profiles " + old + " /out " + out, dir, dir + "\\stdout.txt"), 0u)
            << Read(dir + "\\stdout.txt");
        EXPECT_EQ(Read(out + "\\carol\\Applications.txt"),
                  std::string("\xEF\xBB\xBFName\tVersion\tPublisher\tScope\r\n") + disk.listed);
    }
    sandbox::RemoveTree("C:\\WINNT");
}

// The running user through Wine's own reg: the files rewritten without the
// hive and the applications list; a run that cannot replace one of them
// keeps them all, and one without mapped drives leaves none behind.
TEST(CurrentUserExport, WritesItsSetAndReplacesItWhole)
{
    const std::string u = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
    SHDeleteKeyA(HKEY_CURRENT_USER, "Printers");
    sandbox::SetString(HKEY_CURRENT_USER, "Printers\\Connections\\,,srv,Laser", "Note", "[HKEY_CURRENT_USER\\x");
    sandbox::SetString(HKEY_CURRENT_USER, "Network\\H", "RemotePath", "\\\\filesrv\\home");
    sandbox::MakeUninstallEntries(HKEY_CURRENT_USER, "");

    driver::Tool tool;
    const std::string out = sandbox::StartTool(tool, "cu") + "\\CurrentUser";
    sandbox::MakeDirs(out);
    sandbox::Write(out + "\\notes.txt", "the admin's");
    EXPECT_EQ(SelectUser(tool, "*User = "), "");
    EXPECT_EQ(Listing(out), "Applications.txt|InstalledApp.txt|InstalledApps.txt|Source.txt|mappedDrv.prx|"
                            "mappedDrv.reg|notes.txt|printers.prx|printers.reg|");
    EXPECT_EQ(Read(out + "\\Applications.txt"), sandbox::ExpectedApplications());
    const std::string printers = Read(out + "\\printers.reg"), list = Read(out + "\\InstalledApp.txt");
    ASSERT_NE(printers.find(Utf16("\r\n[HKEY_CURRENT_USER\\Printers\\Connections\\,,srv,Laser]\r\n")), std::string::npos);
    std::string prx = printers;  // section lines lose the hive; the same text inside data stays
    for (std::size_t at; (at = prx.find(Utf16("\n[HKEY_CURRENT_USER\\"))) != std::string::npos;)
        prx.replace(at, Utf16("\n[HKEY_CURRENT_USER\\").size(), Utf16("\n["));
    EXPECT_EQ(Read(out + "\\printers.prx"), prx);
    // The list of old keeps its form: quoted, escaped, each line ending in CR CR LF.
    for (const char* line : {"\"Tools \\\"Pro\\\" C:\\\\bin\"\r\r\n", "ditor\"\r\r\n", "\"Sample Viewer\"\r\r\n"})
        EXPECT_NE(list.find(line), std::string::npos) << line << "\nnot in:\n" << list;
    const std::string source = Read(out + "\\Source.txt");
    EXPECT_NE(source.find("Source: the user who ran the tool, "), std::string::npos) << source;
    EXPECT_NE(source.find("as the user who moves: printers.reg, mappedDrv.reg\r\n"), std::string::npos) << source;

    // A read-only file, then one held open: the whole set stays as it was.
    SHDeleteKeyA(HKEY_CURRENT_USER, "Network");
    sandbox::SetString(HKEY_LOCAL_MACHINE, u + "\\A4", "DisplayName", "New");
    SetFileAttributesA((out + "\\mappedDrv.reg").c_str(), FILE_ATTRIBUTE_READONLY);
    const std::string kept = "\n\nThe earlier files in " + out + " were kept.<owned>";
    EXPECT_EQ(SelectUser(tool, "*User = "),
              "The file " + out + "\\mappedDrv.reg is read-only, so the files in " + out + " cannot be replaced." + kept);
    SetFileAttributesA((out + "\\mappedDrv.reg").c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE lock = CreateFileA((out + "\\printers.prx").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    const std::string inUse = SelectUser(tool, "*User = ");
    CloseHandle(lock);
    EXPECT_NE(inUse.find("printers.prx cannot be replaced"), std::string::npos) << inUse;
    EXPECT_EQ(Read(out + "\\InstalledApp.txt"), list);
    EXPECT_EQ(Read(out + "\\Source.txt"), source);
    EXPECT_TRUE(Exists(out + "\\mappedDrv.prx"));

    // A run killed once its set was whole left its work folder: it goes, and the box says so.
    sandbox::Child ended;
    ended.End();
    const std::string left = out + ".~new-" + std::to_string(ended.Id()) + "-1";
    sandbox::MakeDirs(left + "\\~old");
    sandbox::Write(left + "\\~in", "");
    EXPECT_EQ(SelectUser(tool, "*User = "), "An earlier export that did not finish left " + left + "; nothing in " + out +
                                                " had to change, and it was removed.<owned>");
    EXPECT_EQ(Listing(out), "Applications.txt|InstalledApp.txt|InstalledApps.txt|Source.txt|notes.txt|printers.prx|"
                            "printers.reg|");
    EXPECT_NE(Read(out + "\\InstalledApp.txt").find("\"New\"\r\r\n"), std::string::npos);
    EXPECT_EQ(Read(out + "\\notes.txt"), "the admin's");
    EXPECT_EQ(Listing(out + "\\..").find(".~new"), std::string::npos) << Listing(out + "\\..");
    tool.Press(IDB_EXIT);
    EXPECT_EQ(tool.WaitExit(), 0u);
}
