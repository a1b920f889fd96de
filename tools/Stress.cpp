// Builds a hostile tree under the test user's Printers key, exports it with
// the tool's remote export (connected to this machine), imports the ".reg"
// copy back with reg import and compares the trees. Prints time, file sizes
// and the tool's peak memory. Run under Wine by scripts/stress.
#include <windows.h>
#include <psapi.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>
#include <string>

#include "res/resource.h"
#include "tests/wine/Harness.h"

namespace {

void Snapshot(HKEY root, const std::string& path, const std::string& name, bool toNul, std::map<std::string, std::string>& keys)
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
        RegEnumValueA(key, i, valueName.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
        std::string& text = lines[std::string(valueName.data(), nameLength)] = " type " + std::to_string(type) + ":";
        for (DWORD b = 0; b < dataLength && !(toNul && type == REG_SZ && data[b] == 0); ++b)
            text += " " + std::to_string(data[b]);
    }
    if (values > 0 || subKeys > 0) {
        std::string& text = keys[name];
        for (const auto& line : lines)
            text += "  \"" + line.first + "\"" + line.second + "\n";
    }
    char child[MAX_PATH];
    for (DWORD i = 0; RegEnumKeyA(key, i, child, MAX_PATH) == ERROR_SUCCESS; ++i)
        Snapshot(root, path + "\\" + child, name + "\\" + child, toNul, keys);
    RegCloseKey(key);
}

// Every key below path with values or subkeys, with each value's type and
// bytes, in an order of its own; with toNul a REG_SZ counts up to its first NUL.
std::string RegistrySnapshot(HKEY root, const std::string& path, bool toNul)
{
    std::map<std::string, std::string> keys;
    Snapshot(root, path, "", toNul, keys);
    std::string text;
    for (const auto& key : keys)
        text += "[" + key.first + "]\n" + key.second;
    return text;
}


const char kTop[] = "Printers\\Stress";

