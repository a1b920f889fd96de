#pragma once
#include <string>

// Runs one command line with its window hidden and waits until it has ended:
// 0 when it ran, 1 when it could not be started (after telling the user).
// The command's own exit code is not looked at.
int RunHidden(const std::string& commandLine);

#include <windows.h>

// False, after telling the user in a message box owned by `owner`, when a
// text that goes into a command line holds a character that cmd would expand
// whatever the quoting ('%', '!'); nothing may be run for it then.
bool CheckCommandText(HWND owner, const std::string& text);

// Runs a reg export that writes `path`, after removing the file: reg asks
// before it overwrites a file and, hidden, would wait for an answer for ever.
// A file that cannot be removed (read-only, in use) is kept, the user is told
// (message box owned by `owner`) and the export is not run. RunHidden's result.
int RunExport(HWND owner, const std::string& commandLine, const std::string& path);
