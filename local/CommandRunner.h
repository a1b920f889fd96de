#pragma once
#include <windows.h>

#include <string>

// The system's reg.exe by its full path, or empty when the system directory
// cannot be told. Never looked up through the current directory, the tool's
// folder or the search path: those can hold a program of anyone's.
std::string SystemRegProgram();

// Runs `program` with `commandLine` (whose first token is the program's
// usual name) with its window hidden and waits until it has ended, in
// `workDir` when one is given, else in the tool's current directory.
// 0 when it ran, 1 when it could not be started (after telling the user).
// exitCode, when given, receives the program's exit code.
int RunHidden(const std::string& program, const std::string& commandLine, const char* workDir = nullptr,
              DWORD* exitCode = nullptr);

// Runs a reg export that writes `path`, after removing the file: reg asks
// before it overwrites a file and, hidden, would wait for an answer for ever.
// A file that cannot be removed (read-only, in use) is kept, the user is told
// (message box owned by `owner`) and the export is not run. RunHidden's result.
int RunExport(HWND owner, const std::string& program, const std::string& commandLine, const std::string& path);

// SystemRegProgram(), or empty after telling the user (message box owned by
// `owner`) that nothing can be exported.
std::string RegProgramOrSay(HWND owner);
