#include "tests/wine/Sandbox.h"

#include <cstdio>
#include <fstream>
#include <map>
#include <iterator>
#include <vector>

namespace sandbox {

std::string BuildDir()
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string dir = path;
    return dir.substr(0, dir.find_last_of('\\'));
}

std::string ToolExe()
{
    return BuildDir() + "\\MovaraM.exe";
}

std::string StandInExe()
{
    return BuildDir() + "\\reg_standin.exe";
}

std::string StandInDir()
{
    char system[MAX_PATH] = {};
    GetSystemDirectoryA(system, MAX_PATH);
    return std::string(system) + "\\";
}

std::string InstallStandIn()
{
    CopyFileA(StandInExe().c_str(), (StandInDir() + "reg.exe").c_str(), FALSE);
    return StandInDir();
}

void ClearStandInLog()
{
    DeleteFileA((StandInDir() + "reg-calls.log").c_str());
}

std::vector<std::vector<std::string>> StandInCalls()
{
    std::vector<std::vector<std::string>> calls;
    const std::string log = ReadOrEmpty(StandInDir() + "reg-calls.log");
    for (std::size_t at = 0; at < log.size();) {
        std::size_t end = log.find("\r\n", at);
        std::string line = log.substr(at, end - at);
        at = end == std::string::npos ? log.size() : end + 2;
        if (line.compare(0, 8, "CMDLINE ") == 0)
            calls.emplace_back();
        else if (line.compare(0, 4, "ARG ") == 0 && !calls.empty())
            calls.back().push_back(line.substr(4));
        else if (line.compare(0, 7, "EXISTS ") == 0)
            calls.push_back({"<asked to overwrite " + line.substr(7) + ">"});
    }
    return calls;
}

bool MakeDirs(const std::string& path)
{
    for (std::size_t i = 3; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '\\')
            CreateDirectoryA(path.substr(0, i).c_str(), nullptr);
    }
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void RemoveTree(const std::string& path)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((path + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string child = path + "\\" + name;
            SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(child);
            else
                DeleteFileA(child.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    RemoveDirectoryA(path.c_str());
}

std::string FreshDir(const std::string& name)
{
    std::string path = "C:\\mvt\\" + name;
    RemoveTree(path);
    MakeDirs(path);
    return path;
}

bool Exists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadBytes(const std::string& path, std::string& bytes)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

std::string ReadOrEmpty(const std::string& path)
{
    std::string bytes;
    ReadBytes(path, bytes);
    return bytes;
}

bool WriteBytes(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

std::string Utf16(const std::string& latin1)
{
    std::string out;
    for (unsigned char c : latin1) {
        out.push_back(static_cast<char>(c));
        out.push_back('\0');
    }
    return out;
}

void DeleteKeyTree(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::string> children;
    char name[MAX_PATH];
    for (DWORD i = 0;; ++i) {
        DWORD length = MAX_PATH;
        if (RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.push_back(name);
    }
    RegCloseKey(key);
    for (const auto& child : children)
        DeleteKeyTree(root, path + "\\" + child);
    RegDeleteKeyA(root, path.c_str());
}

void SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const std::string& data)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
    RegCloseKey(key);
}

void SetString(HKEY root, const std::string& path, const std::string& name, const std::string& text)
{
    SetValue(root, path, name, REG_SZ, text + std::string(1, '\0'));
}

void SetDword(HKEY root, const std::string& path, const std::string& name, DWORD value)
{
    SetValue(root, path, name, REG_DWORD, std::string(reinterpret_cast<const char*>(&value), 4));
}

void CreateKey(HKEY root, const std::string& path)
{
    HKEY key;
    if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

void DeleteValue(HKEY root, const std::string& path, const std::string& name)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
        return;
    RegDeleteValueA(key, name.c_str());
    RegCloseKey(key);
}

int RunWait(const std::string& commandLine, DWORD timeoutMs)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    DWORD code = static_cast<DWORD>(-1);
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        GetExitCodeProcess(process.hProcess, &code);
    else
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hProcess);
    return static_cast<int>(code);
}

namespace {
// The keys with values or subkeys below path, each with its values, in an
// order of their own so that the registry's enumeration order does not count.
void Snapshot(HKEY root, const std::string& path, const std::string& name, bool stringsToNul,
              std::map<std::string, std::string>& keys)
{
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD subKeys = 0, values = 0, longestName = 0, longestData = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, &values, &longestName, &longestData,
                     nullptr, nullptr);
    std::map<std::string, std::string> lines;
    std::vector<char> valueName(longestName * 2 + 2);
    std::vector<unsigned char> data(longestData + 1);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameLength = static_cast<DWORD>(valueName.size()), dataLength = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueA(key, i, valueName.data(), &nameLength, nullptr, &type, data.data(), &dataLength) != 0) {
            lines["<unreadable " + std::to_string(i) + ">"] = "";
            continue;
        }
        char line[32];
        std::snprintf(line, sizeof line, " type %lu:", type);
        std::string text = line;
        // A string without its terminator cannot be written as a string; it
        // comes back terminated, so such snapshots compare up to the first NUL.
        if (stringsToNul && type == REG_SZ) {
            DWORD end = 0;
            while (end < dataLength && data[end] != 0)
                ++end;
            dataLength = end;
        }
        for (DWORD b = 0; b < dataLength; ++b) {
            std::snprintf(line, sizeof line, " %02x", data[b]);
            text += line;
        }
        lines[std::string(valueName.data(), nameLength)] = text;
    }
    std::vector<std::string> children;
    char child[MAX_PATH];
    for (DWORD i = 0; RegEnumKeyA(key, i, child, MAX_PATH) == ERROR_SUCCESS; ++i)
        children.push_back(child);
    RegCloseKey(key);
    if (values > 0 || subKeys > 0) {
        std::string& text = keys[name];
        for (const auto& line : lines)
            text += "  \"" + line.first + "\"" + line.second + "\n";
    }
    for (const auto& c : children)
        Snapshot(root, path + "\\" + c, name + "\\" + c, stringsToNul, keys);
}

}  // namespace

std::string RegistrySnapshot(HKEY root, const std::string& path, bool stringsToNul)
{
    std::map<std::string, std::string> keys;
    Snapshot(root, path, path, stringsToNul, keys);
    std::string text;
    for (const auto& key : keys)
        text += "[" + key.first + "]\n" + key.second;
    return text;
}

}  // namespace sandbox
