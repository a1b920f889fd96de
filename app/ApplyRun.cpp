#include "app/ApplyRun.h"

#include <windows.h>
#include <winnetwk.h>
#include <winspool.h>

#include <algorithm>
#include <exception>
#include <map>
#include <new>

#include "app/RunLog.h"
#include "import/ApplyPlan.h"
#include "local/ImportFiles.h"
#include "local/OutputSet.h"
#include "import/ServerMap.h"
#include "local/SourceText.h"
#include "remote/KeyHandle.h"

const char kAppliedSetsKey[] = "Software\\Movara\\Applied sets";

namespace {

const char kSourceFile[] = "Source.txt";

std::string NarrowUtf16(const std::u16string& units)
{
    if (units.empty())
        return std::string();
    const std::wstring wide(units.begin(), units.end());
    const int size =
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(size > 0 ? static_cast<std::size_t>(size) : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size, nullptr, nullptr);
    return text;
}

std::string SystemText(DWORD error)
{
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, error, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = length && text ? std::string(text, length) : std::string();
    if (text)
        LocalFree(text);
    while (!result.empty() && (result.back() == '\r' || result.back() == '\n' || result.back() == ' '))
        result.pop_back();
    return result;
}

std::string ErrorText(DWORD error)
{
    const std::string text = SystemText(error);
    return (text.empty() ? std::string() : text + " ") + "(error " + std::to_string(error) + ")";
}

std::string TempFolder()
{
    char path[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof path, path);
    return length && length < sizeof path ? std::string(path, length) : std::string();
}

// A file's units as the narrow registry calls take them: one char each.
std::string Bytes(const RegUnits& units)
{
    return std::string(units.begin(), units.end());
}

std::wstring Wide(const RegUnits& units)
{
    return std::wstring(units.begin(), units.end());
}

// Writes the lines of a plan into HKEY_CURRENT_USER: an Ansi file's with the
// narrow calls, which take its strings as ANSI as the system's import of a
// REGEDIT4 file does, a Utf16 file's with the wide ones, byte for byte.
class TWriter {
public:
    explicit TWriter(const std::vector<ApplyFile>& files) : files_(files) {}

    LONG Write(const ApplyWrite& write)
    {
        const RegFile& file = files_[write.file].file;
        if (write.file != file_ || write.key != keyItem_) {
            key_.Close();
            const RegUnits path = KeyBelowRoot(file.items[write.key].key);
            keyResult_ = file.form == RegFileForm::Utf16 ? key_.Create(HKEY_CURRENT_USER, Wide(path).c_str())
                                                         : key_.Create(HKEY_CURRENT_USER, Bytes(path).c_str());
            file_ = write.file;
            keyItem_ = write.key;
        }
        const RegItem& item = file.items[write.item];
        if (keyResult_ != ERROR_SUCCESS || item.kind != RegItemKind::Value)
            return keyResult_;
        const BYTE* data = reinterpret_cast<const BYTE*>(item.data.data());
        const DWORD size = static_cast<DWORD>(item.data.size());
        if (file.form == RegFileForm::Utf16)
            return RegSetValueExW(key_.Get(), Wide(item.name).c_str(), 0, item.type, data, size);
        return RegSetValueExA(key_.Get(), Bytes(item.name).c_str(), 0, item.type, data, size);
    }

private:
    const std::vector<ApplyFile>& files_;
    TKeyHandle key_;
    std::size_t file_ = std::string::npos;
    std::size_t keyItem_ = std::string::npos;
    LONG keyResult_ = ERROR_SUCCESS;
};

// A string value below HKEY_CURRENT_USER; empty when there is none.
std::string ReadString(const std::string& path, const char* name)
{
    TKeyHandle key;
    if (key.Open(HKEY_CURRENT_USER, path.c_str()) != ERROR_SUCCESS)
        return std::string();
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return std::string();
    std::string text(size, '\0');
    if (RegQueryValueExA(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&text[0]), &size) != ERROR_SUCCESS)
        return std::string();
    text.resize(std::min<std::size_t>(size, text.size()));
    return text.substr(0, text.find('\0'));
}

// The RemotePath the user's profile remembers for the drive letter.
std::string RememberedPath(char letter)
{
    return ReadString(std::string("Network\\") + letter, "RemotePath");
}

