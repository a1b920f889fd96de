#include "remote/RemoteExport.h"

#include "local/ImportFiles.h"
#include "local/OutputSet.h"
#include "local/SystemCodePage.h"
#include "remote/AppListFile.h"
#include "remote/MachineProbe.h"
#include "remote/ApplicationsFile.h"
#include "remote/Registry.h"
#include "remote/RemoteUserLine.h"

const std::vector<std::string> kRemoteUserFiles = {
    "printers.txt", "printers.txt.reg", "drives.txt", "drives.txt.reg", "apps.txt", "apps.txt.reg",
    "SmallApps.txt", "Applications.txt", "DefaultPrinter.reg", "Source.txt",
};

namespace {

const wchar_t kLoggedOnMarkKey[] = L"Volatile Environment";
const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// Both jobs connect once the machine has passed the look at its ports (or
// is this computer): a path "not found" is then a service behind those
// ports, never a machine that is switched off.
const bool kPastTheLook = true;

} // namespace

LONG ListLoggedOnUsers(const std::string& machine, std::vector<RemoteUser>& users, std::string& reason)
{
    users.clear();
    reason.clear();
    TRegistry registry;
    LONG result = registry.Connect(machine, HKEY_USERS);
    if (result != ERROR_SUCCESS) {
        reason = ConnectFailureText(result, kPastTheLook);
        return result;
    }
    // Wide: a key named in a script the code page lacks must still be
    // opened by its own name.
    std::vector<std::wstring> candidates;
    wchar_t name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        DWORD length = MAX_PATH;
        result = RegEnumKeyExW(registry.ConnectedKey(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS) {
            reason = "The list of users of HKEY_USERS cannot be read: " + ConnectFailureText(result, kPastTheLook);
            return result;
        }
        candidates.emplace_back(name, length);
    }
    // Every logged-on user counts: a terminal server has many.
    for (const std::wstring& candidate : candidates) {
        // Only an administrator may read the other users' keys; a key that
        // cannot be read may be a logged-on user's.
        TKeyHandle key;
        result = key.Open(registry.ConnectedKey(), candidate.c_str());
        if (result == ERROR_FILE_NOT_FOUND)
            continue;  // unloaded since it was listed
        if (result != ERROR_SUCCESS) {
            users.clear();
            reason = "The key HKEY_USERS\\" + AnsiText(Utf16Text(candidate)) +
                     " cannot be read, so who is logged on is not known: " + ConnectFailureText(result, kPastTheLook);
            return result;
        }
        std::u16string homePath;
        if (!TRegistry::HasSubKey(registry.ConnectedKey(), candidate, kLoggedOnMarkKey) ||
            !TRegistry::ReadHomePath(registry.ConnectedKey(), candidate + L"\\" + kLoggedOnMarkKey, homePath))
            continue;
        RemoteUser user;
        user.wideUserKey = Utf16Text(candidate);
        user.userKey = AnsiText(user.wideUserKey);
        user.homeFolder = AnsiText(HomeFolderName(homePath));
        users.push_back(user);
    }
    return ERROR_SUCCESS;
}

int ExportRemoteUserFiles(const RemoteExportJob& job, TProblem& problem, const JobProgress& progress)
{
    TOutputSet set(job.outputFolder, kRemoteUserFiles);
    SourceFacts facts;
    facts.kind = SourceKind::RemoteUser;
    facts.name = job.user.userKey;
    facts.homeFolder = job.user.homeFolder;
    facts.place = job.machine;
    const std::wstring userKey = WideText(job.user.wideUserKey);
    TRegistry registry;
    // Each file in the form that carries its names; Source.txt tells which are
    // Unicode. apps.txt stays REGEDIT4, its names as the narrow calls give
    // them: SmallApps.txt is cut from its lines, and Applications.txt keeps
    // every name.
    const auto exportFile = [&](const std::wstring& keyPath, const std::string& name, bool unicodeAllowed = true,
                                const EntryProgress& entries = {}) {
        if (!registry.ExportToFile(set.Work(), keyPath, name, problem, unicodeAllowed, entries))
            return false;
        if (registry.LastForm() == ExportForm::Unicode) {
            NoteUnicodeFile(facts, name);
            NoteUnicodeFile(facts, name + ".reg");
        }
        return true;
    };
    Announce(progress, JobStep::Connect);
    LONG connected = registry.Connect(job.machine, HKEY_USERS);
    bool done = connected == ERROR_SUCCESS ||
                Fail(problem, ConnectProblemText(ConnectFailureText(connected, kPastTheLook)), kConnectFailedCaption);
    if (done) {
        // Nothing is written for a user who is gone: every export below
        // would otherwise find no key and pass for a user without any.
        TKeyHandle user;
        const LONG result = user.Open(registry.ConnectedKey(), userKey.c_str());
        if (result == ERROR_FILE_NOT_FOUND)
            done = Fail(problem, "The user " + job.user.homeFolder + " (" + job.user.userKey +
                                     ") is no longer logged on at " + job.machine + ". Connect again to see who is.");
        else if (result != ERROR_SUCCESS)
            done = Fail(problem, "The registry key HKEY_USERS\\" + job.user.userKey + " on " + job.machine +
                                     " cannot be read (error " + std::to_string(result) + ").");
    }
    done = done && set.Begin(problem) && Announce(progress, JobStep::Printers) &&
           exportFile(userKey + L"\\Printers", "printers.txt") && Announce(progress, JobStep::Drives) &&
           exportFile(userKey + L"\\Network", "drives.txt") && Announce(progress, JobStep::DefaultPrinter) &&
           WriteDefaultPrinterFile(registry.ConnectedKey(), userKey, set, facts, problem);
    if (done && job.withApps) {
        connected = registry.Connect(job.machine, HKEY_LOCAL_MACHINE);
        done = (connected == ERROR_SUCCESS ||
                Fail(problem, ConnectProblemText(ConnectFailureText(connected, kPastTheLook)),
                     kConnectFailedCaption)) &&
               Announce(progress, JobStep::InstalledApps) &&
               exportFile(kUninstallKey, "apps.txt", false, StepEntries(progress, JobStep::InstalledApps)) &&
               MakeAppList(set.WorkPath("apps.txt"), set.WorkPath("SmallApps.txt"), problem) == 0;
        TKeyHandle users;
        connected = done ? users.Connect(job.machine.c_str(), HKEY_USERS) : ERROR_SUCCESS;
        done = done &&
               (connected == ERROR_SUCCESS ||
                Fail(problem, ConnectProblemText(ConnectFailureText(connected, kPastTheLook)),
                     kConnectFailedCaption)) &&
               Announce(progress, JobStep::ApplicationsList) &&
               WriteApplicationsFile(registry.ConnectedKey(), false, users.Get(), userKey,
                                     set.WorkPath("Applications.txt"), problem, true,
                                     StepEntries(progress, JobStep::ApplicationsList));
    }
    Announce(progress, JobStep::Files);
    done = done && RenameServersInSet(set, job.map, facts, problem);
    return set.Finish(done, facts, problem) ? 0 : 1;
}
