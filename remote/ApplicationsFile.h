#pragma once

#include <windows.h>

#include <string>

#include "local/JobReport.h"

// Whether a machine is 64-bit: its HKEY_LOCAL_MACHINE\SOFTWARE (localMachine,
// here or connected remotely) has a Wow6432Node key; for this machine also
// when the tool runs under WOW64.
bool MachineIs64Bit(HKEY localMachine, bool thisMachine);

// Writes "Applications.txt" to path: every counted entry of the machine's
// uninstall key (in both views on a 64-bit machine) and of the user's own
// (userPath below userRoot: "" for HKEY_CURRENT_USER, the hive's or the user
// key's name under HKEY_USERS), read through the wide API. Subkeys that
// cannot be read are counted in the file's last line. false with the problem
// when the file cannot be written.
bool WriteApplicationsFile(HKEY localMachine, bool thisMachine, HKEY userRoot, const std::string& userPath,
                           const std::string& path, TProblem& problem, bool ownerless = false);