// The path the drive letter is connected to now, or remembered but not
// connected (ERROR_CONNECTION_UNAVAIL); empty for neither.
std::string ConnectionPath(char letter, DWORD& result)
{
    const std::string drive = std::string(1, letter) + ":";
    std::string path(MAX_PATH, '\0');
    DWORD size = static_cast<DWORD>(path.size());
    result = WNetGetConnectionA(drive.c_str(), &path[0], &size);
    if (result == ERROR_MORE_DATA) {
        path.assign(size, '\0');
        result = WNetGetConnectionA(drive.c_str(), &path[0], &size);
    }
    if (result != NO_ERROR && result != ERROR_CONNECTION_UNAVAIL)
        return std::string();
    return path.substr(0, path.find('\0'));
}

DriveState ReadDriveState(char letter)
{
    DriveState state;
    const UINT type = GetDriveTypeA((std::string(1, letter) + ":\\").c_str());
    state.local = type != DRIVE_NO_ROOT_DIR && type != DRIVE_REMOTE;
    state.remembered = RememberedPath(letter);
    DWORD result = NO_ERROR;
    const std::string path = ConnectionPath(letter, result);
    if (result == NO_ERROR)
        state.connected = path;
    else if (result == ERROR_CONNECTION_UNAVAIL && state.remembered.empty())
        state.remembered = path;  // remembered, but not connected now
    return state;
}

// Connects without a prompt (no CONNECT_INTERACTIVE) and without writing the
// profile (no CONNECT_UPDATE_PROFILE): its entries are written already.
DWORD ConnectDrive(char letter, const std::string& path)
{
    std::string local = std::string(1, letter) + ":";
    std::string remote = path;
    NETRESOURCEA resource = {};
    resource.dwType = RESOURCETYPE_DISK;
    resource.lpLocalName = &local[0];
    resource.lpRemoteName = &remote[0];
    return WNetAddConnection2A(&resource, nullptr, nullptr, 0);
}

// The error of a call that returned FALSE. One that failed without saying
// why (Wine's AddPrinterConnectionA leaves the last error alone) has still
// failed.
DWORD LastErrorOfFailure()
{
    const DWORD error = GetLastError();
    return error != NO_ERROR ? error : ERROR_UNIDENTIFIED_ERROR;
}

DWORD ConnectPrinter(const std::string& name)
{
    std::string printer = name;
    SetLastError(NO_ERROR);
    return AddPrinterConnectionA(&printer[0]) ? NO_ERROR : LastErrorOfFailure();
}

DWORD MakeDefaultPrinter(const std::string& name)
{
    // An empty name would make the first printer the default.
    if (name.empty())
        return NO_ERROR;
    SetLastError(NO_ERROR);
    return SetDefaultPrinterA(name.c_str()) ? NO_ERROR : LastErrorOfFailure();
}

// One named group on its way through the run.
struct TGroupRun {
    const ApplyGroup* group = nullptr;
    DriveState drive;
    std::string failure;  // in use, or what could not be written; empty: written
};

std::string Upper(const std::string& text)
{
    return UpperAsciiLetters(text, IsAnsiLeadByte);
}

class TApply {
public:
    TApply(const std::vector<ApplyFile>& files, const std::vector<ServerMapping>& map, TRunLog& log,
           const MachineProbe& probe)
        : files_(files), map_(map), log_(log), writer_(files), probe_(probe)
    {
    }

    void Run(const ApplyPlan& plan)
    {
        for (const ApplyLine& line : plan.refused)
            log_.Line(line.source, false, line.message);
        std::vector<TGroupRun> runs;
        for (const ApplyGroup& group : plan.groups) {
            if (group.kind == ApplyKind::Settings) {
                WriteSettings(group);
                continue;
            }
            TGroupRun run;
            run.group = &group;
            if (group.kind == ApplyKind::Drive) {
                run.drive = ReadDriveState(group.letter);
                run.failure = DriveInUse(group.letter, group.target, run.drive, map_, IsAnsiLeadByte);
            }
            if (run.failure.empty())
                run.failure = WriteGroup(group);
            runs.push_back(run);
        }
        // Connected only once every line is in place; the default printer
        // last, since it can only be set once its connection is there.
        for (const TGroupRun& run : runs)
            Connect(run);
    }

private:
    // Every line of the group; what failed, else empty.
    std::string WriteGroup(const ApplyGroup& group)
    {
        std::string failure;
        std::size_t more = 0;
        for (const ApplyWrite& write : group.writes) {
            const LONG result = writer_.Write(write);
            if (result == ERROR_SUCCESS)
                continue;
            if (failure.empty())
                failure = WriteText(files_, write, NarrowUtf16) + " could not be written: " + ErrorText(result);
            else
                ++more;
        }
        if (more)
            failure += " (and " + std::to_string(more) + " more)";
        return failure;
    }

