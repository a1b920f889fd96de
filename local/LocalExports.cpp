#include "local/LocalExports.h"

#include <windows.h>
#define SECURITY_WIN32
#include <security.h>

#include <cstdio>
#include <optional>

#include "local/CommandLines.h"
#include "local/CommandRunner.h"
#include "local/ExportFiles.h"
#include "local/ImportFiles.h"
#include "local/LoadedHives.h"
#include "local/OutputSet.h"
#include "local/ProfileList.h"
#include "remote/AppListFile.h"
#include "remote/Applications.h"
#include "remote/ApplicationsFile.h"
#include "remote/FileBytes.h"

const std::vector<std::string> kStoredProfileFiles = {
    "mappedDrv.prt", "printers.prt",     "InstalledApps.reg", "mappedDrv.prx",      "mappedDrv.reg",
    "printers.prx",  "printers.reg",     "Applications.txt",  "DefaultPrinter.reg", "Source.txt",
};
const std::vector<std::string> kCurrentUserFiles = {
    "mappedDrv.reg", "printers.reg",     "InstalledApps.txt",  "mappedDrv.prx", "printers.prx", "InstalledApp.txt",
    "Applications.txt", "DefaultPrinter.reg", "Source.txt",
};

namespace {

const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
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

bool ReadFileBytes(const std::string& path, std::string& bytes)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    return file && ReadWholeFile(file.get(), bytes);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes, TProblem& problem)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = file && std::fclose(file) == 0;
    return (written && closed) || Fail(problem, "The file " + path + " could not be written in full (is the disk full?).");
}