std::string Bytes(std::size_t n, unsigned seed)
{
    std::string data(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        data[i] = static_cast<char>((i * 131 + seed) & 0xFF);
    return data;
}

void BuildTree()
{
    SHDeleteKeyA(HKEY_CURRENT_USER, std::string("Printers").c_str());
    const std::string top = kTop;

    // 20,000 subkeys in one key, each with a value so that it has a section.
    HKEY wide;
    RegCreateKeyExA(HKEY_CURRENT_USER, (top + "\\Wide").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &wide, nullptr);
    for (int i = 0; i < 20000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "k%05d", i);
        HKEY key;
        RegCreateKeyExA(wide, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        DWORD value = static_cast<DWORD>(i);
        RegSetValueExA(key, "n", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        RegCloseKey(key);
    }
    RegCloseKey(wide);

    // A chain 200 keys deep.
    std::string deep = top + "\\Deep";
    for (int i = 1; i <= 200; ++i)
        deep += "\\d" + std::to_string(i);
    sandbox::SetString(HKEY_CURRENT_USER, deep, "bottom", "reached");

    std::string odd = top + "\\Odd";
    sandbox::SetValue(HKEY_CURRENT_USER, odd, "big", REG_BINARY, Bytes(1 << 20, 7));
    sandbox::SetString(HKEY_CURRENT_USER, odd, std::string(16383, 'v').c_str(), "longest value name");
    sandbox::SetString(HKEY_CURRENT_USER, odd + "\\" + std::string(255, 'K'), "in", "longest key name");
    for (const char* name : {"a\"b", "c\\d", "[x]", "[S-1\\y", "u=-->v", "\\\\srv\\Laser", "]"})
        sandbox::SetString(HKEY_CURRENT_USER, odd, name, std::string("data of ") + name);
    for (const char* key : {"k\"q", "[br]", "[S-9", "m=-->n", "x]y"})
        sandbox::SetString(HKEY_CURRENT_USER, odd + "\\" + key, "v", "in an odd key");
    sandbox::SetString(HKEY_CURRENT_USER, odd, "quotes", "say \"hi\" [S-1\\x] =-->");
    sandbox::SetString(HKEY_CURRENT_USER, odd, "endsInBackslash", "C:\\dir\\");
    sandbox::SetValue(HKEY_CURRENT_USER, odd, "noNul", REG_SZ, "abc");
    for (DWORD type = 0; type <= 12; ++type) {
        std::string data = type == REG_DWORD ? std::string("\x1f\0\0\0", 4)
                         : type == REG_QWORD ? std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)
                         : (type == REG_SZ || type == REG_EXPAND_SZ) ? std::string("text %X%\0", 9)
                         : type == REG_MULTI_SZ ? std::string("one\0two\0\0", 9)
                                                : Bytes(33, type);
        sandbox::SetValue(HKEY_CURRENT_USER, odd + "\\Types", ("t" + std::to_string(type)).c_str(), type, data);
    }
    sandbox::SetValue(HKEY_CURRENT_USER, odd + "\\Types", "t12345", 0x12345, Bytes(5, 9));
    sandbox::SetValue(HKEY_CURRENT_USER, odd + "\\Types", "emptyBinary", REG_BINARY, "");
    sandbox::SetValue(HKEY_CURRENT_USER, odd + "\\Types", "shortDword", REG_DWORD, "\x05");
}

long long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A stored profile whose exports are larger than a 32-bit process can
// convert: each conversion must end with its message, and the tool must live.
bool HugeExport(const std::string& folder)
{
    const std::string profile = "C:\\users\\huge";
    sandbox::RemoveTree(profile);
    sandbox::MakeDirs(profile);
    sandbox::Write(profile + "\\ntuser.dat", "Printers\r\nNetwork\r\n");  // the keys the stand-in loads
    sandbox::Write(sandbox::InstallStandIn() + "big-export", "900");
    driver::Tool tool;
    if (!tool.Start(folder + "\\MovaraM.exe", folder))
        return false;
    auto items = driver::ListItems(tool.Item(IDL_PROFILES));
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i] == "huge")
            SendMessageW(tool.Item(IDL_PROFILES), LB_SETCURSEL, i, 0);
    }
    DWORD started = GetTickCount();
    tool.Press(IDB_SELECT_USER);
    int messages = 0;
    // The job runs beside the window: it has ended when its buttons are back.
    while (!tool.WaitJob(0) || !IsWindowEnabled(tool.Item(IDB_SELECT_USER))) {
        HWND box = tool.FindDialog();
        if (box) {
            const std::string caption = driver::Text(box);
            std::printf("stress: huge export: %s / %s\n", caption.c_str(), tool.Answer(caption).substr(0, 120).c_str());
            ++messages;
        }
        Sleep(100);
        if (GetTickCount() - started > 900000)
            break;
    }
    bool alive = tool.WaitExit(0) == STILL_ACTIVE;
    std::printf("stress: huge export (900 MiB per file) ended in %.1f s with %d message(s); the tool %s\n",
                (GetTickCount() - started) / 1000.0, messages, alive ? "lives on" : "DIED");
    tool.Press(IDB_EXIT);
    DWORD code = tool.WaitExit(20000);
    tool.Kill();
    sandbox::RemoveTree(profile);
    sandbox::RemoveTree(folder + "\\huge");
    DeleteFileA((sandbox::SystemDir() + "big-export").c_str());
    return alive && code == 0;
}

}  // namespace

