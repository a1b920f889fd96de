#pragma once

#include <string>

// The folder that receives the remote exports: "RemoteMachine" in the tool
// folder, so that a job that changed the current directory does not move it.
// Without a usable tool folder it is relative to the current directory.
std::string RemoteMachineFolder(const std::string& toolFolder);

// folder, a backslash unless it ends in one already ("C:\", "\\srv\share\"),
// then name.
std::string JoinPath(const std::string& folder, const std::string& name);
