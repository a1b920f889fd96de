#include "app/CommandLineRun.h"

#include <process.h>

#include <algorithm>
#include <exception>
#include <new>

#include "app/ApplyRun.h"
#include "app/CommandLine.h"
#include "app/RunLog.h"
#include "app/SummaryRun.h"
#include "local/LocalExports.h"
#include "local/OutputSet.h"
#include "local/ProfileList.h"
#include "local/RunStop.h"
#include "remote/FileBytes.h"
#include "remote/RemoteFolder.h"

namespace {

std::string CurrentDirectory()
{
    const DWORD needed = GetCurrentDirectoryA(0, nullptr);
    std::string directory(needed, '\0');
    const DWORD length = needed ? GetCurrentDirectoryA(needed, &directory[0]) : 0;
    directory.resize(length < needed ? length : 0);
    return directory;
}

bool ReadTextFile(const std::string& path, std::string& text)
{
    FilePtr file(std::fopen(path.c_str(), "rb"));
    return file && ReadWholeFile(file.get(), text);
}

bool WideToAnsiExactly(const std::u16string& text, std::string& ansi)
{
    ansi.clear();
    if (text.empty())
        return true;
    const std::wstring wide(text.begin(), text.end());
    BOOL defaulted = FALSE;
    const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, &defaulted);
    if (size <= 0 || defaulted)
        return false;
    ansi.resize(static_cast<std::size_t>(size));
    return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), &ansi[0],
                               size, nullptr, &defaulted) == size &&
           !defaulted;
}

// The machines, shared by the workers: each takes the next one that no
// worker has taken, so that each machine's folder has one writer.
struct TFleet {
    std::vector<std::string> machines;
    LONG next = -1;
    bool apps = false;
    std::vector<ServerMapping> map;
    std::string out;
    const TFleetSeams* seams = nullptr;
    TRunLog* log = nullptr;
    const TRunStop* stop = nullptr;
};

// The line of a source that a stopped run did not start.
const char kCancelled[] = "cancelled";

void ExportMachineUsers(const TFleet& fleet, const std::string& name, const std::string& machine)
{
    // A machine that is switched off would cost the system's connection
    // timeout; the look at its sharing ports costs at most a few seconds.
    std::string reason = MachineUnreachableReason(name, fleet.seams->probe);
    std::vector<RemoteUser> users;
    if (!reason.empty() || fleet.seams->listUsers(ConnectName(name, IsAnsiLeadByte), users, reason) != ERROR_SUCCESS) {
        fleet.log->Line(machine, false, ConnectProblemText(reason));
        return;
    }
    if (users.empty()) {
        fleet.log->Line(machine, false, "no user is logged on");
        return;
    }
    const std::vector<std::string> folders = UserFolderNames(users, IsAnsiLeadByte);
    for (std::size_t i = 0; i < users.size(); ++i) {
        const std::string source = RemoteUserSource(machine, users[i].homeFolder, users[i].userKey);
        if (fleet.stop->Asked()) {
            fleet.log->Line(source, false, kCancelled);
            continue;
        }
        TProblem problem;
        bool ok = false;
        try {
            RemoteExportJob job;
            job.machine = ConnectName(name, IsAnsiLeadByte);
            job.user = users[i];
            job.withApps = fleet.apps;
            job.map = fleet.map;
            job.outputFolder = JoinPath(JoinPath(fleet.out, machine, IsAnsiLeadByte), folders[i], IsAnsiLeadByte);
            ok = ExportRemoteUserFiles(job, problem) == 0;
        } catch (const std::exception& e) {
            Fail(problem, ExceptionText(&e));
        } catch (...) {
            Fail(problem, ExceptionText(nullptr));
        }
        fleet.log->Line(source, ok, problem);
    }
}

