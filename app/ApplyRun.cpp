#include "app/ApplyRun.h"

#include <windows.h>
#include <winnetwk.h>
#include <winspool.h>

#include <algorithm>
#include <exception>
#include <new>

#include "app/RunLog.h"
#include "local/ApplyPlan.h"
#include "local/ImportFiles.h"
#include "local/OutputSet.h"
#include "local/ServerMap.h"
#include "remote/FileBytes.h"
#include "remote/KeyHandle.h"

namespace {

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

// The RemotePath the user's profile remembers for the drive letter.
std::string RememberedPath(char letter)
{
    TKeyHandle key;
    if (key.Open(HKEY_CURRENT_USER, (std::string("Network\\") + letter).c_str()) != ERROR_SUCCESS)
        return std::string();
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.Get(), "RemotePath", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ) || size == 0)
        return std::string();
    std::string path(size, '\0');
    if (RegQueryValueExA(key.Get(), "RemotePath", nullptr, &type, reinterpret_cast<BYTE*>(&path[0]), &size) !=
        ERROR_SUCCESS)
        return std::string();
    path.resize(std::min<std::size_t>(size, path.size()));
    return path.substr(0, path.find('\0'));
}

DriveState ReadDriveState(char letter)
{
    DriveState state;
    const std::string drive = std::string(1, letter) + ":";
    const UINT type = GetDriveTypeA((drive + "\\").c_str());
    state.local = type != DRIVE_NO_ROOT_DIR && type != DRIVE_REMOTE;
    state.remembered = RememberedPath(letter);
    std::string path(MAX_PATH, '\0');
    DWORD size = static_cast<DWORD>(path.size());
    DWORD result = WNetGetConnectionA(drive.c_str(), &path[0], &size);
    if (result == ERROR_MORE_DATA) {
        path.assign(size, '\0');
        result = WNetGetConnectionA(drive.c_str(), &path[0], &size);
    }
    path = path.substr(0, path.find('\0'));
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

DWORD ConnectPrinter(const std::string& name)
{
    std::string printer = name;
    return AddPrinterConnectionA(&printer[0]) ? NO_ERROR : GetLastError();
}

DWORD MakeDefaultPrinter(const std::string& name)
{
    // An empty name would make the first printer the default.
    if (name.empty())
        return NO_ERROR;
    return SetDefaultPrinterA(name.c_str()) ? NO_ERROR : GetLastError();
}

// One named group on its way through the run.
struct TGroupRun {
    const ApplyGroup* group = nullptr;
    DriveState drive;
    std::string failure;  // in use, or what could not be written; empty: written
};

class TApply {
public:
    TApply(const std::vector<ApplyFile>& files, TRunLog& log) : files_(files), log_(log), writer_(files) {}

    void Run()
    {
        const ApplyPlan plan = PlanApply(files_, NarrowUtf16, IsAnsiLeadByte);
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
                run.failure = DriveInUse(group.letter, group.target, run.drive, IsAnsiLeadByte);
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

    void Connect(const TGroupRun& run)
    {
        const ApplyGroup& group = *run.group;
        if (!run.failure.empty()) {
            log_.Line(group.source, false, run.failure);
            return;
        }
        DWORD result = NO_ERROR;
        if (group.kind == ApplyKind::Drive) {
            const bool connected = !run.drive.connected.empty();  // to this path: DriveInUse let it through
            if (!connected && !group.target.empty())
                result = ConnectDrive(group.letter, group.target);
        } else if (group.kind == ApplyKind::Printer) {
            result = ConnectPrinter(group.target);
        } else {
            result = MakeDefaultPrinter(group.target);
        }
        log_.Line(group.source, true,
                  result == NO_ERROR ? std::string() : NextLogonNote(group.kind, result, SystemText(result)));
    }

    const std::vector<ApplyFile>& files_;
    TRunLog& log_;
    TWriter writer_;
};

std::string FileList()
{
    std::string list;
    for (const char* name : kApplyFileNames)
        list += (list.empty() ? "" : ", ") + std::string(name);
    return list;
}

} // namespace

int RunApply(const CommandLineOptions& options)
{
    const std::string& folder = options.apply;
    std::vector<std::string> present;
    for (const char* name : kApplyFileNames) {
        if (IsFile(JoinPath(folder, name, IsAnsiLeadByte)))
            present.push_back(name);
    }
    // The set's folder is not written: it is often a share the user may only
    // read, or that other users read from.
    const bool out = options.outGiven && !options.out.empty();
    const std::string logFolder = out ? options.out : TempFolder();
    if (present.empty()) {
        // A usage error makes no folder.
        TRunLog log(JoinPath(out && IsFolder(options.out) ? options.out : TempFolder(), "Movara.log", IsAnsiLeadByte));
        log.Line(kCommandLineSource, false,
                 "usage error: /apply: the folder " + folder + " holds none of " + FileList() +
                     " (MovaraM /? tells the usage)");
        return 2;
    }
    if (!CreateFolderTree(logFolder)) {
        TRunLog log(JoinPath(TempFolder(), "Movara.log", IsAnsiLeadByte));
        log.Line(kCommandLineSource, false, "the folder " + logFolder + " cannot be created");
        return 1;
    }
    TRunLog log(JoinPath(logFolder, "Movara.log", IsAnsiLeadByte));
    try {
        std::vector<ApplyFile> files;
        for (const std::string& name : present) {
            const std::string path = JoinPath(folder, name, IsAnsiLeadByte);
            FilePtr stream(std::fopen(path.c_str(), "rb"));
            std::string bytes;
            if (!stream || !ReadWholeFile(stream.get(), bytes)) {
                log.Line(name, false, "the file " + path + " cannot be read");
                continue;
            }
            ApplyFile file;
            file.name = name;
            file.file = ReadRegFile(bytes, IsAnsiLeadByte);
            RenameServers(file.file, options.map, WidenAnsi);
            files.push_back(std::move(file));
        }
        TApply(files, log).Run();
    } catch (const std::exception& e) {
        log.Line(folder, false, ExceptionText(&e, "import"));
    } catch (...) {
        log.Line(folder, false, ExceptionText(nullptr, "import"));
    }
    return log.ExitCode();
}
