#include "tests/wine/Harness.h"

#include <shellapi.h>

#include <cstdio>
#include <fstream>
#include <iterator>

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
    WaitUntil([&] { return WaitJob(0) || FindDialog(); }, 60000);
    const std::string box = FindDialog() ? Answer(Text(FindDialog())) : "";
    WaitJob();
    return box;
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
    for (const char* name : {"reg-calls.log", "fail-load", "fail-unload", "fail-export", "big-export"})
        DeleteFileA((SystemDir() + name).c_str());
    return SystemDir();
}

std::string StandInCalls()
{
    const std::string path = SystemDir() + "reg-calls.log", calls = Read(path);
    DeleteFileA(path.c_str());
    return calls;
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

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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

}  // namespace sandbox
