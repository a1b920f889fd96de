#include "remote/ApplicationsFile.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

#include "local/CommandRunner.h"
#include "remote/Applications.h"

// Older headers know the registry views only for later systems; the flags are
// the same on XP x64 and Server 2003 x64, and ignored by 32-bit Windows.
#ifndef KEY_WOW64_64KEY
#define KEY_WOW64_64KEY 0x0100
#endif
#ifndef KEY_WOW64_32KEY
#define KEY_WOW64_32KEY 0x0200
#endif

namespace {

const wchar_t kUninstallKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall";
// Not redirected under WOW64: a 32-bit tool on 64-bit Windows reads the
// machine's own architecture here, not the "x86" of its own environment.
const wchar_t kEnvironmentKey[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";

REGSAM ViewFlag(RegistryView view)
{
    return view == RegistryView::View64 ? KEY_WOW64_64KEY : view == RegistryView::View32 ? KEY_WOW64_32KEY : 0;
}

} // namespace

std::wstring WideFromAnsi(const std::string& text)
{
    if (text.empty())
        return std::wstring();
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

namespace {

// A string value as it is stored, NULs included (CleanAppText cuts it at the
// first); unset for a missing value or one of another type. false for a read
// that failed.
bool ReadText(HKEY key, const wchar_t* name, std::optional<std::u16string>& text)
{
    DWORD type = 0, size = 0;
    LONG result = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
    if (result == ERROR_FILE_NOT_FOUND)
        return true;
    if (result != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return true;
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    result = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got);
    if (result != ERROR_SUCCESS)
        return false;
    const std::size_t units = got / sizeof(wchar_t);
    text = std::u16string(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(units));
    return true;
}

LONG ReadEntry(HKEY key, UninstallKeyValues& values)
{
    if (!ReadText(key, L"DisplayName", values.displayName) || !ReadText(key, L"DisplayVersion", values.displayVersion) ||
        !ReadText(key, L"Publisher", values.publisher) || !ReadText(key, L"ReleaseType", values.releaseType) ||
        !ReadText(key, L"ParentDisplayName", values.parentDisplayName))
        return ERROR_READ_FAULT;
    DWORD type = 0, number = 0, size = sizeof number;
    LONG result = RegQueryValueExW(key, L"SystemComponent", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size);
    values.systemComponentIsOne = result == ERROR_SUCCESS && type == REG_DWORD && size == sizeof number && number == 1;
    size = 0;
    result = RegQueryValueExW(key, L"ParentKeyName", nullptr, nullptr, nullptr, &size);
    values.hasParentKeyName = result == ERROR_SUCCESS || result == ERROR_MORE_DATA;
    return ERROR_SUCCESS;
}

// How many subkeys the uninstall key at path below root has now; 0 when it
// cannot be read.
std::size_t SubKeyCount(HKEY root, const std::wstring& path, REGSAM view)
{
    HKEY uninstall = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &uninstall) != ERROR_SUCCESS)
        return 0;
    DWORD subKeys = 0;
    if (RegQueryInfoKeyA(uninstall, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        subKeys = 0;
    RegCloseKey(uninstall);
    return subKeys;
}

// Every subkey of the uninstall key at path below root; entryRead after each.
void ReadUninstallKey(HKEY root, const std::wstring& path, REGSAM view, AppScope scope, ApplicationsList& list,
                      const std::function<void()>& entryRead)
{
    HKEY uninstall = nullptr;
    LONG result = RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &uninstall);
    if (result == ERROR_FILE_NOT_FOUND)
        return;  // nothing installed there
    if (result != ERROR_SUCCESS) {
        list.AddUnreadable("the uninstall key itself, error " + std::to_string(result));
        return;
    }
    wchar_t name[256];
    for (DWORD index = 0;; ++index) {
        DWORD length = sizeof name / sizeof name[0];
        result = RegEnumKeyExW(uninstall, index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result != ERROR_SUCCESS) {
            list.AddUnreadable("error " + std::to_string(result));
            break;
        }
        HKEY entry = nullptr;
        result = RegOpenKeyExW(uninstall, name, 0, KEY_READ | view, &entry);
        UninstallKeyValues values;
        if (result == ERROR_SUCCESS) {
            result = ReadEntry(entry, values);
            RegCloseKey(entry);
        }
        if (result == ERROR_SUCCESS)
            list.Add(values, scope);
        else
            list.AddUnreadable("error " + std::to_string(result));
        entryRead();
    }
    RegCloseKey(uninstall);
}

void Lower(std::u16string& text)
{
    if (!text.empty())
        CharLowerBuffW(reinterpret_cast<wchar_t*>(&text[0]), static_cast<DWORD>(text.size()));
}

} // namespace

bool MachineIs64Bit(HKEY localMachine, bool thisMachine)
{
    // The architecture decides: a Wow6432Node key that an installer left on a
    // 32-bit machine would otherwise have the same key read twice, every
    // program listed again as "machine 32-bit".
    std::optional<std::u16string> architecture;
    HKEY key = nullptr;
    if (RegOpenKeyExW(localMachine, kEnvironmentKey, 0, KEY_QUERY_VALUE, &key) == ERROR_SUCCESS) {
        (void)ReadText(key, L"PROCESSOR_ARCHITECTURE", architecture);  // a failed read leaves it unset
        RegCloseKey(key);
    }
    if (const std::optional<bool> is64Bit = ArchitectureIs64Bit(architecture))
        return *is64Bit;
    // The value unreadable (its key's permissions narrowed, a registry without
    // it) or unknown: the signs that decided before the architecture was read,
    // which only a stray Wow6432Node key misleads.
    if (thisMachine && RunsUnderWow64())
        return true;
    if (RegOpenKeyExW(localMachine, L"SOFTWARE\\Wow6432Node", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<UninstallSource> MachineUninstallKeys(HKEY localMachine, bool thisMachine)
{
    std::vector<UninstallSource> keys;
    for (const MachineView& view : MachineViews(MachineIs64Bit(localMachine, thisMachine)))
        keys.push_back({localMachine, kUninstallKey, ViewFlag(view.view), view.scope});
    return keys;
}

bool WriteApplicationsFile(HKEY localMachine, bool thisMachine, HKEY userRoot, const std::wstring& userPath,
                           const std::string& path, TProblem& problem, bool ownerless, const EntryProgress& progress)
{
    return WriteApplicationsFile(MachineUninstallKeys(localMachine, thisMachine), userRoot, userPath, path, problem,
                                 ownerless, progress);
}

bool WriteApplicationsFile(const std::vector<UninstallSource>& machineKeys, HKEY userRoot,
                           const std::wstring& userPath, const std::string& path, TProblem& problem, bool ownerless,
                           const EntryProgress& progress)
{
    std::vector<UninstallSource> sources = machineKeys;
    const std::wstring userKey = userPath.empty() ? kUninstallKey : userPath + L"\\" + kUninstallKey;
    sources.push_back({userRoot, userKey, 0, AppScope::User});
    // The count in all is taken before the reading: one more call per key,
    // which only the window, asking for progress, pays.
    std::size_t total = 0, done = 0;
    if (progress) {
        for (const UninstallSource& source : sources)
            total += SubKeyCount(source.root, source.path, source.view);
        progress(0, total);
    }
    const std::function<void()> entryRead = [&] {
        if (progress) {
            ++done;
            total = std::max(total, done);  // entries added while the keys are read
            progress(done, total);
        }
    };
    ApplicationsList list;
    for (const UninstallSource& source : sources)
        ReadUninstallKey(source.root, source.path, source.view, source.scope, list, entryRead);
    const std::string bytes = list.FileBytes(Lower);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    if (file && std::fclose(file) != 0)
        written = false;
    return written || Fail(problem, "The file " + path + " could not be written (is the disk full?).", "Problem",
                           !ownerless);
}
