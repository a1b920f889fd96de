#include "remote/RemoteFolder.h"

std::string RemoteMachineFolder(const std::string& toolFolder, LeadByteTest isLead)
{
    const char kName[] = "RemoteMachine";
    return toolFolder.empty() ? kName : JoinPath(toolFolder, kName, isLead);
}
