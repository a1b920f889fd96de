#include "tests/wine/Harness.h"

#include <sstream>

#include <shellapi.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

#include "res/resource.h"

namespace driver {

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    for (DWORD start = GetTickCount(); !done(); Sleep(20)) {
        if (GetTickCount() - start >= timeoutMs)
            return false;
    }
    return true;
}

std::string Text(HWND window)
{
    char text[2048] = {};  // more than any text the tests read
    DWORD_PTR length = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_NORMAL, 5000, &length);
    return std::string(text, length);
}

std::wstring WideText(HWND window)
{
    wchar_t text[2048] = {};
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, sizeof text / sizeof text[0], reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                        5000, &length);
    return std::wstring(text, length);
}

std::vector<std::string> ListItems(HWND list)
{
    // Wine fills an A buffer with UTF-16 when LB_GETTEXT crosses processes;
    // the tests' entries are ASCII.
    std::vector<std::string> items;
    for (LRESULT i = 0, count = SendMessageW(list, LB_GETCOUNT, 0, 0); i < count; ++i) {
        std::wstring text(SendMessageW(list, LB_GETTEXTLEN, i, 0) + 1, L'\0');
        text.resize(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0])));
        items.emplace_back(text.begin(), text.end());
    }
    return items;
}

void SendWithText(HWND window, UINT message, WPARAM wParam, const std::string& text)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
    void* remote = VirtualAllocEx(process, nullptr, text.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    WriteProcessMemory(process, remote, text.c_str(), text.size() + 1, nullptr);
    SendMessageA(window, message, wParam, reinterpret_cast<LPARAM>(remote));
    VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
}

std::string ThisComputer()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    GetComputerNameA(name, &size);
    return std::string("\\\\") + name;
}

bool Tool::Start(const std::string& exe, const std::string& workDir)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + exe + "\"";
    return CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, workDir.c_str(), &startup,
                          &process_) &&
           WaitUntil([this] { return (main_ = FindDialog("Movara running on ")) != nullptr; }, 20000);
}

namespace {
DWORD WINAPI PressThread(LPVOID button)
{
    // A sent BM_CLICK returns when the tool's handler, and so the job, has.
    SendMessageA(static_cast<HWND>(button), BM_CLICK, 0, 0);
    return 0;
}
}  // namespace

HWND Tool::FindDialog(const std::string& captionStart, DWORD waitMs) const
{
    HWND found = nullptr;
    WaitUntil([&] {
        for (found = FindWindowExA(nullptr, nullptr, "#32770", nullptr); found;
             found = FindWindowExA(nullptr, found, "#32770", nullptr)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(found, &owner);
            if (owner == process_.dwProcessId && found != main_ && IsWindowVisible(found) &&
                Text(found).compare(0, captionStart.size(), captionStart) == 0)
                return true;
        }
        return false;
    }, waitMs);
    return found;
}

