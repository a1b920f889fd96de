#include "app/CommandLineRun.h"

#include <process.h>

#include <algorithm>
#include <exception>

#include "app/CommandLine.h"
#include "local/LocalExports.h"
#include "local/OutputSet.h"
#include "local/ProfileList.h"
#include "remote/FileBytes.h"
#include "remote/RemoteFolder.h"

namespace {

LogTime Now()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

// Standard output where the caller gave one (a file or a pipe), else the
// console of the caller, if it has one: a GUI program gets neither by itself.
HANDLE StandardOutput()
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN)
        return out;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return nullptr;
    out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return out == INVALID_HANDLE_VALUE ? nullptr : out;
}

// The run's log: one line per source, appended to the log file and written
// to standard output. The file is opened for appending by each line, and each
// line is one write: runs of the tool into the same folder never lose or mix
// each other's lines.
class TRunLog {
public:
    explicit TRunLog(const std::string& path) : path_(path), out_(StandardOutput())
    {
        InitializeCriticalSection(&lock_);
    }
    TRunLog(const TRunLog&) = delete;
    TRunLog& operator=(const TRunLog&) = delete;
    ~TRunLog() { DeleteCriticalSection(&lock_); }

    void Line(const std::string& source, bool ok, const std::string& message)
    {
        const std::string line = LogLine(Now(), source, ok, message);
        const DWORD size = static_cast<DWORD>(line.size());
        DWORD written = 0;
        HANDLE file = CreateFileA(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        const bool logged = file != INVALID_HANDLE_VALUE && WriteFile(file, line.data(), size, &written, nullptr) &&
                            written == size;
        if (file != INVALID_HANDLE_VALUE)
            CloseHandle(file);
        EnterCriticalSection(&lock_);
        if (!logged)
            logFailed_ = true;
        if (!ok)
            anyFailed_ = true;
        if (out_)
            (void)WriteFile(out_, line.data(), size, &written, nullptr);
        LeaveCriticalSection(&lock_);
    }

    // 0 when every source was exported and every line logged, else 1.
    int ExitCode() const { return anyFailed_ || logFailed_ ? 1 : 0; }

private:
    std::string path_;
    HANDLE out_;
    CRITICAL_SECTION lock_;
    bool anyFailed_ = false;
    bool logFailed_ = false;
};

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

// The machines, shared by the workers: each takes the next one that no
// worker has taken, so that each machine's folder has one writer.
struct TFleet {
    std::vector<std::string> machines;
    LONG next = -1;
    bool apps = false;
    std::string out;
    const UserLister* listUsers = nullptr;
    TRunLog* log = nullptr;
};

void ExportMachine(const TFleet& fleet, const std::string& name)
{
    const std::string machine = MachineFolderName(name, IsAnsiLeadByte);
    std::vector<RemoteUser> users;
    if (!IsPlainFolderName(machine, IsAnsiLeadByte)) {
        fleet.log->Line(name, false, "\"" + name + "\" is not the name of a machine.");
        return;
    }
    try {
        if ((*fleet.listUsers)(ConnectName(name, IsAnsiLeadByte), users) != ERROR_SUCCESS) {
            fleet.log->Line(machine, false, kConnectFailedText);
            return;
        }
        if (users.empty()) {
            fleet.log->Line(machine, false, "no user is logged on");
            return;
        }
        const std::vector<std::string> folders = UserFolderNames(users, IsAnsiLeadByte);
        for (std::size_t i = 0; i < users.size(); ++i) {
            RemoteExportJob job;
            job.machine = ConnectName(name, IsAnsiLeadByte);
            job.user = users[i];
            job.withApps = fleet.apps;
            job.outputFolder = JoinPath(JoinPath(fleet.out, machine, IsAnsiLeadByte), folders[i], IsAnsiLeadByte);
            TProblem problem;
            const bool ok = ExportRemoteUserFiles(job, problem) == 0;
            fleet.log->Line(RemoteUserSource(machine, users[i].homeFolder, users[i].userKey), ok, problem.text);
        }
    } catch (const std::exception&) {
        fleet.log->Line(machine, false, "There is not enough memory to finish the remote export.");
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

// Up to `jobs` machines at once: one that does not answer costs the
// system's connection timeout, tens of seconds.
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

} // namespace

int RunCommandLine(const std::vector<std::string>& args, const UserLister& listUsers)
{
    // No box of the system's either, such as the one for a drive without a disk.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    ParsedCommandLine parsed = ParseCommandLine(args);
    CommandLineOptions& options = parsed.options;
    if (parsed.ok && options.help) {
        const std::string usage = UsageText();
        HANDLE out = StandardOutput();
        DWORD written = 0;
        if (out)
            (void)WriteFile(out, usage.data(), static_cast<DWORD>(usage.size()), &written, nullptr);
        return 0;
    }
    std::vector<std::string> machines = options.machines;
    std::string listText;
    if (parsed.ok && !options.machinesFile.empty()) {
        if (ReadTextFile(options.machinesFile, listText)) {
            for (const std::string& name : ParseMachineList(listText))
                machines.push_back(name);
        } else {
            parsed.ok = false;
            parsed.error = "/machines: the file \"" + options.machinesFile + "\" cannot be read";
        }
    }
    const std::string out = options.out.empty() ? CurrentDirectory() : options.out;
    if (!parsed.ok) {
        // A usage error makes no folder: its line goes into the one /out
        // names when that exists, else into the current directory.
        const DWORD attributes = GetFileAttributesA(options.out.c_str());
        const bool outThere = options.outGiven && attributes != INVALID_FILE_ATTRIBUTES &&
                              (attributes & FILE_ATTRIBUTE_DIRECTORY);
        TRunLog log(JoinPath(outThere ? options.out : CurrentDirectory(), "Movara.log", IsAnsiLeadByte));
        log.Line(kCommandLineSource, false, "usage error: " + parsed.error + " (MovaraM /? tells the usage)");
        return 2;
    }

    if (!CreateFolderTree(out)) {
        TRunLog log(JoinPath(CurrentDirectory(), "Movara.log", IsAnsiLeadByte));
        log.Line(kCommandLineSource, false, "the folder " + out + " cannot be created");
        return 1;
    }
    TRunLog log(JoinPath(out, "Movara.log", IsAnsiLeadByte));
    // Hives are loaded under the machine's one HKEY_USERS: the local jobs
    // run one after another.
    if (!options.profiles.empty()) {
        std::string directory = options.profilesDir.empty() ? SystemProfilesDirectory() : options.profilesDir;
        if (!directory.empty())
            directory = JoinPath(directory, "", IsAnsiLeadByte);
        for (const std::string& profile : options.profiles) {
            TProblem problem;
            bool ok = false;
            if (!IsPlainFolderName(profile, IsAnsiLeadByte))
                Fail(problem, "\"" + profile + "\" is not the name of a profile folder.");
            else
                ok = ExportStoredProfileFiles(directory, profile, JoinPath(out, profile, IsAnsiLeadByte), problem) == 0;
            log.Line(ProfileSource(profile), ok, problem.text);
        }
    }
    if (options.current) {
        TProblem problem;
        const bool ok = ExportCurrentUserFiles(JoinPath(out, "CurrentUser", IsAnsiLeadByte), problem) == 0;
        log.Line(kCurrentUserSource, ok, problem.text);
    }
    TFleet fleet;
    fleet.machines = UniqueMachines(machines, IsAnsiLeadByte);
    fleet.apps = options.apps;
    fleet.out = out;
    fleet.listUsers = &listUsers;
    fleet.log = &log;
    ExportFleet(fleet, options.jobs);
    return log.ExitCode();
}
