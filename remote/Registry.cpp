#include "remote/Registry.h"

#include <algorithm>
#include <vector>

#include "local/ExportFiles.h"
#include "local/OutputSet.h"
#include "remote/FileBytes.h"
#include "remote/RegistryText.h"
#include "remote/RemoteUserLine.h"

namespace {

// REGEDIT4: the file holds the narrow API's bytes, which Windows converts from
// the ANSI code page under this header only. Under "Version 5.00" it takes
// hex(1), hex(2) and hex(7) bytes as UTF-16 and garbles them. (Wine reads
// any file without a byte-order mark as ANSI.)
const char kExportHeader[] = "REGEDIT4\n";
const char kHomePathName[] = "HOMEPATH";

// Key names are at most 255 characters.
const DWORD kKeyNameBuffer = MAX_PATH;

const char* RootName(HKEY root)
{
    return root == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE" : "HKEY_USERS";
}

// RegQueryInfoKeyA counts the longest value name in UTF-16 units; in a
// double-byte code page its narrow form may need twice as many bytes.
DWORD NameBufferFor(DWORD longestName)
{
    return longestName * 2 + 1;
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

LONG TRegistry::EnumKeys()
{
    names_.clear();
    char name[kKeyNameBuffer];
    for (DWORD index = 0;; ++index) {
        const LONG result = RegEnumKeyA(connectedKey_.Get(), index, name, kKeyNameBuffer);
        if (result == ERROR_NO_MORE_ITEMS)
            return ERROR_NO_MORE_ITEMS;
        if (result != ERROR_SUCCESS)
            return 0;
        names_.push_back(name);
    }
}

bool TRegistry::HasSubKey(HKEY key, const std::string& path, const std::string& name)
{
    TKeyHandle opened;
    if (opened.Open(key, path.c_str()) != ERROR_SUCCESS)
        return false;
    char subKey[kKeyNameBuffer];
    for (DWORD index = 0; RegEnumKeyA(opened.Get(), index, subKey, kKeyNameBuffer) == ERROR_SUCCESS; ++index) {
        if (name == subKey)
            return true;
    }
    return false;
}

int TRegistry::ReadHomePath(HKEY key, const std::string& path)
{
    names_.clear();
    TKeyHandle environment;
    if (environment.Open(key, path.c_str()) != ERROR_SUCCESS)
        return 0;
    KeyInfo info;
    if (QueryKeyInfo(environment.Get(), info) != ERROR_SUCCESS)
        return 0;
    const std::string userKey = path.substr(0, FindAnsiChar(path, '\\', IsAnsiLeadByte));

    std::vector<char> name(NameBufferFor(info.longestName));
    std::vector<BYTE> data(info.longestData + 1);
    for (DWORD index = 0; index < info.values; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        const LONG result =
            RegEnumValueA(environment.Get(), index, name.data(), &nameLength, nullptr, nullptr, data.data(), &dataLength);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        // A value that grew since the size query is passed over; HOMEPATH may
        // still come after it.
        if (result != ERROR_SUCCESS)
            continue;
        if (std::string(name.data(), nameLength) != kHomePathName)
            continue;
        const std::string homePath(reinterpret_cast<const char*>(data.data()), dataLength);
        names_.push_back(MakeRemoteUserLine(HomeFolderName(homePath, IsAnsiLeadByte), userKey));
    }
    return 0;
}

bool TRegistry::ExportToFile(const std::string& folder, const std::string& keyPath, const std::string& fileName,
                             TProblem& problem, const EntryProgress& progress)
{
    (void)CreateDirectoryA(folder.c_str(), nullptr);  // it usually exists already
    const std::string path = folder + "\\" + fileName;
    const std::string root = RootName(rootKey_);
    // Text mode: every "\n" of the export text reaches the file as CR LF.
    FilePtr stream(std::fopen(path.c_str(), "w+"));
    if (!stream)
        return Fail(problem, "Error while creating the file " + path, "Registry export", false);
    std::fputs(kExportHeader, stream.get());
    LONG result = ExportKey(connectedKey_.Get(), root, keyPath, stream.get(), progress);
    if (result == ERROR_FILE_NOT_FOUND && failedKey_ == keyPath) {
        // No such top key (a user without mapped drives) is an empty export,
        // as long as the key above it is there: a user who logged off in the
        // meantime is not.
        const std::string::size_type cut = FindLastAnsiChar(keyPath, '\\', IsAnsiLeadByte);
        TKeyHandle parent;
        result = cut == std::string::npos ? ERROR_SUCCESS
                                          : parent.Open(connectedKey_.Get(), keyPath.substr(0, cut).c_str());
        if (result != ERROR_SUCCESS)
            failedKey_ = keyPath.substr(0, cut);
    }
    const bool written = std::ferror(stream.get()) == 0;
    if (std::fclose(stream.release()) != 0 || !written)
        return Fail(problem, "The file " + path + " could not be written in full (is the disk full?).",
                    "Registry export", false);
    if (result != ERROR_SUCCESS)
        return Fail(problem, "The registry key " + root + "\\" + failedKey_ + " could not be read (error " +
                                 std::to_string(result) + ").", "Registry export", false);
    return ConvertRemoteToRegFile(path, path + ".reg", problem) == 0;
}

LONG TRegistry::ExportKey(HKEY root, const std::string& rootName, const std::string& keyPath, std::FILE* stream,
                          const EntryProgress& progress)
{
    failedKey_.clear();
    // With an empty path the root itself is exported, its sections named
    // from the root's name.
    std::string section = keyPath.empty() ? rootName : keyPath;
    return ExportTree(root, keyPath.c_str(), section, stream, progress ? &progress : nullptr);
}

LONG TRegistry::ExportValues(HKEY key, std::FILE* stream, const std::string& sectionName)
{
    KeyInfo info;
    const LONG result = QueryKeyInfo(key, info);
    return result == ERROR_SUCCESS ? WriteSection(key, info, stream, sectionName) : result;
}

void TRegistry::FormatValue(std::string& output, DWORD type, const BYTE* data, DWORD count)
{
    output = FormatValueText(type, data, count, IsAnsiLeadByte);
}

LONG TRegistry::QueryKeyInfo(HKEY key, KeyInfo& info)
{
    info = KeyInfo();
    const LONG result = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &info.subKeys, nullptr, nullptr, &info.values,
                                         &info.longestName, &info.longestData, nullptr, nullptr);
    if (result != ERROR_SUCCESS)
        info = KeyInfo();
    return result;
}

LONG TRegistry::ExportTree(HKEY parent, const char* relativePath, std::string& section, std::FILE* stream,
                           const EntryProgress* progress)
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
        result = WriteSection(key.Get(), info, stream, section);
    if (result != ERROR_SUCCESS) {
        failedKey_ = section;
        return result;
    }

