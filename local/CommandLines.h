#pragma once

#include <string>

// The cmd command lines that run the system's reg tool for the local exports.
// For ordinary names each line is the fixed text the exports have always used;
// an argument that cmd or reg would misread is quoted as a whole.

// '%' or '!': cmd may expand these even inside quotes, so no quoting protects
// them. Callers refuse such names before building any line.
bool HasCmdExpansionChar(const std::string& s);

// s unchanged, or s in double quotes when it is empty or holds a blank, a tab
// or one of & | < > ^ ( ). Inside the quotes, trailing backslashes are doubled
// so that the closing quote still closes. s holds no double quote, '%' or '!'
// (no file name holds a double quote; see HasCmdExpansionChar for the rest).
std::string CmdArgument(const std::string& s);

// For a profile stored on this machine, loaded under HKEY_USERS as user; the
// load line names the hive relative to the current directory.
struct StoredProfileCommands {
    std::string load;
    std::string printers;
    std::string drives;
    std::string unload;
    std::string apps;
};
StoredProfileCommands BuildStoredProfileCommands(const std::string& user, const std::string& outFolder);

// For the account that runs the tool, through HKEY_CURRENT_USER.
struct CurrentUserCommands {
    std::string apps;
    std::string printers;
    std::string drives;
};
CurrentUserCommands BuildCurrentUserCommands(const std::string& outFolder);
