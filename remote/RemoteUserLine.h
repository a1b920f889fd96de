#pragma once

#include <string>

// Three blanks and "=-->": it stands between the home folder name and the
// user key in a line of the remote user list.
extern const char kRemoteUserMarker[];

// The folder name shown for a remote user, from the HOMEPATH data as UTF-16
// units with the length the registry reported (terminating NUL and anything
// after it included): the text after the last backslash, then cut at the
// first NUL.
std::u16string HomeFolderName(const std::u16string& homePathData);

std::string MakeRemoteUserLine(const std::string& homeFolder, const std::string& userKey);

// One logged-on user of a machine. The texts are in the ANSI code page, as the
// window, the log and the folder names show them: '?' for each character the
// code page has no form for.
struct RemoteUser {
    std::string homeFolder;  // after the last backslash of HOMEPATH
    std::string userKey;     // the key under HKEY_USERS
    // The key's own name, which the registry calls take: userKey may have
    // lost characters.
    std::u16string wideUserKey{};
};
