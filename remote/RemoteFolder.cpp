#include "remote/RemoteFolder.h"

namespace {

// A folder at a drive's or a share's root ("C:\", "\\srv\share\") already
// ends in the separator. A 0x5C byte after a byte above 0x7F may be the
// trail byte of a double-byte character instead, so it is not taken for one.
bool EndsInSeparator(const std::string& folder)
{
    const std::size_t n = folder.size();
    if (n == 0 || folder[n - 1] != '\\')
        return false;
    return n == 1 || static_cast<unsigned char>(folder[n - 2]) < 0x80;
}

} // namespace

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return EndsInSeparator(folder) ? folder + name : folder + "\\" + name;
}

std::string RemoteMachineFolder(const std::string& toolFolder)
{
    const char kName[] = "RemoteMachine";
    return toolFolder.empty() ? kName : JoinPath(toolFolder, kName);
}
