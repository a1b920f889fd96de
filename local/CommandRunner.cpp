#include "local/CommandRunner.h"

#include <vector>

const char kCannotStartText[] = "Is this an XP machine? Tool doesnt work on anything but XP/2003";
const char kCannotStartCaption[] = "Question";

std::string SystemRegProgram()
{
    char directory[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
    // A result of MAX_PATH or more is the size it would need: not written.
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    std::string program(directory, length);
    if (program.back() != '\\')
        program += '\\';
    return program + "reg.exe";
}

int RunHidden(const std::string& program, const std::string& commandLine, const char* workDir, DWORD* exitCode)
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
    if (!CreateProcessA(program.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, workDir, &startup,
                        &process))
        return 1;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    if (exitCode && !GetExitCodeProcess(process.hProcess, exitCode))
        *exitCode = static_cast<DWORD>(-1);
    CloseHandle(process.hProcess);
    return 0;
}
