#include "local/ImportFiles.h"

#include <cstdio>

#include "local/DefaultPrinter.h"
#include "local/OutputSet.h"
#include "remote/ApplicationsFile.h"
#include "remote/FileBytes.h"

const std::vector<std::string> kImportFiles = {
    "mappedDrv.reg", "printers.reg", "mappedDrv.prx", "printers.prx", "drives.txt.reg", "printers.txt.reg",
    "DefaultPrinter.reg",
};

namespace {

const char kWindowsKey[] = "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

bool WriteBytes(const std::string& path, const std::string& bytes, TProblem& problem)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    const bool closed = file && std::fclose(file) == 0;
    return (written && closed) ||
           Fail(problem, "The file " + path + " could not be written in full (is the disk full?).");
}

} // namespace

std::u16string WidenAnsi(const std::string& ansi)
{
    const std::wstring wide = WideFromAnsi(ansi);
    return std::u16string(wide.begin(), wide.end());
}

bool WriteDefaultPrinterFile(HKEY root, const std::string& userKey, TOutputSet& set, SourceFacts& facts,
                             TProblem& problem)
{
    const std::string path = (userKey.empty() ? "" : userKey + "\\") + kWindowsKey;
    HKEY key = nullptr;
    LONG result = RegOpenKeyExA(root, path.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (result == ERROR_FILE_NOT_FOUND)
        return true;
    std::string device;
    DWORD type = 0, size = 0;
    if (result == ERROR_SUCCESS) {
        result = RegQueryValueExA(key, "Device", nullptr, &type, nullptr, &size);
        if (result == ERROR_SUCCESS && size > 0) {
            device.resize(size);
            result = RegQueryValueExA(key, "Device", nullptr, &type, reinterpret_cast<BYTE*>(&device[0]), &size);
            device.resize(result == ERROR_SUCCESS ? size : 0);
        }
        RegCloseKey(key);
    }
    if (result == ERROR_FILE_NOT_FOUND)
        return true;
    if (result != ERROR_SUCCESS)
        return Fail(problem, "The user's default printer (" + path + "\\Device) cannot be read (error " +
                                 std::to_string(result) + ").");
    if (type != REG_SZ)
        return true;  // no printer name a Device value of another type could hold
    device = device.substr(0, device.find('\0'));
    if (device.empty())
        return true;
    const std::string printer = NetworkPrinterName(device, IsAnsiLeadByte);
    if (printer.empty()) {
        facts.localDefaultPrinter = device.substr(0, device.find(','));
        return true;
    }
    return WriteBytes(set.WorkPath("DefaultPrinter.reg"), DefaultPrinterRegText(device, IsAnsiLeadByte), problem);
}

bool RenameServersInSet(TOutputSet& set, const std::vector<ServerMapping>& map, SourceFacts& facts,
                        TProblem& problem)
{
    if (map.empty())
        return true;
    for (const ServerMapping& mapping : map)
        facts.serverMap.push_back("\\\\" + mapping.oldServer + " to \\\\" + mapping.newServer);
    for (const std::string& name : kImportFiles) {
        if (!set.Produced(name))
            continue;
        const std::string path = set.WorkPath(name);
        std::string bytes;
        FilePtr file(std::fopen(path.c_str(), "rb"));
        if (!file || !ReadWholeFile(file.get(), bytes))
            return Fail(problem, "The file " + path + " cannot be read.");
        file.reset();
        const RenamedFile renamed = RenameServersInFile(bytes, map, IsAnsiLeadByte, WidenAnsi);
        if (renamed.changedLines > 0 && !WriteBytes(path, renamed.bytes, problem))
            return false;
    }
    return true;
}
