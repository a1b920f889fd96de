#include "remote/RemoteUserLine.h"

const char kRemoteUserMarker[] = "   =-->";

std::u16string HomeFolderName(const std::u16string& homePathData)
{
    const std::u16string::size_type slash = homePathData.rfind(u'\\');
    std::u16string name = slash == std::u16string::npos ? homePathData : homePathData.substr(slash + 1);
    const std::u16string::size_type nul = name.find(u'\0');
    if (nul != std::u16string::npos)
        name.erase(nul);
    return name;
}

std::string MakeRemoteUserLine(const std::string& homeFolder, const std::string& userKey)
{
    return homeFolder + kRemoteUserMarker + userKey;
}
