// Stands in for the system's reg tool where Wine lacks "reg load" and
// "reg unload": it appends its arguments, joined by "|", as one line to
// reg-calls.log beside itself. "load" makes the hive's key (under HKEY_USERS,
// or HKEY_LOCAL_MACHINE for a disk's hive) with the keys and the string and
// DWORD values the hive file's lines name (as a real hive
// brings its keys), "unload" deletes it, and "export" writes a small UTF-16LE export of
// a key that exists (its subkeys with their string values). Files beside it change its answers: "fail-load",
// "fail-unload" and "fail-export" holding a key's name fail that command for
// it (a logged-on user, a hive held open, a full disk), "big-export" holding
// N makes every export N MiB long, and "hold" holding a key's name makes a
// load or an export of it, once done, create "held" and wait until that is
// gone: a run still at work when a test raises a console's event. While it
// waits it holds its hive open, as reg does: that hive does not unload.
#include <shlwapi.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "tests/wine/Harness.h"

using sandbox::Beside;
using sandbox::Exists;

namespace {

bool Fails(const char* control, const std::string& key)
{
    return Exists(Beside(control)) && sandbox::Read(Beside(control)) == key;
}

// The key's root and the path below it.
HKEY Root(const std::string& key, std::string& path)
{
    const std::string root = key.substr(0, key.find('\\'));
    path = root.size() < key.size() ? key.substr(root.size() + 1) : "";
    while (!path.empty() && path.back() == '\\')
        path.pop_back();
    return root == "hku" ? HKEY_USERS : root == "hklm" ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// The sections of the subkeys below path, each with its string values, as
// reg writes them: so that a rename of their names and data can be seen.
std::string SubkeySections(HKEY root, const std::string& rootName, const std::string& path)
{
    std::string text;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return text;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(key, i, name, sizeof name) == ERROR_SUCCESS; ++i) {
        const std::string sub = path + "\\" + name;
        text += "\r\n[" + rootName + "\\" + sub + "]\r\n";
        HKEY subKey;
        if (RegOpenKeyExA(root, sub.c_str(), 0, KEY_READ, &subKey) == ERROR_SUCCESS) {
            char value[256], data[1024];
            DWORD valueSize = sizeof value, dataSize = sizeof data, type = 0;
            for (DWORD v = 0; RegEnumValueA(subKey, v, value, &valueSize, nullptr, &type,
                                            reinterpret_cast<BYTE*>(data), &dataSize) == ERROR_SUCCESS;
                 ++v, valueSize = sizeof value, dataSize = sizeof data) {
                if (type != REG_SZ)
                    continue;
                std::string escaped;
                for (const char c : std::string(data))
                    escaped += c == '\\' || c == '"' ? std::string("\\") + c : std::string(1, c);
                text += "\"" + std::string(value) + "\"=\"" + escaped + "\"\r\n";
            }
            RegCloseKey(subKey);
        }
        text += SubkeySections(root, rootName, sub);
    }
    RegCloseKey(key);
    return text;
}

// Once its work on the key named in "hold" is done: "held" (the key and this
// process's id), then a wait until the test removes it (or ends this process).
int Done(const std::string& key, int code)
{
    if (!Fails("hold", key))
        return code;
    sandbox::Write(Beside("held"), key + "|" + std::to_string(GetCurrentProcessId()));
    for (int i = 0; i < 3000 && Exists(Beside("held")); ++i)
        Sleep(20);
    return code;
}

// Whether a stand-in that holds its work on a key of this hive still runs.
bool HiveHeld(const std::string& hive)
{
    const std::string held = sandbox::Read(Beside("held"));
    const std::size_t bar = held.rfind('|');
    if (bar == std::string::npos || held.compare(0, hive.size(), hive) != 0)
        return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, std::strtoul(held.c_str() + bar + 1, nullptr, 10));
    const bool runs = process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    if (process)
        CloseHandle(process);
    return runs;
}

} // namespace

int main(int argc, char** argv)
{
    std::ofstream log(Beside("reg-calls.log"), std::ios::binary | std::ios::app);
    for (int i = 1; i < argc; ++i)
        log << argv[i] << (i + 1 < argc ? "|" : "\n");
    log.flush();  // a test may end this process while it holds its work
    const std::string verb = argc > 1 ? argv[1] : "", key = argc > 2 ? argv[2] : "";
    std::string path;
    const HKEY root = Root(key, path);
    // Like reg, load needs the hive file, named relative to the working directory.
    if (verb == "load") {
        if (argc < 4 || Fails("fail-load", key) || !Exists(argv[3]))
            return 1;
        std::istringstream hive(sandbox::Read(argv[3]));
        // A line is a key, or a key, a value's name and its text joined by
        // "|"; a text "dword:" and eight hex digits is a DWORD.
        for (std::string line; std::getline(hive, line);) {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            const std::string sub = line.substr(0, line.find('|')), rest = line.substr(sub.size());
            const std::string name = rest.empty() ? "" : rest.substr(1, rest.find('|', 1) - 1);
            std::string text = rest.empty() ? "" : rest.substr(rest.find('|', 1) + 1);
            DWORD type = REG_SZ;
            if (text.compare(0, 6, "dword:") == 0) {
                const DWORD number = std::strtoul(text.c_str() + 6, nullptr, 16);
                text.assign(reinterpret_cast<const char*>(&number), sizeof number);
                type = REG_DWORD;
            } else {
                text += '\0';
            }
            sandbox::SetValue(root, path + (sub.empty() ? "" : "\\" + sub), rest.empty() ? nullptr : name.c_str(),
                              type, text);
        }
        return Done(key, 0);
    }
    if (verb == "unload")
        return Fails("fail-unload", key) || HiveHeld(key) || SHDeleteKeyA(root, path.c_str()) != ERROR_SUCCESS;
    if (verb != "export")
        return 0;
    HKEY opened;
    if (argc < 4 || Fails("fail-export", key) || RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return 1;
    RegCloseKey(opened);
    if (Exists(argv[3])) {
        log << "EXISTS " << argv[3] << "\n";  // reg would ask whether to overwrite, and wait for ever
        return 2;
    }
    // A section naming the key in full, as reg writes it, then its subkeys.
    const std::string rootName =
        root == HKEY_USERS ? "HKEY_USERS" : root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
    const std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[" + rootName + "\\" + path +
                             "]\r\n\"a\"=\"b\"\r\n" + SubkeySections(root, rootName, path);
    std::ofstream out(argv[3], std::ios::binary);
    out << "\xff\xfe" << sandbox::Utf16(text);
    const std::string filler = sandbox::Utf16("\"Filler\"=\"" + std::string(1000, 'f') + "\"\r\n");
    for (long long bytes = std::atoll(sandbox::Read(Beside("big-export")).c_str()) << 20; bytes > 0; bytes -= filler.size())
        out << filler;
    out.close();
    return Done(key, out ? 0 : 1);
}
