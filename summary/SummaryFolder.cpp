#include "summary/SummaryFolder.h"

#include <windows.h>

#include "local/OutputSet.h"
#include "local/SourceText.h"
#include "local/WorkFolderName.h"
#include "summary/SummaryFiles.h"

const char* const kSummaryFileNames[5] = {"Summary.html", "Servers.csv", "Users.csv", "Applications.csv",
                                          "Failures.csv"};

namespace {

// A file bigger than this is no file the tool wrote; reading it whole could
// exhaust the memory of a 32-bit process.
const LONGLONG kLargestFile = 256LL * 1024 * 1024;
// A reader that holds the earlier file open without delete sharing (a
// browser, a virus scanner) makes a replace fail for a moment.
const int kMoveAttempts = 40;
const DWORD kMovePauseMs = 50;

std::wstring Wide(const std::string& text, UINT codePage)
{
    if (text.empty())
        return std::wstring();
    const int size = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 0), L'\0');
    if (size > 0)
        MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage)
{
    if (wide.empty())
        return std::string();
    const int size =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size, nullptr, nullptr);
    return text;
}

std::string AnsiAsUtf8(const std::string& ansi)
{
    return Narrow(Wide(ansi, CP_ACP), CP_UTF8);
}

std::string Utf8AsAnsi(const std::string& utf8)
{
    return Narrow(Wide(utf8, CP_UTF8), CP_ACP);
}

std::string ErrorText(DWORD error)
{
    return "error " + std::to_string(error);
}

// The folder of sets, reached through the wide API so that names of any
// script, such as those a logon script of another code page made on a
// share, are found. Files are opened with every sharing mode: a run that
// moves a set's files in or out meanwhile never fails because of a reader.
class TFleetFolder : public FleetFiles {
public:
    explicit TFleetFolder(const std::wstring& root) : root_(root) {}

    bool List(const std::string& path, std::vector<FolderEntry>& entries, std::string& error) override
    {
        entries.clear();
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((Path(path) + L"\\*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_NOT_FOUND)
                return true;
            error = ErrorText(code);
            return false;
        }
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            // A junction may lead anywhere, also back up the tree.
            const bool folder = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
            entries.push_back({Narrow(name, CP_UTF8), folder});
        } while (FindNextFileW(find, &entry));
        const DWORD code = GetLastError();
        FindClose(find);
        if (code != ERROR_NO_MORE_FILES) {
            error = ErrorText(code);
            return false;
        }
        return true;
    }

    ReadOutcome Read(const std::string& path, std::string& bytes, std::string& error) override
    {
        bytes.clear();
        HANDLE file = CreateFileW(Path(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD code = GetLastError();
            if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND)
                return ReadOutcome::Missing;
            error = ErrorText(code);
            return ReadOutcome::Failed;
        }
        LARGE_INTEGER size = {};
        DWORD code = 0;
        if (!GetFileSizeEx(file, &size))
            code = GetLastError();
        else if (size.QuadPart > kLargestFile)
            error = "larger than " + std::to_string(kLargestFile / (1024 * 1024)) + " MB";
        if (!code && error.empty()) {
            bytes.resize(static_cast<std::size_t>(size.QuadPart));
            std::size_t done = 0;
            DWORD read = 0;
            while (done < bytes.size() &&
                   ReadFile(file, &bytes[done], static_cast<DWORD>(bytes.size() - done), &read, nullptr) && read)
                done += read;
            if (done < bytes.size())
                code = GetLastError() ? GetLastError() : ERROR_HANDLE_EOF;
        }
        CloseHandle(file);
        if (code)
            error = ErrorText(code);
        return error.empty() ? ReadOutcome::Read : ReadOutcome::Failed;
    }

