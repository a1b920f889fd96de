#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "remote/RemoteExport.h"

// Lists the users logged on at a machine, as ListLoggedOnUsers does; the
// benchmark puts a slower one in its place.
using UserLister = std::function<LONG(const std::string& machine, std::vector<RemoteUser>& users)>;

// Runs the exports that the arguments (without the program name) ask for,
// without a window or a message box, and returns the exit code: 0 when every
// source was exported, 1 when any failed, 2 for a usage error.
int RunCommandLine(const std::vector<std::string>& args, const UserLister& listUsers = ListLoggedOnUsers);
