#include "local/CommandRunner.h"

#include <vector>

#include "local/LoadedHives.h"
#include "local/OutputSet.h"

const char kCannotStartText[] = "Is this an XP machine? Tool doesnt work on anything but XP/2003";
const char kCannotStartCaption[] = "Question";

std::string SystemRegProgram()
{
    char directory[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    // A result of MAX_PATH or more is the size it would need: not written.
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    return JoinPath(std::string(directory, length), "reg.exe", IsAnsiLeadByte);
}

namespace {

// A 32-bit program on 64-bit Windows is handed the 32-bit reg from SysWOW64
// when it names system32, and that reg sees only the 32-bit view of the
// machine's keys: the applications of the 64-bit view would be missing. With
// file-system redirection off while the process starts, system32 is the
// 64-bit reg. The WOW64 functions are looked up: XP before SP2 lacks them.
// A kernel32 function that older systems may lack, or null.
template <class Function>
Function KernelFunction(const char* name)
{
    // Through void (*)(): the one function type any other may be cast from.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("kernel32.dll"), name)));
}

class TNativeSystemFolder {
public:
    TNativeSystemFolder()
    {
        using Disable = BOOL(WINAPI*)(PVOID*);
        const auto disable = KernelFunction<Disable>("Wow64DisableWow64FsRedirection");
        revert_ = KernelFunction<Revert>("Wow64RevertWow64FsRedirection");
        if (disable && revert_ && RunsUnderWow64())
            disabled_ = disable(&state_) != FALSE;
    }
    TNativeSystemFolder(const TNativeSystemFolder&) = delete;
    TNativeSystemFolder& operator=(const TNativeSystemFolder&) = delete;
    ~TNativeSystemFolder()
    {
        if (disabled_)
            revert_(state_);
    }

private:
    using Revert = BOOL(WINAPI*)(PVOID);
    Revert revert_ = nullptr;
    PVOID state_ = nullptr;
    bool disabled_ = false;
};

} // namespace

bool RunsUnderWow64()
{
    using IsWow64 = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = KernelFunction<IsWow64>("IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(GetCurrentProcess(), &wow64) && wow64;
}

int RunHidden(const std::string& program, const std::string& commandLine, const char* workDir, DWORD* exitCode,
              bool untilDone)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};

    // CreateProcessA may write into the command line, so it gets a copy. The
    // program is named in full: with a null name Windows would look for it
    // beside the tool and in the current directory first.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    BOOL started;
    {
        TNativeSystemFolder native;  // restored at once: it holds for every file call of this thread
        // No console for reg: a run from a command prompt shows the tool's
        // own lines there and nothing of its children's. Suspended until it
        // is listed, so that the final unload cannot miss it.
        started = CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE,
                                 CREATE_NO_WINDOW | (untilDone ? 0 : CREATE_SUSPENDED), nullptr, workDir, &startup,
                                 &process);
    }
    if (!started)
        return 1;
    if (!untilDone && !ListChild(process.hProcess)) {
        (void)TerminateProcess(process.hProcess, 1);  // the final unload has begun: it must not hold a hive open
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return 1;
    }
    if (!untilDone)
        (void)ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    if (!untilDone)
        UnlistChild(process.hProcess);
    if (exitCode && !GetExitCodeProcess(process.hProcess, exitCode))
        *exitCode = static_cast<DWORD>(-1);
    CloseHandle(process.hProcess);
    return 0;
}
