// Times the remote printers export (the tool's own writer, reading through
// RegConnectRegistryA) against the system's "reg export" of the same tree, in
// one run and one prefix: a tree of ASCII names, written REGEDIT4, and one
// whose names need the Unicode form. Not a test: it prints the figures.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "remote/Registry.h"

namespace {

const wchar_t kUserKey[] = L"S-1-5-21-0-0-0-1000";  // HKEY_CURRENT_USER under Wine
const int kGroups = 50;
const int kKeysPerGroup = 100;

double Now()
{
    static LARGE_INTEGER frequency = {};
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const std::string& data)
{
    RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.data()), static_cast<DWORD>(data.size()));
}

std::string Utf16Bytes(const std::wstring& text)
{
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}

// kGroups keys under Printers, each with kKeysPerGroup subkeys, and five
// values of different types in every key. With cyrillic, the printers'
// names hold a word that code page 1252 lacks, which makes the export Unicode.
int MakeTree(bool cyrillic)
{
    int keys = 0;
    std::string binary;
    for (int b = 0; b < 32; ++b)
        binary += static_cast<char>(b * 7);
    const wchar_t* printer = cyrillic ? L"\x041f\x0440\x0438\x043d\x0442\x0435\x0440" : L"Printer";
    for (int g = 0; g < kGroups; ++g) {
        for (int k = -1; k < kKeysPerGroup; ++k) {
            wchar_t path[MAX_PATH];
            if (k < 0)
                swprintf(path, MAX_PATH, L"Printers\\Group%03d", g);
            else
                swprintf(path, MAX_PATH, L"Printers\\Group%03d\\,,srv%d,%ls %04d", g, g, printer, k);
            HKEY key;
            if (RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != 0)
                continue;
            ++keys;
            const DWORD flags = static_cast<DWORD>(g * 1000 + k);
            SetValue(key, L"Attributes", REG_DWORD, std::string(reinterpret_cast<const char*>(&flags), 4));
            SetValue(key, L"DevMode", REG_BINARY, binary);
            SetValue(key, L"Name", REG_SZ, Utf16Bytes(path));
            SetValue(key, L"Port", REG_SZ, Utf16Bytes(L"\\\\srv\\share\\port"));
            SetValue(key, L"Servers", REG_MULTI_SZ, Utf16Bytes(std::wstring(L"srv1\0srv2\0", 10)));
            RegCloseKey(key);
        }
    }
    return keys;
}

// Wide, so that the Cyrillic tree's keys are found by their own names.
void DeleteTree(HKEY root, const std::wstring& path)
{
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return;
    std::vector<std::wstring> children;
    wchar_t name[MAX_PATH];
    for (DWORD i = 0;; ++i) {
        DWORD length = MAX_PATH;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name, length);
    }
    RegCloseKey(key);
    for (const auto& child : children)
        DeleteTree(root, path + L"\\" + child);
    RegDeleteKeyW(root, path.c_str());
}

bool RunWait(const std::string& commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    CloseHandle(process.hProcess);
    return true;
}

long FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data))
        return -1;
    return static_cast<long>(data.nFileSizeLow);
}

} // namespace

int main()
{
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD size = sizeof computer;
    GetComputerNameA(computer, &size);
    char temp[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = std::string(temp) + "movara-bench";
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string regFile = folder + "\\reg-export.reg";

    for (const bool cyrillic : {false, true}) {
        DeleteTree(HKEY_CURRENT_USER, L"Printers");
        const double built = Now();
        const int keys = MakeTree(cyrillic);
        std::printf("%s tree: %d keys with 5 values each, built in %.2f s\n", cyrillic ? "Cyrillic" : "ASCII", keys,
                    Now() - built);

        // Wine's server writes the registry out now and then, which stalls any
        // call that falls into it; the best of several rounds is the figure.
        const int rounds = 5;
        double bestTool = 1e9;
        double bestReg = 1e9;
        for (int round = 0; round < rounds; ++round) {
            double start = Now();
            ExportForm form = ExportForm::Ansi;
            {
                TRegistry registry;
                (void)registry.Connect(std::string("\\\\") + computer, HKEY_USERS);
                TProblem problem;
                if (!registry.ExportToFile(folder, std::wstring(kUserKey) + L"\\Printers", "printers.txt", problem))
                    std::printf("export failed: %s\n", problem.text.c_str());
                form = registry.LastForm();
            }
            const double tool = Now() - start;

            DeleteFileA(regFile.c_str());  // reg export would ask before overwriting
            start = Now();
            RunWait("reg export HKCU\\Printers \"" + regFile + "\"");
            const double reg = Now() - start;

            std::printf("round %d: tool %.3f s (printers.txt %s %ld bytes, .reg %ld bytes), reg export %.3f s (%ld bytes)\n",
                        round + 1, tool, form == ExportForm::Ansi ? "REGEDIT4" : "Unicode",
                        FileSize(folder + "\\printers.txt"), FileSize(folder + "\\printers.txt.reg"), reg,
                        FileSize(regFile));
            if (tool < bestTool)
                bestTool = tool;
            if (reg < bestReg)
                bestReg = reg;
        }
        std::printf("best of the %s tree: tool %.3f s, reg export %.3f s, tool/reg %.2f\n",
                    cyrillic ? "Cyrillic" : "ASCII", bestTool, bestReg, bestTool / bestReg);
    }

    DeleteTree(HKEY_CURRENT_USER, L"Printers");
    return 0;
}
