#include "tests/wine/Driver.h"

#include "res/resource.h"

namespace driver {

const char kMainTitlePrefix[] = "Movara running on ";

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

std::string Text(HWND window)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length))
        return "<no answer>";
    std::string text(length + 1, '\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutA(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_NORMAL, 5000, &got);
    text.resize(got);
    return text;
}

std::string ComputerName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof name;
    GetComputerNameA(name, &size);
    return name;
}

std::string ClassName(HWND window)
{
    char name[256] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

std::vector<std::string> ListItems(HWND list)
{
    // Wine fills an A buffer with UTF-16 when LB_GETTEXT crosses processes,
    // so lists are read with the W form and converted here.
    std::vector<std::string> items;
    LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
        std::wstring wide(length + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&wide[0]));
        wide.resize(length);
        int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
        std::string narrow(bytes, '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), &narrow[0], bytes, nullptr, nullptr);
        items.push_back(narrow);
    }
    return items;
}

int ListSelection(HWND list)
{
    return static_cast<int>(SendMessageW(list, LB_GETCURSEL, 0, 0));
}

Tool::~Tool()
{
    Kill();
}

bool Tool::Start(const std::string& exe, const std::string& workDir, const std::string& stdoutFile)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    HANDLE out = INVALID_HANDLE_VALUE;
    if (!stdoutFile.empty()) {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        out = CreateFileA(stdoutFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = out;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    }
    std::string commandLine = "\"" + exe + "\"";
    BOOL ok = CreateProcessA(exe.c_str(), &commandLine[0], nullptr, nullptr, out != INVALID_HANDLE_VALUE, 0, nullptr,
                             workDir.c_str(), &startup, &process_);
    if (out != INVALID_HANDLE_VALUE)
        CloseHandle(out);
    if (!ok)
        return false;
    // The main window is the dialog whose title the tool set at start-up; a
    // message box of the start-up may stand before it.
    WaitUntil([this] {
        main_ = FindDialog(kMainTitlePrefix, true);
        return main_ != nullptr;
    }, 20000);
    return main_ != nullptr;
}

namespace {
struct FindState {
    DWORD processId;
    HWND except;
    const std::string* caption;
    bool prefix;
    HWND found;
};

BOOL CALLBACK FindTopLevel(HWND window, LPARAM param)
{
    auto* state = reinterpret_cast<FindState*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != state->processId || window == state->except || !IsWindowVisible(window))
        return TRUE;
    if (ClassName(window) != "#32770")
        return TRUE;
    if (!state->caption->empty()) {
        std::string text = Text(window);
        if (state->prefix ? text.compare(0, state->caption->size(), *state->caption) != 0 : text != *state->caption)
            return TRUE;
    }
    state->found = window;
    return FALSE;
}

DWORD WINAPI PressThread(LPVOID param)
{
    // A sent BM_CLICK returns only when the tool's handler, and so the job,
    // has returned.
    SendMessageA(static_cast<HWND>(param), BM_CLICK, 0, 0);
    return 0;
}
}  // namespace

HANDLE PressAside(HWND button)
{
    return CreateThread(nullptr, 0, PressThread, button, 0, nullptr);
}

LRESULT SendWithText(HWND window, UINT message, WPARAM wParam, const std::string& text)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return 0;
    void* remote = VirtualAllocEx(process, nullptr, text.size() + 1, MEM_COMMIT, PAGE_READWRITE);
    LRESULT result = 0;
    if (remote && WriteProcessMemory(process, remote, text.c_str(), text.size() + 1, nullptr))
        result = SendMessageA(window, message, wParam, reinterpret_cast<LPARAM>(remote));
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return result;
}

HWND Tool::FindDialog(const std::string& caption, bool prefix) const
{
    FindState state = {process_.dwProcessId, main_, &caption, prefix, nullptr};
    EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&state));
    return state.found;
}

HWND Tool::WaitDialog(const std::string& caption, DWORD timeoutMs) const
{
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindDialog(caption)) != nullptr; }, timeoutMs);
    return found;
}

std::string Tool::MessageText(HWND box)
{
    return Text(GetDlgItem(box, 0xFFFF));
}

void Tool::PressOk(HWND box)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

void Tool::Press(int id)
{
    PressIn(main_, id);
}

void Tool::PressIn(HWND dialog, int id)
{
    WaitJob();
    if (pressThread_)
        CloseHandle(pressThread_);
    pressThread_ = CreateThread(nullptr, 0, PressThread, GetDlgItem(dialog, id), 0, nullptr);
}

bool Tool::JobRunning() const
{
    return pressThread_ && WaitForSingleObject(pressThread_, 0) == WAIT_TIMEOUT;
}

bool Tool::WaitJob(DWORD timeoutMs)
{
    if (!pressThread_)
        return true;
    return WaitForSingleObject(pressThread_, timeoutMs) == WAIT_OBJECT_0;
}

void Tool::Focus(int id)
{
    PostMessageA(main_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
    WaitUntil([&] {
        GUITHREADINFO info = {};
        info.cbSize = sizeof info;
        return GetGUIThreadInfo(GetWindowThreadProcessId(main_, nullptr), &info) && info.hwndFocus == Item(id);
    }, 5000);
}

void Tool::Type(HWND control, const std::string& text)
{
    std::string expected = Text(control) + text;
    for (char c : text)
        PostMessageA(control, WM_CHAR, static_cast<unsigned char>(c), 1);
    WaitUntil([&] { return Text(control) == expected; }, 5000);
}

void Tool::PressConnect(const std::string& machine)
{
    Focus(IDE_MACHINE_NAME);
    WaitUntil([&] { return Text(Item(IDE_MACHINE_NAME)).empty(); });
    Type(Item(IDE_MACHINE_NAME), machine);
    Press(IDB_CONNECT_REG);
}

void Tool::Key(HWND target, UINT virtualKey)
{
    PostMessageA(target, WM_KEYDOWN, virtualKey, 1);
    PostMessageA(target, WM_KEYUP, virtualKey, 0xC0000001);
}

DWORD Tool::WaitExit(DWORD timeoutMs)
{
    if (!process_.hProcess)
        return STILL_ACTIVE;
    WaitForSingleObject(process_.hProcess, timeoutMs);
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_.hProcess, &code);
    return code;
}

void Tool::Kill()
{
    if (process_.hProcess) {
        if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(process_.hProcess, 99);
            WaitForSingleObject(process_.hProcess, 5000);
        }
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
    if (pressThread_) {
        WaitForSingleObject(pressThread_, 5000);
        CloseHandle(pressThread_);
        pressThread_ = nullptr;
    }
    main_ = nullptr;
}

}  // namespace driver
