#include "remote/RemoteUserLine.h"

const char kRemoteUserMarker[] = "   =-->";

namespace {

// The key is found by the arrow alone, not by the whole marker. A folder name
// cannot hold '>', so the first arrow of a line is always the marker's.
const char kUserKeyArrow[] = "=-->";

} // namespace

std::string HomeFolderName(const std::string& homePathData, LeadByteTest isLead)
{
    const std::string::size_type slash = FindLastAnsiChar(homePathData, '\\', isLead);
    std::string name = slash == std::string::npos ? homePathData : homePathData.substr(slash + 1);
    // A NUL is never the second byte of a character.
    const std::string::size_type nul = name.find('\0');
    if (nul != std::string::npos)
        name.erase(nul);
    return name;
}

std::string MakeRemoteUserLine(const std::string& homeFolder, const std::string& userKey)
{
    return homeFolder + kRemoteUserMarker + userKey;
}

bool RemoteUserFromLine(const std::string& line, RemoteUser& user)
{
    user.homeFolder = line.substr(0, line.find(kRemoteUserMarker));
    return UserKeyFromRemoteLine(line, user.userKey);
}

bool UserKeyFromRemoteLine(const std::string& line, std::string& userKey)
{
    userKey.clear();
    const std::string::size_type arrow = line.find(kUserKeyArrow);
    if (arrow == std::string::npos)
        return false;
    userKey = line.substr(arrow + sizeof kUserKeyArrow - 1);
    return true;
}