    if (progress)
        (*progress)(0, info.subKeys);
    char name[kKeyNameBuffer];
    // Until the list ends, not up to the count taken above: keys come and go
    // while the walk runs, and one that went ends the list early.
    for (DWORD index = 0;; ++index) {
        result = RegEnumKeyA(key.Get(), index, name, kKeyNameBuffer);
        if (result == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (result != ERROR_SUCCESS) {
            failedKey_ = section;
            return result;
        }
        if (name[0] == '\0')
            continue;
        const std::size_t length = section.size();
        section += '\\';
        section += name;
        result = ExportTree(key.Get(), name, section, stream);
        if (result != ERROR_SUCCESS)
            return result;
        section.resize(length);
        if (progress)
            (*progress)(index + 1, std::max<std::size_t>(info.subKeys, index + 1));
    }
}

LONG TRegistry::WriteSection(HKEY key, KeyInfo info, std::FILE* stream, const std::string& sectionName)
{
    std::string text = SectionLine(sectionName);
    std::string valueText;
    std::vector<char> name(NameBufferFor(info.longestName));
    // One byte more than the longest data, so that string data always has a
    // NUL after it.
    std::vector<BYTE> data(info.longestData + 1);
    int regrown = 0;
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataLength = static_cast<DWORD>(data.size());
        DWORD type = REG_NONE;
        const LONG result =
            RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        if (result == ERROR_MORE_DATA && regrown < 3) {
            // A value grew since the sizes were taken: take them again and
            // read it once more.
            ++regrown;
            const LONG query = QueryKeyInfo(key, info);
            if (query != ERROR_SUCCESS)
                return query;
            name.assign(NameBufferFor(info.longestName), '\0');
            data.assign(std::max<DWORD>(info.longestData, dataLength) + 1, 0);
            --index;
            continue;
        }
        if (result != ERROR_SUCCESS)
            return result;
        if (dataLength > data.size())
            dataLength = static_cast<DWORD>(data.size());
        FormatValue(valueText, type, data.data(), dataLength);
        text += ValueNamePart(std::string(name.data(), nameLength), IsAnsiLeadByte);
        text += valueText;
    }
    std::fwrite(text.data(), 1, text.size(), stream);
    return ERROR_SUCCESS;
}
