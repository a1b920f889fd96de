#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "local/JobProgress.h"
#include "local/JobReport.h"
#include "import/ServerMap.h"
#include "remote/ConnectReason.h"
#include "remote/RemoteUserLine.h"

// Every file the remote export can leave in its folder.
extern const std::vector<std::string> kRemoteUserFiles;


// Both run once the machine has passed the look at its ports
// (MachineUnreachableReason): their reasons for a connection that fails tell
// of a machine that answered.

// The users logged on at `machine`: every key of its HKEY_USERS with
// "Volatile Environment\HOMEPATH", in the registry's order. 0, or the Win32
// code of the connection or of the listing, with the reason to tell; users
// is empty unless it is 0. A user key that cannot be read makes the list
// fail: an empty list must mean that nobody is logged on.
LONG ListLoggedOnUsers(const std::string& machine, std::vector<RemoteUser>& users, std::string& reason);

struct RemoteExportJob {
    std::string machine;  // as given to the registry's connect call
    RemoteUser user;
    bool withApps = false;
    std::string outputFolder;
    std::vector<ServerMapping> map;  // servers renamed in the files to import
};

// Exports the user's printers and mapped drives (and, withApps, the
// machine's applications) from the machine's registry into outputFolder,
// replacing the job's earlier files there as a set, or keeping them all.
// 0 when done; 1 with the problem to tell. Each step is told to progress as
// it begins, the applications' entries as they are read.
int ExportRemoteUserFiles(const RemoteExportJob& job, TProblem& problem, const JobProgress& progress = {});