// Whether two folder paths name the same folder, as far as their text tells
// once both are full and long: "C:\DOCUME~1" is "C:\Documents and Settings",
// whose hive files are this machine's own, loaded and not to be loaded again.
bool SameFolder(const std::string& a, const std::string& b)
{
    const auto normal = [](const std::string& path) {
        char full[MAX_PATH], longPath[MAX_PATH];
        DWORD length = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
        std::string text = length > 0 && length < MAX_PATH ? std::string(full, length) : path;
        length = GetLongPathNameA(text.c_str(), longPath, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            text.assign(longPath, length);
        text = JoinPath(text, "", IsAnsiLeadByte);  // one trailing backslash
        return UpperAsciiLetters(text, IsAnsiLeadByte);
    };
    return !a.empty() && !b.empty() && normal(a) == normal(b);
}

// "X:\" of a drive path, "\\server\share\" of a UNC path, else "".
std::string DriveRoot(const std::string& path)
{
    if (path.size() >= 2 && path[1] == ':')
        return path.substr(0, 2) + "\\";
    if (path.compare(0, 2, "\\\\") != 0)
        return std::string();
    const std::size_t server = FindAnsiChar(path.substr(2), '\\', IsAnsiLeadByte);
    if (server == std::string::npos)
        return std::string();
    const std::string rest = path.substr(2 + server + 1);
    const std::size_t share = FindAnsiChar(rest, '\\', IsAnsiLeadByte);
    return path.substr(0, 2 + server + 1 + (share == std::string::npos ? rest.size() : share)) + "\\";
}

const char kHiveInWindows[] = "system32\\config\\software";

// The software hive of the Windows on the drive of folder: that of WINDOWS,
// then WINNT, then of any other folder at the drive's root; "" if none.
std::string FindDiskSoftwareHive(const std::string& folder)
{
    const std::string root = DriveRoot(folder);
    if (root.empty())
        return std::string();
    std::vector<std::string> windows = {"WINDOWS", "WINNT"};
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((root + "*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..")
                windows.push_back(name);
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    for (const std::string& name : windows) {
        const std::string hive = root + name + "\\" + kHiveInWindows;
        if (IsFile(hive))
            return hive;
    }
    return std::string();
}

std::optional<std::u16string> WideValue(HKEY root, const std::string& path, const wchar_t* name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return std::nullopt;
    wchar_t text[256] = {};
    DWORD size = sizeof text - sizeof(wchar_t), type = 0;
    const LONG result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &size);
    RegCloseKey(key);
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    return std::u16string(text, text + size / sizeof(wchar_t));
}

// The applications of the Windows on the disk a profile folder is on, when
// that is not this machine's: its software hive, loaded under a key of
// HKEY_LOCAL_MACHINE of this run's own for the job and unloaded on every way
// out of it. Never this machine's own list in its place.
class TDiskSoftware {
public:
    explicit TDiskSoftware(const std::string& reg)
        : reg_(reg), key_("Movara-" + std::to_string(GetCurrentProcessId()) + "-SOFTWARE"),
          commands_(BuildDiskHiveCommands(key_, "", "", IsAnsiLeadByte)),
          guard_(reg, commands_.unload, key_, HKEY_LOCAL_MACHINE)
    {
    }

    // Finds and loads the hive; false when the set lists none of the
    // machine's applications, with Reason() saying why.
    bool Load(const std::string& profilesDirectory, const std::string& work)
    {
        hive_ = FindDiskSoftwareHive(profilesDirectory);
        if (hive_.empty())
            return Refuse("no Windows folder on the drive of " + profilesDirectory + " holds " + kHiveInWindows);
        if (HiveLoaded(key_, HKEY_LOCAL_MACHINE))
            return Refuse("a key HKEY_LOCAL_MACHINE\\" + key_ + " is already there, so " + hive_ +
                          " was not loaded over it");
        commands_ = BuildDiskHiveCommands(key_, hive_, work, IsAnsiLeadByte);
        DWORD code = 1;
        guard_.Loading();
        if (RunHidden(reg_, commands_.load, nullptr, &code) != 0 || code != 0)
            return Refuse("the system's reg could not load " + hive_ + " (exit code " + std::to_string(code) +
                          "; it may be damaged, or this tool may lack administrator rights)");
        guard_.Loaded();
        loaded_ = true;
        return true;
    }

    const std::string& Hive() const { return hive_; }
    const std::string& Reason() const { return reason_; }

    // Its uninstall keys; the 32-bit ones too when that Windows is 64-bit.
    std::vector<UninstallSource> Sources() const
    {
        std::vector<UninstallSource> sources;
        if (!loaded_)
            return sources;
        const std::wstring key(key_.begin(), key_.end());
        sources.push_back({HKEY_LOCAL_MACHINE, key + L"\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                           AppScope::Machine});
        if (Is64Bit())
            sources.push_back({HKEY_LOCAL_MACHINE,
                               key + L"\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall", 0,
                               AppScope::Machine32});
        return sources;
    }

    // InstalledApps.reg from the hive's uninstall key, its sections named
    // as the old machine's own: HKEY_LOCAL_MACHINE\SOFTWARE\...
    bool ExportApps(const std::string& file, TProblem& problem)
    {
        if (!loaded_)
            return true;  // not written: never this machine's list in its place
        const std::string path = key_ + "\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
        if (!ExportKey(reg_, commands_.apps, HKEY_LOCAL_MACHINE, path, hive_ + " (its uninstall key)", file, problem))
            return false;
        std::string bytes;
        if (!IsFile(file))
            return true;  // a hive without the key
        return (ReadFileBytes(file, bytes) || Fail(problem, "The file " + file + " cannot be read.")) &&
               WriteFileBytes(file,
                              RenameExportSections(bytes, "HKEY_LOCAL_MACHINE\\" + key_, "HKEY_LOCAL_MACHINE\\SOFTWARE"),
                              problem);
    }

    // Unloads the hive; false, with the problem to tell, when it stays loaded.
    bool Unload(TProblem& problem)
    {
        if (!loaded_)
            return true;
        loaded_ = false;
        if (guard_.Unload())
            return true;
        return Fail(problem, "The registry of the disk, " + hive_ + ", is still loaded under HKEY_LOCAL_MACHINE\\" +
                                 key_ + ": another program holds it open. Close that program, then unload it "
                                 "with:\nreg unload \"HKLM\\" + key_ + "\"");
    }

private:
    bool Refuse(const std::string& reason)
    {
        reason_ = reason;
        return false;
    }

    // By the disk's own system hive: PROCESSOR_ARCHITECTURE of the control
    // set its Select\Current names. Without one, a Wow6432Node key in the
    // software hive.
    bool Is64Bit() const
    {
        const std::string system = hive_.substr(0, hive_.size() - 8) + "system";
        const std::string key = "Movara-" + std::to_string(GetCurrentProcessId()) + "-SYSTEM";
        if (IsFile(system) && !HiveLoaded(key, HKEY_LOCAL_MACHINE)) {
            const DiskHiveCommands commands = BuildDiskHiveCommands(key, system, "", IsAnsiLeadByte);
            THiveGuard guard(reg_, commands.unload, key, HKEY_LOCAL_MACHINE);
            DWORD code = 1;
            guard.Loading();
            if (RunHidden(reg_, commands.load, nullptr, &code) == 0 && code == 0) {
                guard.Loaded();
                std::optional<bool> is64;
                DWORD current = 0, size = sizeof current, type = 0;
                HKEY select = nullptr;
                if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (key + "\\Select").c_str(), 0, KEY_READ, &select) ==
                    ERROR_SUCCESS) {
                    if (RegQueryValueExA(select, "Current", nullptr, &type, reinterpret_cast<BYTE*>(&current),
                                         &size) == ERROR_SUCCESS &&
                        type == REG_DWORD && current > 0 && current < 1000) {
                        char set[16];
                        std::snprintf(set, sizeof set, "ControlSet%03lu", static_cast<unsigned long>(current));
                        is64 = ArchitectureIs64Bit(
                            WideValue(HKEY_LOCAL_MACHINE,
                                      key + "\\" + set + "\\Control\\Session Manager\\Environment",
                                      L"PROCESSOR_ARCHITECTURE"));
                    }
                    RegCloseKey(select);
                }
                (void)guard.Unload();  // only read from; a failure leaves nothing of the user's behind
                if (is64)
                    return *is64;
            }
        }
        return HiveLoaded(key_ + "\\Wow6432Node", HKEY_LOCAL_MACHINE);  // the key is there
    }

    std::string reg_, key_, hive_, reason_;
    DiskHiveCommands commands_;
    THiveGuard guard_;
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
                             const std::string& outputFolder, TProblem& problem,
                             const std::vector<ServerMapping>& map, const JobProgress& progress)
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
    Announce(progress, JobStep::LoadHive);
    DWORD loadCode = 0;
    hive.Loading();
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
    bool done = Announce(progress, JobStep::Drives) &&
                ExportKey(reg, commands.drives, HKEY_USERS, userKey + "Network",
                          "HKEY_USERS\\" + userKey + "Network", set.WorkPath("mappedDrv.prt"), problem) &&
                Announce(progress, JobStep::Printers) &&
                ExportKey(reg, commands.printers, HKEY_USERS, userKey + "Printers",
                          "HKEY_USERS\\" + userKey + "Printers", set.WorkPath("printers.prt"), problem) &&
                Announce(progress, JobStep::DefaultPrinter) &&
                WriteDefaultPrinterFile(HKEY_USERS, WideFromAnsi(user), set, facts, problem);
    // A profile of another disk, such as one of a machine that no longer
    // starts, is listed with the applications of that disk's Windows.
    const bool otherDisk = !SameFolder(profilesDirectory, SystemProfilesDirectory());
    TDiskSoftware disk(reg);
    if (done && otherDisk) {
        Announce(progress, JobStep::DiskHive);
        if (disk.Load(profilesDirectory, set.Work()))
            facts.machineHive = disk.Hive();
        else
            facts.noMachineApps = disk.Reason();
    }
    const EntryProgress entries = StepEntries(progress, JobStep::ApplicationsList);
    done = done && Announce(progress, JobStep::ApplicationsList) &&
           (otherDisk ? WriteApplicationsFile(disk.Sources(), HKEY_USERS, WideFromAnsi(user),
                                              set.WorkPath("Applications.txt"), problem, false, entries)
                      : WriteApplicationsFile(HKEY_LOCAL_MACHINE, true, HKEY_USERS, WideFromAnsi(user),
                                              set.WorkPath("Applications.txt"), problem, false, entries));
    // Whatever happened, the hive goes before anything else is done.
    Announce(progress, JobStep::Unload);
    const bool unloaded = hive.Unload();
    done = done && Announce(progress, JobStep::InstalledApps);
    if (otherDisk)
        done = done && disk.ExportApps(set.WorkPath("InstalledApps.reg"), problem);
    else
        done = done && ExportKey(reg, commands.apps, HKEY_LOCAL_MACHINE, kUninstallKey,
                                 std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey, set.WorkPath("InstalledApps.reg"),
                                 problem);
    TProblem diskProblem;
    const bool diskUnloaded = disk.Unload(diskProblem);
    Announce(progress, JobStep::Files);
    for (const char* stem : {"mappedDrv", "printers"}) {
        const std::string prt = set.WorkPath(std::string(stem) + ".prt");
        if (done && set.Produced(std::string(stem) + ".prt"))
            done = ConvertPrtToPrxFile(prt, set.WorkPath(std::string(stem) + ".prx"), problem) == 0 &&
                   ConvertPrtToRegFile(prt, set.WorkPath(std::string(stem) + ".reg"), problem) == 0;
    }
    done = done && RenameServersInSet(set, map, facts, problem);
    done = set.Finish(done, facts, problem);
    if (!unloaded) {
        const std::string after = done ? "Its files in " + outputFolder + " were written." : problem.text;
        problem.text.clear();  // the note of the set stays
        Fail(problem, "The registry of the profile " + user + " is still loaded under HKEY_USERS\\" + user +
                          ": another program holds it open. Its user would get a temporary profile at the next "
                          "logon. Close that program, then unload it with:\n" + UnloadCommand(user) + "\n\n" + after);
    } else if (!diskUnloaded) {
        const std::string after = done ? "Its files in " + outputFolder + " were written." : problem.text;
        problem.text.clear();  // the note of the set stays
        Fail(problem, diskProblem.text + "\n\n" + after);
    }
    if (done && unloaded && diskUnloaded && !facts.noMachineApps.empty())
        Note(problem, "No applications of the machine are listed, because " + facts.noMachineApps + ".");
    return done && unloaded && diskUnloaded ? 0 : 1;
}

