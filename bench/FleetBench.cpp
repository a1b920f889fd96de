// The command line's export of 32 machines that do not answer, eight at a
// time, with and without the look at their sharing ports. Without it, each
// connection waits as long as the system's does before it gives up (the
// lister's delay stands for that timeout: Windows gives up a TCP connect
// after about 21 s); with it, each machine's ports are tried on a loopback
// port that never answers, and the look's cap ends the wait. Run under Wine
// by scripts/bench-fleet.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/CommandLineRun.h"
#include "tests/wine/SilentPort.h"

namespace {

const DWORD kSystemTimeoutMs = 21000;

LONG SlowToFail(const std::string&, std::vector<RemoteUser>& users, std::string& reason)
{
    users.clear();
    Sleep(kSystemTimeoutMs);
    reason = "The machine is not found on the network, or it is switched off. (error 53)";
    return ERROR_BAD_NETPATH;
}

TProbeResult NoLook(const std::string&)
{
    return {ProbeOutcome::Answers, 0};
}

unsigned short gSilentPort = 0;

TProbeResult SilentLook(const std::string&)
{
    return ProbeMachine("127.0.0.1", {gSilentPort, gSilentPort});
}

double Seconds(const std::string& out, const TFleetSeams& seams, int& code)
{
    std::vector<std::string> args = {"/out", out, "/jobs", "8"};
    for (int i = 1; i <= 32; ++i) {
        args.push_back("/machine");
        args.push_back("OFFPC" + std::to_string(i));
    }
    const DWORD start = GetTickCount();
    code = RunCommandLine(args, seams);
    return (GetTickCount() - start) / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::string out = argc > 1 ? argv[1] : "fleet-bench";
    TSilentPort silent;
    gSilentPort = silent.Port();
    TFleetSeams without;
    without.listUsers = SlowToFail;
    without.probe = NoLook;
    TFleetSeams with = without;
    with.probe = SilentLook;
    int codeWith = 0, codeWithout = 0;
    const double withCheck = Seconds(out + "\\with", with, codeWith);
    const double withoutCheck = Seconds(out + "\\without", without, codeWithout);
    std::printf("32 machines that do not answer, /jobs 8: %.1f s with the look at ports 445 and 139 (%.1f s cap, "
                "exit code %d); %.1f s without it (%.1f s system timeout each, exit code %d)\n",
                withCheck, kProbeCapMs / 1000.0, codeWith, withoutCheck, kSystemTimeoutMs / 1000.0, codeWithout);
    return 0;
}