void ExportMachine(const TFleet& fleet, const std::string& name)
{
    const std::string machine = MachineFolderName(name, IsAnsiLeadByte);
    if (!IsPlainFolderName(machine, IsAnsiLeadByte)) {
        fleet.log->Line(name, false, "\"" + name + "\" is not the name of a machine.");
        return;
    }
    if (fleet.stop->Asked()) {
        fleet.log->Line(machine, false, kCancelled);
        return;
    }
    try {
        ExportMachineUsers(fleet, name, machine);
    } catch (const std::exception& e) {
        fleet.log->Line(machine, false, ExceptionText(&e));
    } catch (...) {
        fleet.log->Line(machine, false, ExceptionText(nullptr));
    }
}

unsigned __stdcall FleetWorker(void* data)
{
    TFleet& fleet = *static_cast<TFleet*>(data);
    for (LONG i = InterlockedIncrement(&fleet.next); i < static_cast<LONG>(fleet.machines.size());
         i = InterlockedIncrement(&fleet.next))
        ExportMachine(fleet, fleet.machines[static_cast<std::size_t>(i)]);
    return 0;
}

// Up to `jobs` machines at once: one that does not answer still costs the
// look at its ports.
void ExportFleet(TFleet& fleet, int jobs)
{
    std::vector<HANDLE> workers;
    const std::size_t count = std::min<std::size_t>(static_cast<std::size_t>(jobs), fleet.machines.size());
    for (std::size_t i = 0; i < count; ++i) {
        const uintptr_t worker = _beginthreadex(nullptr, 0, FleetWorker, &fleet, 0, nullptr);
        if (worker)
            workers.push_back(reinterpret_cast<HANDLE>(worker));
    }
    // Without any thread the machines still get exported, one at a time.
    if (workers.empty())
        (void)FleetWorker(&fleet);
    for (HANDLE worker : workers) {
        WaitForSingleObject(worker, INFINITE);
        CloseHandle(worker);
    }
}

// One local source, whatever its job throws: a box of the runtime would
// wait for a person that a scheduled run does not have.
template <class Job>
void ExportLocal(TRunLog& log, const TRunStop& stop, const std::string& source, Job job)
{
    if (stop.Asked()) {
        log.Line(source, false, kCancelled);
        return;
    }
    TProblem problem;
    bool ok = false;
    try {
        ok = job(problem);
    } catch (const std::exception& e) {
        Fail(problem, ExceptionText(&e));
    } catch (...) {
        Fail(problem, ExceptionText(nullptr));
    }
    log.Line(source, ok, problem);
}

std::string Quoted(const std::vector<std::string>& items)
{
    std::string text;
    for (const std::string& item : items)
        text += (text.empty() ? "\"" : ", \"") + item + "\"";
    return text;
}

} // namespace