std::string Tool::Answer(const std::string& caption)
{
    HWND box = FindDialog(caption, 10000);
    if (!box)
        return "<no message box \"" + caption + "\">";
    std::string text = Text(GetDlgItem(box, 0xFFFF)) + (GetWindow(box, GW_OWNER) == main_ ? "<owned>" : "");
    if (GetWindowThreadProcessId(box, nullptr) != GetWindowThreadProcessId(main_, nullptr))
        text += "<other thread>";
    PostMessageA(box, WM_COMMAND, IDOK, reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
    WaitUntil([&] { return !IsWindow(box); }, 5000);
    return text;
}

void Tool::Press(int id, HWND dialog)
{
    WaitJob();
    if (pressThread_)
        CloseHandle(pressThread_);
    pressThread_ = CreateThread(nullptr, 0, PressThread, GetDlgItem(dialog ? dialog : main_, id), 0, nullptr);
}

std::string Tool::Run(int id)
{
    Press(id);
    // The click handled (its job started, the buttons disabled), or a box of
    // the click itself.
    WaitUntil([&] { return WaitJob(0) || FindDialog(); }, 60000);
    std::string box = FindDialog() ? Answer(Text(FindDialog())) : "";
    WaitJob();
    // The job tells its outcome before its buttons come back.
    WaitUntil([&] { return IsWindowEnabled(Item(IDB_SELECT_USER)) || FindDialog(); }, 120000);
    if (FindDialog())
        box += Answer(Text(FindDialog()));
    WaitIdle(10000);
    return box;
}

bool Tool::WaitIdle(DWORD timeoutMs)
{
    if (!WaitUntil([&] { return IsWindowEnabled(Item(IDB_SELECT_USER)) != FALSE; }, timeoutMs))
        return false;
    // The window's thread answers a sent message between two of its own, so
    // the rest of the job's end (the other buttons) is done by then.
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(main_, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
}

void Tool::TypeMachine(const std::string& machine)
{
    HWND field = Item(1009);
    PostMessageA(main_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(field), TRUE);
    WaitUntil([&] { return Text(field).empty(); });
    for (char c : machine)
        PostMessageA(field, WM_CHAR, static_cast<unsigned char>(c), 1);
    WaitUntil([&] { return Text(field) == machine; }, 5000);
}

DWORD Tool::WaitExit(DWORD timeoutMs)
{
    DWORD code = STILL_ACTIVE;
    if (process_.hProcess && WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

void Tool::Kill()
{
    TerminateProcess(process_.hProcess, 99);  // fails harmlessly once it has ended
    WaitJob(5000);
    for (HANDLE handle : {process_.hProcess, process_.hThread, pressThread_})
        CloseHandle(handle);
    process_ = {};
    pressThread_ = nullptr;
}

}  // namespace driver

namespace sandbox {

std::string Beside(const std::string& name)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string self = path;
    return self.substr(0, self.find_last_of('\\') + 1) + name;
}

std::string SystemDir()
{
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\";
}

std::string InstallStandIn()
{
    CopyFileA(Beside("reg_standin.exe").c_str(), (SystemDir() + "reg.exe").c_str(), FALSE);
    for (const char* name : {"reg-calls.log", "fail-load", "fail-unload", "fail-export", "big-export", "hold", "held"})
        DeleteFileA((SystemDir() + name).c_str());
    return SystemDir();
}

std::string StandInCalls()
{
    const std::string path = SystemDir() + "reg-calls.log", calls = Read(path);
    DeleteFileA(path.c_str());
    return calls;
}

THeldExport::THeldExport(const std::string& key)
{
    DeleteFileA((SystemDir() + "held").c_str());
    Write(SystemDir() + "hold", key);
}

bool THeldExport::WaitHeld(DWORD timeoutMs)
{
    return driver::WaitUntil([] { return Exists(SystemDir() + "held"); }, timeoutMs);
}

void THeldExport::Release()
{
    DeleteFileA((SystemDir() + "hold").c_str());
    DeleteFileA((SystemDir() + "held").c_str());
}

Child::Child()
{
    std::string line = "\"" + Beside("movara_wine_tests.exe") + "\" --gtest_list_tests";
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr, &startup,
                       &process)) {
        CloseHandle(process.hThread);
        process_ = process.hProcess;
        id_ = process.dwProcessId;
    }
}

Child::~Child()
{
    End();
    if (process_)
        CloseHandle(process_);
}

void Child::End()
{
    if (process_ && TerminateProcess(process_, 0))
        WaitForSingleObject(process_, 10000);
}

std::string FreshDir(const std::string& name)
{
    RemoveTree("C:\\mvt\\" + name);
    MakeDirs("C:\\mvt\\" + name);
    return "C:\\mvt\\" + name;
}

void RemoveTree(const std::string& path)
{
    const std::string from = path + std::string(2, '\0');
    SHFILEOPSTRUCTA op = {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_SILENT;
    SHFileOperationA(&op);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string LogEntry(const std::string& line)
{
    const bool timed = line.size() > 20 && line[4] == '-' && line[7] == '-' && line[10] == ' ' && line[13] == ':' &&
                       line[16] == ':' && line[19] == '\t' && line.back() == '\r';
    return timed ? ErrorNumbersHidden(line.substr(20, line.size() - 21)) : "<malformed: " + line + ">";
}

std::vector<std::string> SortedEntries(const std::string& log)
{
    std::vector<std::string> entries;
    for (const std::string& line : Lines(log))
        entries.push_back(LogEntry(line));
    std::sort(entries.begin(), entries.end());
    return entries;
}

std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

std::string ErrorNumbersHidden(std::string text)
{
    const std::string mark = "(error ";
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at + 1)) {
        const std::size_t digits = at + mark.size(), end = text.find_first_not_of("0123456789", digits);
        if (end != std::string::npos && end > digits && text[end] == ')')
            text.replace(digits, end - digits, "N");
    }
    return text;
}

DWORD RunProgram(const std::string& exe, const std::string& arguments, const std::string& dir, const std::string& output)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    const bool redirected = !output.empty();
    HANDLE out = redirected ? CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr)
                            : INVALID_HANDLE_VALUE;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = redirected ? STARTF_USESTDHANDLES : 0;
    startup.hStdOutput = startup.hStdError = out;
    PROCESS_INFORMATION process = {};
    std::string line = "\"" + exe + "\" " + arguments;
    DWORD code = 998;
    if (CreateProcessA(exe.c_str(), &line[0], nullptr, nullptr, redirected, redirected ? 0 : CREATE_NEW_CONSOLE, nullptr,
                       dir.c_str(), &startup, &process)) {
        if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &code);
        else
            TerminateProcess(process.hProcess, code = 999);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    }
    if (redirected)
        CloseHandle(out);
    return code;
}

