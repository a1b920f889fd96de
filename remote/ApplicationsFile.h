#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "local/JobProgress.h"
#include "local/JobReport.h"
#include "remote/Applications.h"

// ANSI text in the system's code page as UTF-16.
std::wstring WideFromAnsi(const std::string& text);

// Whether a machine is 64-bit, by the PROCESSOR_ARCHITECTURE value below its
// HKEY_LOCAL_MACHINE (localMachine, here or connected remotely). Where that
// value cannot be read: when SOFTWARE has a Wow6432Node key, and for this
// machine also when the tool runs under WOW64.
bool MachineIs64Bit(HKEY localMachine, bool thisMachine);

// One uninstall key to read: path below root, opened in a registry view
// (KEY_WOW64_64KEY, KEY_WOW64_32KEY or 0), its entries getting scope.
struct UninstallSource {
    HKEY root;
    std::wstring path;
    REGSAM view;
    AppScope scope;
};

// The uninstall keys of a running machine: below its HKEY_LOCAL_MACHINE, in
// the views MachineViews gives for MachineIs64Bit.
std::vector<UninstallSource> MachineUninstallKeys(HKEY localMachine, bool thisMachine);

// Writes "Applications.txt" to path: every counted entry of the machine's
// uninstall keys and of the user's own (userPath below userRoot: "" for
// HKEY_CURRENT_USER, the hive's or the user key's name under HKEY_USERS),
// read through the wide API. Subkeys that cannot be read are counted in the
// file's last line. false with the problem when the file cannot be written.
// The machine's keys may come from elsewhere than a running machine, such as
// a software hive loaded from another disk. progress hears of every subkey
// read, counted over all the keys.
bool WriteApplicationsFile(const std::vector<UninstallSource>& machineKeys, HKEY userRoot,
                           const std::wstring& userPath, const std::string& path, TProblem& problem,
                           bool ownerless = false, const EntryProgress& progress = {});
// The same for a running machine (MachineUninstallKeys).
bool WriteApplicationsFile(HKEY localMachine, bool thisMachine, HKEY userRoot, const std::wstring& userPath,
                           const std::string& path, TProblem& problem, bool ownerless = false,
                           const EntryProgress& progress = {});