    // Settings have no line of their own: a line that fails is told alone.
    void WriteSettings(const ApplyGroup& group)
    {
        for (const ApplyWrite& write : group.writes) {
            const LONG result = writer_.Write(write);
            if (result != ERROR_SUCCESS)
                log_.Line(files_[write.file].name + " line " +
                              std::to_string(files_[write.file].file.items[write.item].line),
                          false, WriteText(files_, write, NarrowUtf16) + " could not be written: " + ErrorText(result));
        }
    }

    // Why the server cannot be connected to now; empty when it answers. Its
    // ports are looked at once a run: a server that is switched off costs
    // that look, not the redirector's timeout for each of its drives and
    // printers.
    const std::string& Unreachable(const std::string& server)
    {
        const std::string key = Upper(server);
        auto seen = unreachable_.find(key);
        if (seen == unreachable_.end())
            seen = unreachable_.emplace(key, MachineUnreachableReason(server, probe_)).first;
        return seen->second;
    }

    // The look comes first where the item is reached through Windows file
    // and printer sharing; a NetWare or WebDAV server need not answer on
    // its ports.
    std::string PutOff(const ApplyGroup& group)
    {
        const std::string server = ServerOfPath(group.target, IsAnsiLeadByte);
        return group.sharing && !server.empty() ? Unreachable(server) : std::string();
    }

    void Connect(const TGroupRun& run)
    {
        const ApplyGroup& group = *run.group;
        ConnectVerdict verdict;
        ConnectFacts facts;
        facts.kind = group.kind;
        if (!run.failure.empty()) {
            verdict = {ApplyOutcome::Failed, run.failure};
        } else {
            if (group.kind == ApplyKind::Drive) {
                // Already connected to this path (DriveInUse let it through), or no path to connect to.
                if (run.drive.connected.empty() && !group.target.empty()) {
                    facts.putOff = PutOff(group);
                    if (facts.putOff.empty())
                        facts.error = ConnectDrive(group.letter, group.target);
                    if (facts.error == ERROR_ALREADY_ASSIGNED || facts.error == ERROR_DEVICE_ALREADY_REMEMBERED) {
                        DWORD result = NO_ERROR;
                        const std::string now = ConnectionPath(group.letter, result);
                        facts.targetThere = result == NO_ERROR && Upper(now) == Upper(group.target);
                    }
                }
            } else if (group.kind == ApplyKind::Printer) {
                facts.putOff = PutOff(group);
                if (facts.putOff.empty())
                    facts.error = ConnectPrinter(group.target);
            } else {
                // The default printer follows its printer of the set; one
                // that the set does not connect gets the look of its own.
                const auto printer = printers_.find(Upper(group.target));
                facts.putOff = printer != printers_.end() ? printer->second : PutOff(group);
                if (facts.putOff.empty())
                    facts.error = MakeDefaultPrinter(group.target);
            }
            if (facts.error != NO_ERROR)
                facts.systemText = SystemText(facts.error);
            verdict = DecideConnect(facts);
        }
        if (group.kind == ApplyKind::Printer) {
            const bool putOff = verdict.outcome == ApplyOutcome::NextLogon;
            printers_[Upper(group.target)] =
                !putOff ? std::string() : !facts.putOff.empty() ? facts.putOff : ErrorReason(facts.error, facts.systemText);
        }
        log_.Line(group.source, verdict.outcome != ApplyOutcome::Failed, verdict.message);
    }

    const std::vector<ApplyFile>& files_;
    const std::vector<ServerMapping>& map_;
    TRunLog& log_;
    TWriter writer_;
    const MachineProbe& probe_;
    std::map<std::string, std::string> unreachable_;  // by server, upper case
    std::map<std::string, std::string> printers_;     // the printers tried, upper case: why put off, or empty
};

// A set's files as one look at its folder found them.
struct TSetRead {
    bool hasSource = false;
    std::string source;               // Source.txt
    std::vector<SetFileBytes> files;  // the files to import that are there, in the order of kApplyFileNames
};

// What kept a look at the set from reading it: the error and the path it
// came from. error 0: read.
struct TReadFailure {
    DWORD error = NO_ERROR;
    std::string path;
};

