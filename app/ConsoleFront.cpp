// MovaraM.com: the console front of MovaraM.exe. A command prompt finds the
// .com before the .exe of the same name and waits for a console program,
// never for a GUI one; this front starts the .exe beside it with the same
// arguments and standard handles, waits for it and ends with its exit code,
// so that a prompt shows the lines as they are logged and then the right
// errorlevel.
#include <windows.h>

#include <cstdio>
#include <string>

#include "app/WindowStation.h"

namespace {

// Ctrl+C and Ctrl+Break reach every process of the console. The .exe stops
// its sources and unloads what it loaded; this front waits for it, so that
// the prompt comes back only once it has ended. A routine of its own, not
// SetConsoleCtrlHandler(NULL, TRUE): children inherit that, and the .exe
// would never hear Ctrl+C. The logoff of another user is no reason to end a
// run that a scheduled task or a service started; the logoff of this one's
// user, closing the console and shutting down end this front as usual.
BOOL WINAPI WaitOutInterrupts(DWORD event)
{
    return event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ||
           (event == CTRL_LOGOFF_EVENT && !RunsOnInteractiveStation());
}

// The errorlevel of the .exe's exit code. An exception code such as
// 0xC0000005 is negative as a number; "if errorlevel 1" would read it as
// success.
int Errorlevel(DWORD code)
{
    return code > 0x7FFFFFFFu ? 1 : static_cast<int>(code);
}

void Say(const std::string& text)
{
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (error && error != INVALID_HANDLE_VALUE)
        (void)WriteFile(error, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

// This program's own path with ".exe" for its extension; empty if unknown.
std::wstring ToolPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0)
            return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // XP cuts the name short without an error
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    const std::size_t dot = path.find_last_of(L'.');
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return path + L".exe";
    return path.substr(0, dot) + L".exe";
}

} // namespace

int main()
{
    const std::wstring tool = ToolPath();
    // The same command line: the tool reads its arguments after the first.
    std::wstring line = GetCommandLineW();
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process = {};
    (void)SetConsoleCtrlHandler(WaitOutInterrupts, TRUE);
    // Named by its full path: the current directory of an admin's prompt is
    // often another user's folder.
    if (tool.empty() || !CreateProcessW(tool.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                        &startup, &process)) {
        Say("MovaraM: MovaraM.exe beside MovaraM.com cannot be started (error " + std::to_string(GetLastError()) +
            ").\r\n");
        return 1;
    }
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    if (!GetExitCodeProcess(process.hProcess, &code))
        code = 1;
    CloseHandle(process.hProcess);
    if (code > 0x7FFFFFFFu) {
        char text[96];
        std::snprintf(text, sizeof text, "MovaraM: MovaraM.exe ended abnormally (0x%08lX).\r\n",
                      static_cast<unsigned long>(code));
        Say(text);
    }
    return Errorlevel(code);
}
