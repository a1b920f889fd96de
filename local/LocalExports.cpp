#include "local/LocalExports.h"

#include <windows.h>
#define SECURITY_WIN32
#include <security.h>

#include "local/CommandLines.h"
#include "local/CommandRunner.h"
#include "local/ExportFiles.h"
#include "local/OutputSet.h"
#include "remote/AppListFile.h"
#include "remote/ApplicationsFile.h"

const std::vector<std::string> kStoredProfileFiles = {
    "mappedDrv.prt", "printers.prt", "InstalledApps.reg", "mappedDrv.prx",
    "mappedDrv.reg", "printers.prx", "printers.reg",      "Applications.txt", "Source.txt",
};
const std::vector<std::string> kCurrentUserFiles = {
    "mappedDrv.reg", "printers.reg", "InstalledApps.txt", "mappedDrv.prx", "printers.prx", "InstalledApp.txt",
    "Applications.txt", "Source.txt",
};

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// A hive that another program still holds gets this many tries, this far apart.
const int kUnloadAttempts = 5;
const DWORD kUnloadPauseMs = 400;

// The registry itself says whether there is anything to export: reg's exit
// code is the same for a key that is missing and for an export that failed.
// A key that cannot be opened for another reason is left for reg to try.
bool KeyMissing(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    const LONG result = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key);
    if (result == ERROR_SUCCESS)
        RegCloseKey(key);
    return result == ERROR_FILE_NOT_FOUND;
}

bool HiveLoaded(const std::string& user)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_USERS, user.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string UnloadCommand(const std::string& user)
{
    return "reg unload \"HKU\\" + user + "\"";
}

// Runs one reg export of the key `label` (root and path say whether it
// exists) into `file`. No key, no file, and no failure.
bool ExportKey(const std::string& reg, const std::string& commandLine, HKEY root, const std::string& path,
               const std::string& label, const std::string& file, TProblem& problem)
{
    if (KeyMissing(root, path))
        return true;
    DWORD code = 0;
    if (RunHidden(reg, commandLine, nullptr, &code) != 0)
        return Fail(problem, kCannotStartText, kCannotStartCaption, false);
    if (code != 0 || !IsFile(file))
        return Fail(problem, "The system's reg could not export " + label + " (exit code " + std::to_string(code) +
                                 ").");
    return true;
}

// reg unload fails while another program holds a key of the hive open; such
// handles are often closed a moment later.
bool UnloadHive(const std::string& reg, const std::string& commandLine, const std::string& user)
{
    for (int attempt = 1;; ++attempt) {
        DWORD code = 1;
        if (RunHidden(reg, commandLine, nullptr, &code) == 0 && code == 0 && !HiveLoaded(user))
            return true;
        if (attempt == kUnloadAttempts)
            return false;
        Sleep(kUnloadPauseMs);
    }
}

// Unloads a loaded hive on every way out of the job, an exception included:
// left loaded, its user would get a temporary profile at the next logon.
class THiveGuard {
public:
    THiveGuard(const std::string& reg, const std::string& commandLine, const std::string& user)
        : reg_(reg), commandLine_(commandLine), user_(user)
    {
    }
    THiveGuard(const THiveGuard&) = delete;
    THiveGuard& operator=(const THiveGuard&) = delete;
    ~THiveGuard()
    {
        if (loaded_)
            (void)Unload();  // only on the way out of an exception: nobody is left to tell
    }
    void Loaded() { loaded_ = true; }
    // Whether the hive is gone; asked once, where the job is done with it.
    bool Unload()
    {
        loaded_ = false;
        return UnloadHive(reg_, commandLine_, user_);
    }

private:
    std::string reg_, commandLine_, user_;
    bool loaded_ = false;
};

std::string RunningUserName()
{
    char name[512] = {};
    ULONG size = sizeof name;
    if (GetUserNameExA(NameSamCompatible, name, &size))
        return name;
    DWORD length = sizeof name;
    return GetUserNameA(name, &length) ? name : "(name unknown)";
}

} // namespace

