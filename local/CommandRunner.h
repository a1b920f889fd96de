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
// 0 when it ran, 1 when it could not be started. exitCode, when given,
// receives the program's exit code. The final unload ends the program (see
// local/LoadedHives.h), and none starts once it has begun, unless
// untilDone is set: a hive's unload must run to its end.
int RunHidden(const std::string& program, const std::string& commandLine, const char* workDir = nullptr,
              DWORD* exitCode = nullptr, bool untilDone = false);

// Whether the tool is a 32-bit program on 64-bit Windows.
bool RunsUnderWow64();

// What a job says when the system's program cannot be started.
extern const char kCannotStartText[];
extern const char kCannotStartCaption[];
