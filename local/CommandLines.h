#pragma once

#include <string>

#include "local/AnsiNames.h"

// The command lines that the local exports give the system's reg tool. The
// program is started by its full path, so no command interpreter reads these
// lines: only reg's own argument parser (the C runtime's rules) splits them.

// s unchanged, or s in double quotes when reg's parser would split it or drop
// it: when it is empty or holds a blank, a tab or a double quote. Inside the
// quotes a double quote gets a backslash, and backslashes before a quote or
// before the closing quote are doubled, so that reg receives s exactly. A
// second byte 0x5C (isLead) is part of its character, which reg reads whole.
std::string RegArgument(const std::string& s, LeadByteTest isLead = nullptr);

// For a profile stored on this machine, loaded under HKEY_USERS as user; the
// load line names the hive relative to reg's working directory, which is
// the profile folder.
struct StoredProfileCommands {
    std::string load;
    std::string printers;
    std::string drives;
    std::string unload;
    std::string apps;
};
StoredProfileCommands BuildStoredProfileCommands(const std::string& user, const std::string& outFolder,
                                                 LeadByteTest isLead = nullptr);

// For the account that runs the tool, through HKEY_CURRENT_USER.
struct CurrentUserCommands {
    std::string apps;
    std::string printers;
    std::string drives;
};
CurrentUserCommands BuildCurrentUserCommands(const std::string& outFolder, LeadByteTest isLead = nullptr);

// For a hive file of another disk, loaded under HKEY_LOCAL_MACHINE as key
// (a name of this run's own) and named by its full path. apps exports that
// hive's uninstall key when it is the disk's software hive.
struct DiskHiveCommands {
    std::string load;
    std::string unload;
    std::string apps;
};
DiskHiveCommands BuildDiskHiveCommands(const std::string& key, const std::string& hiveFile,
                                       const std::string& outFolder, LeadByteTest isLead = nullptr);
