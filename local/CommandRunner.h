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

// Removes the file a reg export is about to write: reg asks before it
// overwrites a file and, hidden, would wait for an answer for ever.
void RemoveBeforeExport(const std::string& path);