int ExportCurrentUserFiles(const std::string& outputFolder, TProblem& problem, const std::vector<ServerMapping>& map,
                           const JobProgress& progress)
{
    const std::string reg = SystemRegProgram();
    if (reg.empty())
        return Fail(problem, "The system folder that holds reg.exe cannot be found. Nothing was exported."), 1;
    TOutputSet set(outputFolder, kCurrentUserFiles);
    if (!set.Begin(problem))
        return 1;
    const CurrentUserCommands commands = BuildCurrentUserCommands(set.Work(), IsAnsiLeadByte);
    bool done =
        Announce(progress, JobStep::Drives) &&
        ExportKey(reg, commands.drives, HKEY_CURRENT_USER, "Network", "HKEY_CURRENT_USER\\Network",
                  set.WorkPath("mappedDrv.reg"), problem) &&
        Announce(progress, JobStep::Printers) &&
        ExportKey(reg, commands.printers, HKEY_CURRENT_USER, "Printers", "HKEY_CURRENT_USER\\Printers",
                  set.WorkPath("printers.reg"), problem) &&
        Announce(progress, JobStep::InstalledApps) &&
        ExportKey(reg, commands.apps, HKEY_LOCAL_MACHINE, kUninstallKey,
                  std::string("HKEY_LOCAL_MACHINE\\") + kUninstallKey, set.WorkPath("InstalledApps.txt"), problem);
    SourceFacts facts;
    facts.kind = SourceKind::CurrentUser;
    facts.name = RunningUserName();
    done = done && Announce(progress, JobStep::DefaultPrinter) &&
           WriteDefaultPrinterFile(HKEY_CURRENT_USER, L"", set, facts, problem);
    for (const char* stem : {"mappedDrv", "printers"}) {
        if (done && set.Produced(std::string(stem) + ".reg"))
            done = ConvertToPrxFile(set.WorkPath(std::string(stem) + ".reg"), set.WorkPath(std::string(stem) + ".prx"),
                                    problem) == 0;
    }
    if (done && set.Produced("InstalledApps.txt"))
        done = MakeAppList(set.WorkPath("InstalledApps.txt"), set.WorkPath("InstalledApp.txt"), problem) == 0;
    done = done && Announce(progress, JobStep::ApplicationsList) &&
           WriteApplicationsFile(HKEY_LOCAL_MACHINE, true, HKEY_CURRENT_USER, L"", set.WorkPath("Applications.txt"),
                                 problem, false, StepEntries(progress, JobStep::ApplicationsList));
    Announce(progress, JobStep::Files);
    done = done && RenameServersInSet(set, map, facts, problem);
    return set.Finish(done, facts, problem) ? 0 : 1;
}
