#include "remote/Registry.h"

#include <algorithm>

#include "local/ExportFiles.h"
#include "local/SystemCodePage.h"
#include "remote/FileBytes.h"

namespace {

const wchar_t kHomePathName[] = L"HOMEPATH";

// Key names are at most 255 characters.
const DWORD kKeyNameBuffer = MAX_PATH;

const wchar_t* RootName(HKEY root)
{
    return root == HKEY_LOCAL_MACHINE ? L"HKEY_LOCAL_MACHINE" : L"HKEY_USERS";
}

} // namespace

LONG TRegistry::Connect(const std::string& machine, HKEY root)
{
    const LONG result = connectedKey_.Connect(machine.c_str(), root);
    if (result != ERROR_SUCCESS)
        connectedKey_.Close();
    rootKey_ = root;
    return result;
}

bool TRegistry::HasSubKey(HKEY key, const std::wstring& path, const std::wstring& name)
{
    TKeyHandle opened;
    if (opened.Open(key, path.c_str()) != ERROR_SUCCESS)
        return false;
    wchar_t subKey[kKeyNameBuffer];
    for (DWORD index = 0;; ++index) {
        DWORD length = kKeyNameBuffer;
        if (RegEnumKeyExW(opened.Get(), index, subKey, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        if (name.compare(0, std::wstring::npos, subKey, length) == 0)
            return true;
    }
}

bool TRegistry::ReadHomePath(HKEY key, const std::wstring& path, std::u16string& homePath)
{
    TKeyHandle environment;
    KeyInfo info;
    if (environment.Open(key, path.c_str()) != ERROR_SUCCESS || QueryKeyInfo(environment.Get(), info) != ERROR_SUCCESS)
        return false;
    std::vector<wchar_t> name(info.longestName + 1);
    std::vector<BYTE> data(info.longestData + 2);
    for (DWORD index = 0; index < info.values; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        const LONG result =
            RegEnumValueW(environment.Get(), index, name.data(), &nameLength, nullptr, nullptr, data.data(), &dataLength);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        // A value that grew since the size query is passed over; HOMEPATH may
        // still come after it. The name is compared in its letter case.
        if (result != ERROR_SUCCESS || std::wstring(name.data(), nameLength) != kHomePathName)
            continue;
        homePath = UnitsOfBytes(std::string(reinterpret_cast<const char*>(data.data()), dataLength));
        return true;
    }
    return false;
}

bool TRegistry::ExportToFile(const std::string& folder, const std::wstring& keyPath, const std::string& fileName,
                             TProblem& problem, bool unicodeAllowed, const EntryProgress& progress)
{
    (void)CreateDirectoryA(folder.c_str(), nullptr);  // it usually exists already
    const std::string path = folder + "\\" + fileName;
    const std::wstring root = RootName(rootKey_);
    // Binary: the bytes, CR LF and the form's encoding included, are made whole
    // by ExportFileBytes once the walk has seen every name.
    FilePtr stream(std::fopen(path.c_str(), "wb"));
    if (!stream)
        return Fail(problem, "Error while creating the file " + path, "Registry export", false);
    std::vector<ExportSection> sections;
    LONG result = ExportKey(connectedKey_.Get(), root, keyPath, sections, progress);
    if (result == ERROR_FILE_NOT_FOUND && failedKey_ == keyPath) {
        // No such top key (a user without mapped drives) is an empty export,
        // as long as the key above it is there: a user who logged off in the
        // meantime is not.
        const std::wstring::size_type cut = keyPath.rfind(L'\\');
        TKeyHandle parent;
        result = cut == std::wstring::npos ? ERROR_SUCCESS
                                           : parent.Open(connectedKey_.Get(), keyPath.substr(0, cut).c_str());
        if (result != ERROR_SUCCESS)
            failedKey_ = keyPath.substr(0, cut);
    }
    const std::string bytes = ExportFileBytes(sections, SystemCodePage(), lastForm_, unicodeAllowed);
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stream.get()) == bytes.size();
    if (std::fclose(stream.release()) != 0 || !written)
        return Fail(problem, "The file " + path + " could not be written in full (is the disk full?).",
                    "Registry export", false);
    if (result != ERROR_SUCCESS)
        return Fail(problem, "The registry key " + AnsiText(Utf16Text(root + L"\\" + failedKey_)) +
                                 " could not be read (error " + std::to_string(result) + ").",
                    "Registry export", false);
    // The copy keeps the file's form: the converter edits its section lines
    // in the file's own units.
    return ConvertRemoteToRegFile(path, path + ".reg", problem) == 0;
}

LONG TRegistry::ExportKey(HKEY root, const std::wstring& rootName, const std::wstring& keyPath,
                          std::vector<ExportSection>& sections, const EntryProgress& progress)
{
    failedKey_.clear();
    // With an empty path the root itself is exported, its sections named
    // from the root's name.
    std::wstring section = keyPath.empty() ? rootName : keyPath;
    return ExportTree(root, keyPath.c_str(), section, sections, progress ? &progress : nullptr);
}

LONG TRegistry::ExportValues(HKEY key, std::vector<ExportSection>& sections, const std::wstring& sectionName)
{
    KeyInfo info;
    const LONG result = QueryKeyInfo(key, info);
    return result == ERROR_SUCCESS ? ReadSection(key, info, sections, sectionName) : result;
}

LONG TRegistry::QueryKeyInfo(HKEY key, KeyInfo& info)
{
    info = KeyInfo();
    // The longest name in characters, the longest data in bytes.
    const LONG result = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &info.subKeys, nullptr, nullptr, &info.values,
                                         &info.longestName, &info.longestData, nullptr, nullptr);
    if (result != ERROR_SUCCESS)
        info = KeyInfo();
    return result;
}