// Reads a whole file: NO_ERROR, ERROR_FILE_NOT_FOUND when there is no file
// of that name (a folder of that name is none), or why it cannot be read.
DWORD ReadWholeFileAt(const std::string& path, std::string& bytes)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        return error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
        return ERROR_FILE_NOT_FOUND;
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD error = NO_ERROR;
    const DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE) {
        error = GetLastError();
    } else {
        bytes.assign(size, '\0');
        DWORD done = 0;
        while (done < size) {
            DWORD read = 0;
            if (!ReadFile(file, &bytes[done], size - done, &read, nullptr)) {
                error = GetLastError();
                break;
            }
            if (read == 0) {
                error = ERROR_HANDLE_EOF;  // shorter than its size said: changed while read
                break;
            }
            done += read;
        }
    }
    CloseHandle(file);
    return error;
}

TReadFailure ReadSetOnce(const std::string& folder, TSetRead& set)
{
    set = TSetRead();
    const DWORD attributes = GetFileAttributesA(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        DWORD error = GetLastError();
        // A drive letter that is not there yet (the logon script's mapped
        // drive) is waited for like a share; a folder missing on a drive
        // that is there is not.
        if (folder.size() >= 2 && folder[1] == ':' &&
            GetDriveTypeA((folder.substr(0, 2) + "\\").c_str()) == DRIVE_NO_ROOT_DIR)
            error = ERROR_INVALID_DRIVE;
        return {error, folder};
    }
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {ERROR_DIRECTORY, folder};
    const std::string source = JoinPath(folder, kSourceFile, IsAnsiLeadByte);
    DWORD error = ReadWholeFileAt(source, set.source);
    if (error != NO_ERROR && error != ERROR_FILE_NOT_FOUND)
        return {error, source};
    set.hasSource = error == NO_ERROR;
    for (const char* name : kApplyFileNames) {
        const std::string path = JoinPath(folder, name, IsAnsiLeadByte);
        SetFileBytes file;
        file.name = name;
        error = ReadWholeFileAt(path, file.bytes);
        if (error == ERROR_FILE_NOT_FOUND)
            continue;
        if (error != NO_ERROR)
            return {error, path};
        set.files.push_back(std::move(file));
    }
    return TReadFailure();
}

// Reads the set, looking again for up to kSetRetryMs while it cannot be
// read: the time of the looks themselves counts (a share that does not
// answer takes a while to say so), and so does each pause.
TReadFailure ReadSet(const std::string& folder, TSetRead& set, const RetryWait& wait)
{
    DWORD spent = 0;
    for (;;) {
        const DWORD start = GetTickCount();
        const TReadFailure failure = ReadSetOnce(folder, set);
        spent += GetTickCount() - start;
        if (failure.error == NO_ERROR || (failure.path == folder && SetFolderAbsent(failure.error)) ||
            spent >= kSetRetryMs)
            return failure;
        const DWORD pause = std::min(kSetRetryPauseMs, kSetRetryMs - spent);
        wait(pause);
        spent += pause;
    }
}

std::string MarkKey(const std::string& identity)
{
    return std::string(kAppliedSetsKey) + "\\" + identity;
}

// The time the set was applied, from its mark; empty when it was not.
std::string AppliedTime(const std::string& identity)
{
    return ReadString(MarkKey(identity), "Applied");
}

LONG SetString(HKEY key, const char* name, const std::string& text)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1));
}

LONG WriteMark(const std::string& identity, const std::string& folder, const TSetRead& set)
{
    const LogTime t = LogNow();
    const std::string source = SourceTextLine(set.source, kSourceLabel);
    const std::string exported = SourceTextLine(set.source, kExportedLabel);
    std::string what = source.empty() ? "a set without Source.txt" : source;
    if (!exported.empty())
        what += ", exported " + exported;
    TKeyHandle key;
    LONG result = key.Create(HKEY_CURRENT_USER, MarkKey(identity).c_str());
    if (result == ERROR_SUCCESS)
        result = SetString(key.Get(), "Set", what);
    if (result == ERROR_SUCCESS)
        result = SetString(key.Get(), "Folder", folder);
    // The time last, so that a mark half written is no mark.
    if (result == ERROR_SUCCESS)
        result = SetString(key.Get(), "Applied", TimeStampText(t.year, t.month, t.day, t.hour, t.minute, t.second));
    return result;
}

