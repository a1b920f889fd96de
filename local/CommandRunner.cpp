#include <windows.h>

#include <string>
#include <vector>

#include "app/ProDlg.h"
#include "local/CommandRunner.h"
#include "local/CommandLines.h"

int RunHidden(const std::string& commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};

    // CreateProcessA may write into the command line, so it gets a copy.
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        MessageBoxA(nullptr, "Is this an XP machine? Tool doesnt work on anything but XP/2003", "Question", MB_OK);
        return 1;
    }
    CloseHandle(process.hThread);
    // With "/C" cmd ends when the command it runs has ended.
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    return 0;
}

int TProDlg::CreateOutputFolder(const std::string& name)
{
    outputFolder_ = std::string(toolFolder_) + "\\" + name;
    // An existing folder is fine; any other failure shows in the later steps.
    (void)CreateDirectoryA(outputFolder_.c_str(), nullptr);
    return 0;
}

bool CheckCommandText(HWND owner, const std::string& text)
{
    if (!HasCmdExpansionChar(text))
        return true;
    std::string message = "The name \"" + text +
                          "\" holds a % or ! sign, which the command interpreter would change. Nothing was exported.";
    MessageBoxA(owner, message.c_str(), "Problem", MB_OK);
    return false;
}

int RunExport(HWND owner, const std::string& commandLine, const std::string& path)
{
    if (!DeleteFileA(path.c_str()) && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
        std::string message = "The file " + path + " cannot be replaced (it is read-only or in use); it was kept and not exported again.";
        MessageBoxA(owner, message.c_str(), "Problem", MB_OK);
        return 1;
    }
    return RunHidden(commandLine);
}
