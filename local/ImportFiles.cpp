#include "local/ImportFiles.h"

#include <cstdio>

#include "local/DefaultPrinter.h"
#include "local/OutputSet.h"
#include "local/SystemCodePage.h"
#include "remote/ApplicationsFile.h"
#include "remote/FileBytes.h"

const std::vector<std::string> kImportFiles = {
    "mappedDrv.reg", "printers.reg", "mappedDrv.prx", "printers.prx", "drives.txt.reg", "printers.txt.reg",
    "DefaultPrinter.reg",
};

namespace {

const wchar_t kWindowsKey[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows";

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

bool WriteDefaultPrinterFile(HKEY root, const std::wstring& userKey, TOutputSet& set, SourceFacts& facts,
                             TProblem& problem)
{
    const std::wstring path = (userKey.empty() ? L"" : userKey + L"\\") + kWindowsKey;
    HKEY key = nullptr;
    LONG result = RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key);
    if (result == ERROR_FILE_NOT_FOUND)
        return true;
    std::string data;
    DWORD type = 0, size = 0;
    if (result == ERROR_SUCCESS) {
        result = RegQueryValueExW(key, L"Device", nullptr, &type, nullptr, &size);
        if (result == ERROR_SUCCESS && size > 0) {
            data.resize(size);
            result = RegQueryValueExW(key, L"Device", nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
            data.resize(result == ERROR_SUCCESS ? size : 0);
        }
        RegCloseKey(key);
    }
    if (result == ERROR_FILE_NOT_FOUND)
        return true;
    if (result != ERROR_SUCCESS)
        return Fail(problem, "The user's default printer (" + AnsiText(Utf16Text(path)) +
                                 "\\Device) cannot be read (error " + std::to_string(result) + ").");
    if (type != REG_SZ)
        return true;  // no printer name a Device value of another type could hold
    std::u16string device = UnitsOfBytes(data);
    device = device.substr(0, device.find(u'\0'));
    if (device.empty())
        return true;
    // The shown text keeps every backslash and comma where it was: only
    // characters the code page lacks become '?'.
    const std::string shown = AnsiText(device);
    if (NetworkPrinterName(shown, IsAnsiLeadByte).empty()) {
        facts.localDefaultPrinter = shown.substr(0, shown.find(','));
        return true;
    }
    bool unicode = false;
    const std::string bytes = DefaultPrinterRegText(device, SystemCodePage(), unicode);
    if (unicode)
        NoteUnicodeFile(facts, "DefaultPrinter.reg");
    return WriteBytes(set.WorkPath("DefaultPrinter.reg"), bytes, problem);
}

void NoteUnicodeFile(SourceFacts& facts, const std::string& name)
{
    facts.unicodeFiles.push_back(name);
    facts.codePage = GetACP();
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