int ExportStoredProfileFiles(const std::string& profilesDirectory, const std::string& user,
                             const std::string& outputFolder, TProblem& problem)
{
    const std::string reg = SystemRegProgram();
    if (reg.empty())
        return Fail(problem, "The system folder that holds reg.exe cannot be found. Nothing was exported."), 1;
    // reg runs in the profile folder, where the load command's "ntuser.dat"
    // is that profile's hive. Were the folder or the hive missing, reg would
    // load another directory's hive, or create a new, empty one there.
    const std::string profileFolder = profilesDirectory + user;
    if (profilesDirectory.empty() || !IsFolder(profileFolder))
        return Fail(problem, "The profile folder " + profileFolder + " cannot be opened. Nothing was exported."), 1;
    if (!IsFile(profileFolder + "\\ntuser.dat"))
        return Fail(problem, "The folder " + profileFolder +
                                 " holds no ntuser.dat, so it has no user registry to export. Nothing was run."),
               1;
    if (HiveLoaded(user))
        return Fail(problem, "A registry hive is already loaded under HKEY_USERS\\" + user +
                                 ", perhaps by an earlier run that was stopped. Nothing was run. When no program "
                                 "uses it any more, unload it with:\n" + UnloadCommand(user)),
               1;

    SourceFacts facts;
    facts.kind = SourceKind::StoredProfile;
    facts.name = user;
    facts.place = profileFolder;
    TOutputSet set(outputFolder, kStoredProfileFiles);
    if (!set.Begin(problem))
        return 1;
    const StoredProfileCommands commands = BuildStoredProfileCommands(user, set.Work(), IsAnsiLeadByte);
    THiveGuard hive(reg, commands.unload, user);
    DWORD loadCode = 0;
    if (RunHidden(reg, commands.load, profileFolder.c_str(), &loadCode) != 0)
        return Fail(problem, kCannotStartText, kCannotStartCaption, false), set.Finish(false, facts, problem), 1;
    if (loadCode != 0) {
        Fail(problem, "The registry of the profile " + user +
                          " could not be loaded. The user may be logged on, or this tool may lack administrator "
                          "rights. Nothing was exported for this profile.");
        return set.Finish(false, facts, problem), 1;
    }
    hive.Loaded();
    const std::string userKey = user + "\\";
    bool done = ExportKey(reg, commands.drives, HKEY_USERS, userKey + "Network",
                          "HKEY_USERS\\" + userKey + "Network", set.WorkPath("mappedDrv.prt"), problem) &&
                ExportKey(reg, commands.printers, HKEY_USERS, userKey + "Printers",
                          "HKEY_USERS\\" + userKey + "Printers", set.WorkPath("printers.prt"), problem) &&
                WriteApplicationsFile(HKEY_LOCAL_MACHINE, true, HKEY_USERS, user, set.WorkPath("Applications.txt"),
                                      problem);
    // Whatever happened, the hive goes before anything else is done.
    const bool unloaded = hive.Unload();
    done = done &&
           ExportKey(reg, commands.apps, HKEY_LOCAL_MACHINE, kUninstallKey,
                     std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey, set.WorkPath("InstalledApps.reg"), problem);
    for (const char* stem : {"mappedDrv", "printers"}) {
        const std::string prt = set.WorkPath(std::string(stem) + ".prt");
        if (done && set.Produced(std::string(stem) + ".prt"))
            done = ConvertPrtToPrxFile(prt, set.WorkPath(std::string(stem) + ".prx"), problem) == 0 &&
                   ConvertPrtToRegFile(prt, set.WorkPath(std::string(stem) + ".reg"), problem) == 0;
    }
    done = set.Finish(done, facts, problem);
    if (!unloaded) {
        const std::string after = done ? "Its files in " + outputFolder + " were written." : problem.text;
        problem.text.clear();  // the note of the set stays
        Fail(problem, "The registry of the profile " + user + " is still loaded under HKEY_USERS\\" + user +
                          ": another program holds it open. Its user would get a temporary profile at the next "
                          "logon. Close that program, then unload it with:\n" + UnloadCommand(user) + "\n\n" + after);
    }
    return done && unloaded ? 0 : 1;
}

int ExportCurrentUserFiles(const std::string& outputFolder, TProblem& problem)
{
    const std::string reg = SystemRegProgram();
    if (reg.empty())
        return Fail(problem, "The system folder that holds reg.exe cannot be found. Nothing was exported."), 1;
    TOutputSet set(outputFolder, kCurrentUserFiles);
    if (!set.Begin(problem))
        return 1;
    const CurrentUserCommands commands = BuildCurrentUserCommands(set.Work(), IsAnsiLeadByte);
    bool done =
        ExportKey(reg, commands.drives, HKEY_CURRENT_USER, "Network", "HKEY_CURRENT_USER\\Network",
                  set.WorkPath("mappedDrv.reg"), problem) &&
        ExportKey(reg, commands.printers, HKEY_CURRENT_USER, "Printers", "HKEY_CURRENT_USER\\Printers",
                  set.WorkPath("printers.reg"), problem) &&
        ExportKey(reg, commands.apps, HKEY_LOCAL_MACHINE, kUninstallKey,
                  std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey, set.WorkPath("InstalledApps.txt"), problem);
    for (const char* stem : {"mappedDrv", "printers"}) {
        if (done && set.Produced(std::string(stem) + ".reg"))
            done = ConvertToPrxFile(set.WorkPath(std::string(stem) + ".reg"), set.WorkPath(std::string(stem) + ".prx"),
                                    problem) == 0;
    }
    if (done && set.Produced("InstalledApps.txt"))
        done = MakeAppList(set.WorkPath("InstalledApps.txt"), set.WorkPath("InstalledApp.txt"), problem) == 0;
    done = done && WriteApplicationsFile(HKEY_LOCAL_MACHINE, true, HKEY_CURRENT_USER, "",
                                         set.WorkPath("Applications.txt"), problem);
    SourceFacts facts;
    facts.kind = SourceKind::CurrentUser;
    facts.name = RunningUserName();
    return set.Finish(done, facts, problem) ? 0 : 1;
}