LONG TRegistry::ExportTree(HKEY parent, const wchar_t* relativePath, std::wstring& section,
                           std::vector<ExportSection>& sections, const EntryProgress* progress)
{
    // Each key is opened below its parent, which is open anyway for the
    // enumeration; that resolves the same key as a full path from the root.
    // Reading is all the writer does, and a user without write access to the
    // tree must still get its export.
    TKeyHandle key;
    KeyInfo info;
    LONG result = key.Open(parent, relativePath, KEY_READ);
    if (result == ERROR_SUCCESS)
        result = QueryKeyInfo(key.Get(), info);
    if (result == ERROR_SUCCESS && (info.values > 0 || info.subKeys > 0))
        result = ReadSection(key.Get(), info, sections, section);
    if (result != ERROR_SUCCESS) {
        failedKey_ = section;
        return result;
    }

    if (progress)
        (*progress)(0, info.subKeys);
    wchar_t name[kKeyNameBuffer];
    // Until the list ends, not up to the count taken above: keys come and go
    // while the walk runs, and one that went ends the list early.
    for (DWORD index = 0;; ++index) {
        DWORD length = kKeyNameBuffer;
        result = RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (result != ERROR_SUCCESS) {
            failedKey_ = section;
            return result;
        }
        if (length == 0)
            continue;
        const std::size_t sectionLength = section.size();
        section += L'\\';
        section.append(name, length);
        result = ExportTree(key.Get(), name, section, sections);
        if (result != ERROR_SUCCESS)
            return result;
        section.resize(sectionLength);
        if (progress)
            (*progress)(index + 1, std::max<std::size_t>(info.subKeys, index + 1));
    }
}

LONG TRegistry::ReadSection(HKEY key, KeyInfo info, std::vector<ExportSection>& sections,
                            const std::wstring& sectionName)
{
    sections.emplace_back();
    ExportSection& section = sections.back();
    section.path = Utf16Text(sectionName);
    std::vector<wchar_t> name(info.longestName + 1);
    // A whole unit more than the longest data, so that the buffer is never
    // empty and string data has room for a terminator.
    std::vector<BYTE> data(info.longestData + 2);
    int regrown = 0;
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        const LONG result =
            RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_MORE_DATA && regrown < 3) {
            // A value grew since the sizes were taken: take them again and
            // read it once more.
            ++regrown;
            const LONG query = QueryKeyInfo(key, info);
            if (query != ERROR_SUCCESS)
                return query;
            name.assign(info.longestName + 1, L'\0');
            data.assign(std::max<DWORD>(info.longestData, dataLength) + 2, 0);
            --index;
            continue;
        }
        if (result != ERROR_SUCCESS)
            return result;
        if (dataLength > data.size())
            dataLength = static_cast<DWORD>(data.size());
        ExportValue value;
        value.name = Utf16Text(name.data(), nameLength);
        value.type = type;
        value.data.assign(reinterpret_cast<const char*>(data.data()), dataLength);
        section.values.push_back(std::move(value));
    }
    return ERROR_SUCCESS;
}
