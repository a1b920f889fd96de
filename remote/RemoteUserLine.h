#pragma once

#include <string>

#include "local/AnsiNames.h"

// Three blanks and "=-->": it stands between the home folder name and the
// user key in a line of the remote user list.
extern const char kRemoteUserMarker[];

// The folder name shown for a remote user, from the HOMEPATH data with the
// length the registry reported (terminating NUL and anything after it
// included): the text after the last backslash, then cut at the first NUL.
std::string HomeFolderName(const std::string& homePathData, LeadByteTest isLead = nullptr);

std::string MakeRemoteUserLine(const std::string& homeFolder, const std::string& userKey);

// The user key after the first "=-->" of a remote user line; false when there
// is none, and userKey is then empty.
bool UserKeyFromRemoteLine(const std::string& line, std::string& userKey);

// One logged-on user of a machine: the two parts of a remote user line.
struct RemoteUser {
    std::string homeFolder;  // after the last backslash of HOMEPATH
    std::string userKey;     // the key under HKEY_USERS
};
// The user of a remote user line; false when the line has no "=-->".
bool RemoteUserFromLine(const std::string& line, RemoteUser& user);
