// The command line's export of 32 machines that do not answer, one at a time
// and eight at a time. Wine fails a name other than its own at once; here
// each failed connection waits as long as a real one does before it gives
// up, so that the figures show what running machines side by side saves.
// Run under Wine by scripts/bench-fleet.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLineRun.h"

namespace {

const DWORD kTimeoutMs = 2000;  // a stand-in for the system's connection timeout

LONG SlowToFail(const std::string& machine, std::vector<RemoteUser>& users, std::string& reason)
{
    const LONG result = ListLoggedOnUsers(machine, users, reason);
    if (result != ERROR_SUCCESS)
        Sleep(kTimeoutMs);
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string out = argc > 1 ? argv[1] : "fleet-bench";
    for (const char* jobs : {"1", "8"}) {
        std::vector<std::string> args = {"/out", out, "/jobs", jobs};
        for (int i = 1; i <= 32; ++i) {
            args.push_back("/machine");
            args.push_back("NOSUCHPC" + std::to_string(i));
        }
        const DWORD start = GetTickCount();
        TFleetSeams seams;
        seams.listUsers = SlowToFail;
        const int code = RunCommandLine(args, seams);
        std::printf("32 machines that do not answer (%.1f s each), /jobs %s: %.1f s, exit code %d\n",
                    kTimeoutMs / 1000.0, jobs, (GetTickCount() - start) / 1000.0, code);
    }
    return 0;
}
