#include "remote/RemoteExport.h"

#include "local/ImportFiles.h"
#include "local/OutputSet.h"
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

const char kLoggedOnMarkKey[] = "Volatile Environment";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

} // namespace

LONG ListLoggedOnUsers(const std::string& machine, std::vector<RemoteUser>& users, std::string& reason)
{
    users.clear();
    reason.clear();
    TRegistry registry;
    LONG result = registry.Connect(machine, HKEY_USERS);
    if (result != ERROR_SUCCESS) {
        reason = ConnectFailureText(result);
        return result;
    }
    std::vector<std::string> candidates;
    char name[MAX_PATH];
    for (DWORD index = 0;; ++index) {
        result = RegEnumKeyA(registry.ConnectedKey(), index, name, MAX_PATH);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS) {
            reason = "The list of users of HKEY_USERS cannot be read: " + ConnectFailureText(result);
            return result;
        }
        candidates.push_back(name);
    }
    // Every logged-on user counts: a terminal server has many.
    for (const std::string& candidate : candidates) {
        // Only an administrator may read the other users' keys; a key that
        // cannot be read may be a logged-on user's.
        TKeyHandle key;
        result = key.Open(registry.ConnectedKey(), candidate.c_str());
        if (result == ERROR_FILE_NOT_FOUND)
            continue;  // unloaded since it was listed
        if (result != ERROR_SUCCESS) {
            users.clear();
            reason = "The key HKEY_USERS\\" + candidate + " cannot be read, so who is logged on is not known: " +
                     ConnectFailureText(result);
            return result;
        }
        if (!TRegistry::HasSubKey(registry.ConnectedKey(), candidate, kLoggedOnMarkKey))
            continue;
        (void)registry.ReadHomePath(registry.ConnectedKey(), candidate + "\\" + kLoggedOnMarkKey);
        for (const std::string& line : registry.GetNames()) {
            RemoteUser user;
            (void)RemoteUserFromLine(line, user);
            users.push_back(user);
        }
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
    TRegistry registry;
    Announce(progress, JobStep::Connect);
    LONG connected = registry.Connect(job.machine, HKEY_USERS);
    bool done = connected == ERROR_SUCCESS ||
                Fail(problem, ConnectProblemText(ConnectFailureText(connected)), kConnectFailedCaption);
    if (done) {
        // Nothing is written for a user who is gone: every export below
        // would otherwise find no key and pass for a user without any.
        TKeyHandle user;
        const LONG result = user.Open(registry.ConnectedKey(), job.user.userKey.c_str());
        if (result == ERROR_FILE_NOT_FOUND)
            done = Fail(problem, "The user " + job.user.homeFolder + " (" + job.user.userKey +
                                     ") is no longer logged on at " + job.machine + ". Connect again to see who is.");
        else if (result != ERROR_SUCCESS)
            done = Fail(problem, "The registry key HKEY_USERS\\" + job.user.userKey + " on " + job.machine +
                                     " cannot be read (error " + std::to_string(result) + ").");
    }
    done = done && set.Begin(problem) && Announce(progress, JobStep::Printers) &&
           registry.ExportToFile(set.Work(), job.user.userKey + "\\Printers", "printers.txt", problem) &&
           Announce(progress, JobStep::Drives) &&
           registry.ExportToFile(set.Work(), job.user.userKey + "\\Network", "drives.txt", problem) &&
           Announce(progress, JobStep::DefaultPrinter) &&
           WriteDefaultPrinterFile(registry.ConnectedKey(), job.user.userKey, set, facts, problem);
    if (done && job.withApps) {
        connected = registry.Connect(job.machine, HKEY_LOCAL_MACHINE);
        done = (connected == ERROR_SUCCESS ||
                Fail(problem, ConnectProblemText(ConnectFailureText(connected)), kConnectFailedCaption)) &&
               Announce(progress, JobStep::InstalledApps) &&
               registry.ExportToFile(set.Work(), kUninstallKey, "apps.txt", problem,
                                     StepEntries(progress, JobStep::InstalledApps)) &&
               MakeAppList(set.WorkPath("apps.txt"), set.WorkPath("SmallApps.txt"), problem) == 0;
        TKeyHandle users;
        connected = done ? users.Connect(job.machine.c_str(), HKEY_USERS) : ERROR_SUCCESS;
        done = done &&
               (connected == ERROR_SUCCESS ||
                Fail(problem, ConnectProblemText(ConnectFailureText(connected)), kConnectFailedCaption)) &&
               Announce(progress, JobStep::ApplicationsList) &&
               WriteApplicationsFile(registry.ConnectedKey(), false, users.Get(), job.user.userKey,
                                     set.WorkPath("Applications.txt"), problem, true,
                                     StepEntries(progress, JobStep::ApplicationsList));
    }
    Announce(progress, JobStep::Files);
    done = done && RenameServersInSet(set, job.map, facts, problem);
    return set.Finish(done, facts, problem) ? 0 : 1;
}
