#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/ApplyRun.h"
#include "app/RunLog.h"
#include "remote/RemoteExport.h"

#include "remote/MachineProbe.h"

// Lists the users logged on at a machine, as ListLoggedOnUsers does.
using UserLister =
    std::function<LONG(const std::string& machine, std::vector<RemoteUser>& users, std::string& reason)>;

// What a run asks of the network. Tests and benchmarks put their own in
// place; the tool always runs with these.
struct TFleetSeams {
    UserLister listUsers = ListLoggedOnUsers;
    MachineProbe probe = ProbeSharingPorts;
    RetryWait wait = SleepFor;  // /apply: the pause between looks at a set folder that cannot be read yet
    TConsoleCalls console;
};

// Runs the exports that the arguments (without the program name) ask for,
// without a window or a message box, and returns the exit code: 0 when every
// source was exported and every log line written, 1 when any failed, 2 for a
// usage error.
int RunCommandLine(const std::vector<std::string>& args, const TFleetSeams& seams = TFleetSeams());
