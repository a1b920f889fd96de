#include "remote/RemoteExport.h"

#include "local/OutputSet.h"
#include "remote/AppListFile.h"
#include "remote/ApplicationsFile.h"
#include "remote/Registry.h"
#include "remote/RemoteUserLine.h"

const std::vector<std::string> kRemoteUserFiles = {
    "printers.txt", "printers.txt.reg", "drives.txt", "drives.txt.reg", "apps.txt", "apps.txt.reg",
    "SmallApps.txt", "Applications.txt", "Source.txt",
};
const char kConnectFailedText[] =
    "Problem connecting to remote machine. Please check to make sure the pc name does exist on the network.";
const char kConnectFailedCaption[] = "Problem locating pc.";

namespace {

const char kLoggedOnMarkKey[] = "Volatile Environment";
const char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

} // namespace

LONG ListLoggedOnUsers(const std::string& machine, std::vector<RemoteUser>& users)
{
    users.clear();
    TRegistry registry;
    const LONG result = registry.Connect(machine, HKEY_USERS);
    if (result != ERROR_SUCCESS)
        return result;
    (void)registry.EnumKeys();  // the keys listed before an error are still worth looking at
    const std::list<std::string> candidates = registry.GetNames();
    // Every logged-on user counts: a terminal server has many.
    for (const std::string& candidate : candidates) {
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

int ExportRemoteUserFiles(const RemoteExportJob& job, TProblem& problem)
{
    TOutputSet set(job.outputFolder, kRemoteUserFiles);
    TRegistry registry;
    bool done = registry.Connect(job.machine, HKEY_USERS) == ERROR_SUCCESS ||
                Fail(problem, kConnectFailedText, kConnectFailedCaption);
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
    done = done && set.Begin(problem) &&
           registry.ExportToFile(set.Work(), job.user.userKey + "\\Printers", "printers.txt", problem) &&
           registry.ExportToFile(set.Work(), job.user.userKey + "\\Network", "drives.txt", problem);
    if (done && job.withApps) {
        done = (registry.Connect(job.machine, HKEY_LOCAL_MACHINE) == ERROR_SUCCESS ||
                Fail(problem, kConnectFailedText, kConnectFailedCaption)) &&
               registry.ExportToFile(set.Work(), kUninstallKey, "apps.txt", problem) &&
               MakeAppList(set.WorkPath("apps.txt"), set.WorkPath("SmallApps.txt"), problem) == 0;
        TKeyHandle users;
        done = done &&
               (users.Connect(job.machine.c_str(), HKEY_USERS) == ERROR_SUCCESS ||
                Fail(problem, kConnectFailedText, kConnectFailedCaption)) &&
               WriteApplicationsFile(registry.ConnectedKey(), false, users.Get(), job.user.userKey,
                                     set.WorkPath("Applications.txt"), problem, true);
    }
    SourceFacts facts;
    facts.kind = SourceKind::RemoteUser;
    facts.name = job.user.userKey;
    facts.homeFolder = job.user.homeFolder;
    facts.place = job.machine;
    return set.Finish(done, facts, problem) ? 0 : 1;
}