// With the argument "huge", the huge stored-profile export alone; run with
// the stand-in as the system's reg (WINEDLLOVERRIDES=reg.exe=n).
int main(int argc, char** argv)
{
    if (argc > 1 && std::string(argv[1]) == "huge") {
        const std::string folder = sandbox::FreshDir("stress-huge") + "\\tool";
        sandbox::MakeDirs(folder);
        sandbox::MakeDirs("C:\\users\\All Users");
        CopyFileA(sandbox::Beside("MovaraM.exe").c_str(), (folder + "\\MovaraM.exe").c_str(), FALSE);
        return HugeExport(folder) ? 0 : 1;
    }
    DWORD started = GetTickCount();
    BuildTree();
    std::printf("stress: tree built in %.1f s\n", (GetTickCount() - started) / 1000.0);
    std::string before = RegistrySnapshot(HKEY_CURRENT_USER, "Printers", true);
    // The dword form carries four bytes; a shorter DWORD comes back padded with zeros.
    const std::string shortDword = "\"shortDword\" type 4: 5\n";
    before.replace(before.find(shortDword), shortDword.size(), "\"shortDword\" type 4: 5 0 0 0\n");

    std::string folder = sandbox::FreshDir("stress") + "\\tool";
    sandbox::MakeDirs(folder);
    sandbox::MakeDirs("C:\\users\\All Users");
    CopyFileA(sandbox::Beside("MovaraM.exe").c_str(), (folder + "\\MovaraM.exe").c_str(), FALSE);
    driver::Tool tool;
    if (!tool.Start(folder + "\\MovaraM.exe", folder)) {
        std::printf("stress: the tool did not start\n");
        return 1;
    }
    tool.TypeMachine(driver::ThisComputer());
    tool.Run(IDB_CONNECT_REG);
    started = GetTickCount();
    tool.Press(IDB_REMOTE_SELECT_USER);
    bool ended = tool.WaitJob(600000) && driver::WaitUntil([&] {
        return IsWindowEnabled(tool.Item(IDB_SELECT_USER)) || tool.FindDialog();
    }, 600000);
    double seconds = (GetTickCount() - started) / 1000.0;
    HWND box = tool.FindDialog();
    if (box)
        std::printf("stress: a message box stands open: %s / %s\n", driver::Text(box).c_str(), driver::Text(GetDlgItem(box, 0xFFFF)).c_str());

    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof memory;
    DWORD processId = 0;
    GetWindowThreadProcessId(tool.Main(), &processId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    GetProcessMemoryInfo(process, &memory, sizeof memory);
    CloseHandle(process);
    tool.Press(IDB_EXIT);
    tool.WaitExit();

    std::string out = folder + "\\RemoteMachine";
    std::printf("stress: remote export %s in %.1f s; printers.txt %lld bytes, printers.txt.reg %lld bytes; "
                "tool peak working set %.1f MiB, peak private bytes %.1f MiB\n",
                ended ? "finished" : "DID NOT FINISH", seconds, FileSize(out + "\\printers.txt"),
                FileSize(out + "\\printers.txt.reg"), memory.PeakWorkingSetSize / 1048576.0,
                memory.PeakPagefileUsage / 1048576.0);
    if (!ended || box)
        return 1;

    SHDeleteKeyA(HKEY_CURRENT_USER, std::string("Printers").c_str());
    started = GetTickCount();
    int imported = std::system(("reg import \"" + out + "\\printers.txt.reg\"").c_str());
    std::printf("stress: reg import exit %d in %.1f s\n", imported, (GetTickCount() - started) / 1000.0);
    const std::string after = RegistrySnapshot(HKEY_CURRENT_USER, "Printers", true);
    if (after != before) {
        std::size_t at = 0;
        while (at < before.size() && at < after.size() && before[at] == after[at])
            ++at;
        std::size_t from = at > 300 ? at - 300 : 0;
        std::printf("stress: ROUND TRIP DIFFERS at %u of %u/%u bytes\n--- exported:\n%s\n--- imported:\n%s\n",
                    static_cast<unsigned>(at), static_cast<unsigned>(before.size()), static_cast<unsigned>(after.size()),
                    before.substr(from, 600).c_str(), after.substr(from, 600).c_str());
        return 1;
    }
    std::printf("stress: round trip identical (%u bytes of snapshot)\n", static_cast<unsigned>(before.size()));
    SHDeleteKeyA(HKEY_CURRENT_USER, std::string("Printers").c_str());
    return 0;
}