    // Work folders are looked for by name, without opening anything in them:
    // the running job holds its lock file there.
    bool WorkFolderBeside(const std::string& path) override
    {
        const std::wstring full = Path(path);
        const std::size_t slash = full.find_last_of(L'\\');
        if (slash == std::wstring::npos)
            return false;
        const std::wstring leaf = full.substr(slash + 1);
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((full + L".~new-*").c_str(), &entry);
        if (find == INVALID_HANDLE_VALUE)
            return false;
        bool found = false;
        do {
            unsigned long processId = 0;
            found = (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                    ParseWorkFolderName(Narrow(entry.cFileName, CP_UTF8), Narrow(leaf, CP_UTF8), processId);
        } while (!found && FindNextFileW(find, &entry));
        FindClose(find);
        return found;
    }

private:
    std::wstring Path(const std::string& path) const { return path.empty() ? root_ : root_ + L"\\" + Wide(path, CP_UTF8); }

    std::wstring root_;
};

std::wstring FullPath(const std::wstring& path)
{
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (!needed)
        return path;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(path.c_str(), needed, &full[0], nullptr);
    if (!length || length >= needed)
        return path;
    full.resize(length);
    // "C:\" keeps its backslash; any other folder is named without one.
    while (full.size() > 3 && full.back() == L'\\')
        full.pop_back();
    return full;
}

// Written aside under a name of this run's own, then moved over the earlier
// file in one step.
bool ReplaceFile(const std::wstring& folder, const char* name, const std::string& bytes, std::string& error)
{
    static LONG serial = 0;
    const std::wstring target = folder + L"\\" + Wide(name, CP_ACP);
    const std::wstring aside =
        target + Wide(".~" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(InterlockedIncrement(&serial)),
                      CP_ACP);
    HANDLE file = CreateFileW(aside.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD code = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
    if (!code) {
        DWORD written = 0;
        if (!WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr))
            code = GetLastError();
        else if (written != bytes.size())
            code = ERROR_DISK_FULL;
        if (!CloseHandle(file) && !code)
            code = GetLastError();
    }
    for (int attempt = 1; !code; ++attempt) {
        if (MoveFileExW(aside.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING))
            return true;
        code = GetLastError();
        if ((code == ERROR_ACCESS_DENIED || code == ERROR_SHARING_VIOLATION) && attempt < kMoveAttempts) {
            code = 0;
            Sleep(kMovePauseMs);
        }
    }
    (void)DeleteFileW(aside.c_str());  // nothing to keep of a file that did not take the earlier one's place
    error = std::string(name) + " could not be written to " + Narrow(folder, CP_ACP) + " (" + ErrorText(code) + ")";
    return false;
}

std::string LocalNow()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return TimeStampText(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
}

} // namespace

TSummaryResult WriteFleetSummary(const std::string& folder, const std::string& out)
{
    TSummaryResult result;
    const std::wstring root = FullPath(Wide(folder, CP_ACP));
    const std::wstring target = out.empty() ? root : FullPath(Wide(out, CP_ACP));
    result.page = Narrow(target + L"\\" + Wide(kSummaryFileNames[0], CP_ACP), CP_ACP);
    const DWORD attributes = GetFileAttributesW(root.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        const DWORD code = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_DIRECTORY;
        result.problem = "the folder " + folder + " cannot be read (" + ErrorText(code) + ")";
        return result;
    }
    TFleetFolder files(root);
    FleetReadOptions options;
    options.ansi = AnsiAsUtf8;
    options.isLead = IsAnsiLeadByte;
    const FleetData data = ReadFleet(files, options);
    const SummaryTables tables = MakeSummaryTables(data);
    result.counts = tables.counts;
    for (const UserRow& row : tables.users) {
        if (row.state != SetState::Damaged)
            continue;
        std::string where;
        for (const std::string& part : row.folder)
            where += (where.empty() ? "" : "\\") + part;
        result.notRead.push_back(Utf8AsAnsi((where.empty() ? "." : where) + ": " + row.problem));
    }
    for (const std::string& unreadable : tables.unreadable)
        result.notRead.push_back(Utf8AsAnsi(unreadable));

    SummaryPageFacts facts;
    facts.folder = Narrow(root, CP_UTF8);
    facts.made = LocalNow();
    if (CompareStringW(LOCALE_SYSTEM_DEFAULT, NORM_IGNORECASE, root.c_str(), -1, target.c_str(), -1) != CSTR_EQUAL)
        facts.base = FileUrl(facts.folder);
    const std::string contents[5] = {SummaryPage(tables, facts), ServersSheet(tables), UsersSheet(tables),
                                     ApplicationsSheet(tables), FailuresSheet(tables)};
    if (!out.empty() && !CreateFolderTree(out)) {
        result.problem = "the folder " + out + " cannot be created (" + ErrorText(GetLastError()) + ")";
        return result;
    }
    for (int i = 0; i < 5; ++i)
        if (!ReplaceFile(target, kSummaryFileNames[i], contents[i], result.problem))
            return result;
    result.written = true;
    return result;
}
