#pragma once

#include <string>

#include "local/AnsiNames.h"

// The folder that receives the remote exports: "RemoteMachine" in the tool
// folder, so that a job that changed the current directory does not move it.
// Without a usable tool folder it is relative to the current directory.
std::string RemoteMachineFolder(const std::string& toolFolder, LeadByteTest isLead = nullptr);