// Imports the set that was read; the log says what became of each part.
void ApplySet(const CommandLineOptions& options, const TApplySeams& seams, const TSetRead& set, TRunLog& log)
{
    const std::string& folder = options.apply;
    // A set cut short (a copy that stopped half-way, a file deleted) is not
    // imported in part: its mark would keep the rest from ever coming.
    bool whole = true;
    for (const std::string& name : SourceImportNames(set.source)) {
        const bool there = std::any_of(set.files.begin(), set.files.end(),
                                       [&](const SetFileBytes& file) { return file.name == name; });
        if (!there) {
            log.Line(folder, false, "Source.txt names " + name + ", which is not in the folder: nothing was imported");
            whole = false;
        }
    }
    if (!whole)
        return;
    if (set.files.empty()) {
        // Source.txt alone: the set of a user without drives or printers.
        log.Line(folder, true, "nothing to import");
        return;
    }
    std::vector<SetFileBytes> identified;
    if (set.hasSource)
        identified.push_back({kSourceFile, set.source});
    identified.insert(identified.end(), set.files.begin(), set.files.end());
    const std::string identity = SetIdentity(identified, options.map, IsAnsiLeadByte);
    if (!options.again) {
        const std::string applied = AppliedTime(identity);
        if (!applied.empty()) {
            // At every later logon: the user's own changes since are kept.
            log.Line(folder, true, "applied on " + applied + ", nothing to do");
            return;
        }
    }
    std::vector<ApplyFile> files;
    for (const SetFileBytes& read : set.files) {
        ApplyFile file;
        file.name = read.name;
        file.file = ReadRegFile(read.bytes, IsAnsiLeadByte);
        RenameServers(file.file, options.map, WidenAnsi);
        files.push_back(std::move(file));
    }
    const ApplyPlan plan = PlanApply(files, NarrowUtf16, IsAnsiLeadByte);
    if (plan.groups.empty() && plan.refused.empty()) {
        log.Line(folder, true, "nothing to import");
        return;
    }
    TApply(files, options.map, log, seams.probe).Run(plan);
    const LONG marked = WriteMark(identity, folder, set);
    if (marked != ERROR_SUCCESS)
        log.Line(folder, false,
                 "the mark that the set is applied could not be written under HKEY_CURRENT_USER\\" +
                     std::string(kAppliedSetsKey) + ": " + ErrorText(marked) + "; the next run applies it again");
}

std::string FileList()
{
    std::string list = kSourceFile;
    for (const char* name : kApplyFileNames)
        list += ", " + std::string(name);
    return list;
}

} // namespace

int RunApply(const CommandLineOptions& options, const TApplySeams& seams)
{
    const std::string& folder = options.apply;
    // The set's folder is not written: it is often a share the user may only
    // read, or that other users read from.
    const bool out = options.outGiven && !options.out.empty();
    const std::string logFolder = out ? options.out : TempFolder();
    TSetRead set;
    TReadFailure failure;
    try {
        failure = ReadSet(folder, set, seams.wait);
    } catch (const std::bad_alloc&) {
        failure = {ERROR_NOT_ENOUGH_MEMORY, folder};
    }
    const bool absent = failure.error != NO_ERROR && failure.path == folder && SetFolderAbsent(failure.error);
    if (absent || (failure.error == NO_ERROR && !set.hasSource && set.files.empty())) {
        // A usage error makes no folder.
        TRunLog log(JoinPath(out && IsFolder(options.out) ? options.out : TempFolder(), "Movara.log", IsAnsiLeadByte));
        log.Line(kCommandLineSource, false,
                 "usage error: /apply: " +
                     (absent ? "the folder " + folder + " cannot be found: " + ErrorText(failure.error)
                             : "the folder " + folder + " holds none of " + FileList()) +
                     " (MovaraM /? tells the usage)");
        return 2;
    }
    if (!CreateFolderTree(logFolder)) {
        TRunLog log(JoinPath(TempFolder(), "Movara.log", IsAnsiLeadByte));
        log.Line(kCommandLineSource, false, "the folder " + logFolder + " cannot be created");
        return 1;
    }
    TRunLog log(JoinPath(logFolder, "Movara.log", IsAnsiLeadByte));
    if (failure.error != NO_ERROR) {
        log.Line(folder, false,
                 failure.path + " cannot be read, also after " + std::to_string(kSetRetryMs / 1000) +
                     " seconds of trying: " + ErrorText(failure.error) + "; nothing was imported");
        return log.ExitCode();
    }
    try {
        ApplySet(options, seams, set, log);
    } catch (const std::exception& e) {
        log.Line(folder, false, ExceptionText(&e, "import"));
    } catch (...) {
        log.Line(folder, false, ExceptionText(nullptr, "import"));
    }
    return log.ExitCode();
}