DWORD WINAPI RunToolTimes(LPVOID runs)
{
    TToolRuns& r = *static_cast<TToolRuns*>(runs);
    for (int i = 0; i < r.times; ++i)
        r.codes.push_back(RunTool(r.arguments, r.dir, r.output + std::to_string(i) + ".txt"));
    return 0;
}

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Listing(const std::string& folder)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    for (BOOL more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileA(find, &entry)) {
        if (std::string(entry.cFileName) != "." && std::string(entry.cFileName) != "..")
            names.push_back(entry.cFileName);
    }
    FindClose(find);
    std::sort(names.begin(), names.end());
    std::string joined;
    for (const std::string& name : names)
        joined += name + "|";
    return joined;
}

std::string StartTool(driver::Tool& tool, const std::string& name)
{
    const std::string folder = FreshDir(name) + "\\tool";
    MakeDirs(folder);
    MakeDirs("C:\\users\\All Users");  // else the tool finds no profiles and says so
    CopyFileA(Beside("MovaraM.exe").c_str(), (folder + "\\MovaraM.exe").c_str(), FALSE);
    tool.Start(folder + "\\MovaraM.exe", folder);
    return folder;
}

void SetValue(HKEY root, const std::string& path, const char* name, DWORD type, const std::string& data)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    if (name)
        RegSetValueExA(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

void SetWide(HKEY root, const std::wstring& path, const wchar_t* name, const std::wstring& text, DWORD type,
             REGSAM view)
{
    HKEY key;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

const char kUserUninstallHiveLine[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Mine|DisplayName|My Own Tool";

namespace {
const char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";

bool Is64BitMachine()
{
    BOOL wow64 = FALSE;
    return sizeof(void*) == 8 || (IsWow64Process(GetCurrentProcess(), &wow64) && wow64);
}
}  // namespace

void MakeUninstallEntries(HKEY userRoot, const std::string& userPath)
{
    for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
        HKEY key;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstall, 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS)
            continue;
        char name[256];
        DWORD size = sizeof name;
        while (RegEnumKeyExA(key, 0, name, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
               SHDeleteKeyA(key, name) == ERROR_SUCCESS)
            size = sizeof name;
        RegCloseKey(key);
    }
    // Entries whose reading only Windows does: an unexpanded name, names a
    // code page cannot hold, and one in the 32-bit view of a 64-bit machine
    // (on a 32-bit one, the machine's only view). Which kinds of entry the
    // list leaves out is plain logic, tested natively.
    const struct {
        const wchar_t* key;
        const wchar_t* name;
        DWORD type;
        std::wstring text;
        REGSAM view;
    } entries[] = {
        {L"Viewer", L"DisplayName", REG_SZ, L"Sample Viewer", 0},
        {L"Viewer", L"DisplayVersion", REG_SZ, L"2.1", 0},
        {L"Viewer", L"Publisher", REG_SZ, L"Acme Ltd.", 0},
        {L"Tools", L"DisplayName", REG_SZ, L"Tools \"Pro\" C:\\bin", 0},
        {L"Tool", L"DisplayName", REG_EXPAND_SZ, L"%ProgramFiles%\\Tool", 0},
        {L"Editor", L"DisplayName", REG_SZ, L"\x011A" L"ditor", 0},  // its low byte is 0x1A
        {L"Cyr", L"DisplayName", REG_SZ, L"\x0420\x0435\x0434\x0430\x043A\x0442\x043E\x0440", 0},
        {L"Cyr", L"DisplayVersion", REG_SZ, L"1.0", 0},
        {L"Legacy", L"DisplayName", REG_SZ, L"Legacy Tool", KEY_WOW64_32KEY},
    };
    for (const auto& e : entries)
        SetWide(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + std::wstring(e.key),
                e.name, e.text, e.type, e.view);
    // A Wow6432Node key on a 32-bit machine, left by some installer or a
    // copied hive, is no view of the registry: its programs are not listed.
    if (!Is64BitMachine())
        SetValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Stray",
                 "DisplayName", REG_SZ, std::string("Stray Copy") + '\0');
    const std::string user = (userPath.empty() ? "" : userPath + "\\") + kUninstall;
    SHDeleteKeyA(userRoot, user.c_str());
    SetValue(userRoot, user + "\\Mine", "DisplayName", REG_SZ, std::string("My Own Tool") + '\0');
}

std::string ExpectedApplications()
{
    return "\xEF\xBB\xBFName\tVersion\tPublisher\tScope\r\n"
           "%ProgramFiles%\\Tool\t\t\tmachine\r\n"
           "Legacy Tool\t\t\t" + std::string(Is64BitMachine() ? "machine 32-bit" : "machine") + "\r\n"
           "My Own Tool\t\t\tuser\r\n"
           "Sample Viewer\t2.1\tAcme Ltd.\tmachine\r\n"
           "Tools \"Pro\" C:\\bin\t\t\tmachine\r\n"
           "\xC4\x9A" "ditor\t\t\tmachine\r\n"
           "\xD0\xA0\xD0\xB5\xD0\xB4\xD0\xB0\xD0\xBA\xD1\x82\xD0\xBE\xD1\x80\t1.0\t\tmachine\r\n";
}

}  // namespace sandbox