int RunCommandLine(const std::vector<std::string>& args, const TFleetSeams& seams)
{
    // No box of the system's either: neither the one for a drive without a
    // disk nor the fault box after a crash (children inherit the mode).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX | SEM_NOGPFAULTERRORBOX);
    ParsedCommandLine parsed = ParseCommandLine(args, IsAnsiLeadByte);
    CommandLineOptions& options = parsed.options;
    if (parsed.ok && options.help) {
        const std::string usage = UsageText();
        HANDLE out = StandardOutput(seams.console);
        DWORD written = 0;
        if (out)
            (void)WriteFile(out, usage.data(), static_cast<DWORD>(usage.size()), &written, nullptr);
        return 0;
    }
    if (parsed.ok && !options.apply.empty())
        return RunApply(options, {seams.probe, seams.wait});
    if (parsed.ok && !options.summary.empty())
        return RunSummary(options);
    // Listed before the log attaches to the console: from then on Ctrl+C
    // stops this run between its sources instead of ending the process.
    TRunStop stop;
    std::vector<std::string> machines = options.machines;
    std::vector<std::string> badNames;  // each gets a failed line
    std::vector<std::string> emptyLists;
    for (const std::string& file : options.machinesFiles) {
        if (!parsed.ok)
            break;
        std::string bytes;
        if (!ReadTextFile(file, bytes)) {
            parsed.ok = false;
            parsed.error = "/machines: the file \"" + file + "\" cannot be read";
            break;
        }
        bool named = false;
        for (const MachineListName& entry : ReadMachineList(bytes, WideToAnsiExactly)) {
            named = true;
            if (entry.ok && !MachineFolderName(entry.name, IsAnsiLeadByte).empty())
                machines.push_back(entry.name);
            else
                badNames.push_back(entry.name);
        }
        if (!named)
            emptyLists.push_back(file);
    }
    const std::vector<std::string> fleetMachines = UniqueMachines(machines, IsAnsiLeadByte);
    if (parsed.ok && fleetMachines.empty() && badNames.empty() && options.profiles.empty() && !options.current) {
        // Lists that name no machine must not pass for a fleet that was exported.
        parsed.ok = false;
        parsed.error = emptyLists.size() == 1 ? "/machines: the list " + Quoted(emptyLists) + " names no machine"
                       : !emptyLists.empty()  ? "/machines: the lists " + Quoted(emptyLists) + " name no machine"
                                              : "/machine: the machine name is empty";
    }
    const std::string out = options.out.empty() ? CurrentDirectory() : options.out;
    if (!parsed.ok) {
        // A usage error makes no folder: its line goes into the one /out
        // names when that exists, else into the current directory.
        const DWORD attributes = GetFileAttributesA(options.out.c_str());
        const bool outThere = options.outGiven && attributes != INVALID_FILE_ATTRIBUTES &&
                              (attributes & FILE_ATTRIBUTE_DIRECTORY);
        TRunLog log(JoinPath(outThere ? options.out : CurrentDirectory(), "Movara.log", IsAnsiLeadByte), seams.console);
        log.Line(kCommandLineSource, false, "usage error: " + parsed.error + " (MovaraM /? tells the usage)");
        return 2;
    }

    if (!CreateFolderTree(out)) {
        TRunLog log(JoinPath(CurrentDirectory(), "Movara.log", IsAnsiLeadByte), seams.console);
        log.Line(kCommandLineSource, false, "the folder " + out + " cannot be created");
        return 1;
    }
    TRunLog log(JoinPath(out, "Movara.log", IsAnsiLeadByte), seams.console);
    for (const std::string& name : badNames)
        log.Line(name, false,
                 name.empty() || MachineFolderName(name, IsAnsiLeadByte).empty()
                     ? "\"" + name + "\" is not the name of a machine."
                     : "The name cannot be written in this system's code page, so no machine can be asked by it.");
    // Hives are loaded under the machine's one HKEY_USERS: the local jobs
    // run one after another.
    if (!options.profiles.empty()) {
        std::string directory = options.profilesDir.empty() ? SystemProfilesDirectory() : options.profilesDir;
        if (!directory.empty())
            directory = JoinPath(directory, "", IsAnsiLeadByte);
        for (const std::string& profile : options.profiles)
            ExportLocal(log, stop, ProfileSource(profile), [&](TProblem& problem) {
                if (!IsPlainFolderName(profile, IsAnsiLeadByte))
                    return Fail(problem, "\"" + profile + "\" is not the name of a profile folder.");
                return ExportStoredProfileFiles(directory, profile, JoinPath(out, profile, IsAnsiLeadByte), problem,
                                                options.map) == 0;
            });
    }
    if (options.current)
        ExportLocal(log, stop, kCurrentUserSource, [&](TProblem& problem) {
            return ExportCurrentUserFiles(JoinPath(out, "CurrentUser", IsAnsiLeadByte), problem, options.map) == 0;
        });
    TFleet fleet;
    fleet.machines = fleetMachines;
    fleet.apps = options.apps;
    fleet.map = options.map;
    fleet.out = out;
    fleet.seams = &seams;
    fleet.log = &log;
    fleet.stop = &stop;
    ExportFleet(fleet, options.jobs);
    // A logon script's run of /current or /profile must not read a whole share.
    if (!options.machines.empty() || !options.machinesFiles.empty())
        SummarizeExports(log, out);
    return log.ExitCode();
}
