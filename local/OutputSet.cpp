#include "local/OutputSet.h"

#include <windows.h>

#include <cstdio>
#include <utility>

#include "version.h"

bool IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

namespace {

std::string ErrorText(DWORD code)
{
    return "error " + std::to_string(code);
}

// Empties a folder of files (the work folder holds no deeper folders but
// "old") and removes it; what cannot be removed stays.
void RemoveFlatFolder(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveFlatFolder(path);
            else
                (void)DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &entry));
        FindClose(find);
    }
    (void)RemoveDirectoryA(folder.c_str());
}

} // namespace

bool CreateFolderTree(const std::string& path)
{
    if (path.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    if (IsFolder(path))
        return true;
    // A drive ("C:") or a server ("\\srv") cannot be made; creating the
    // folder below it tells whether it is there.
    const std::string parent = ParentFolder(path, IsAnsiLeadByte);
    if (!parent.empty())
        (void)CreateFolderTree(parent);
    if (CreateDirectoryA(path.c_str(), nullptr))
        return true;
    // Another run may have made it meanwhile. Where the look fails it sets an
    // error of its own: "not found" (2) where a read-only share refused (5).
    const DWORD error = GetLastError();
    if (IsFolder(path))
        return true;
    SetLastError(error);
    return false;
}

TOutputSet::TOutputSet(const std::string& outputFolder, const std::vector<std::string>& ownNames, FileMove move)
    : output_(outputFolder), own_(ownNames), move_(std::move(move))
{
}

TOutputSet::~TOutputSet()
{
    if (!keep_)
        RemoveWork();
}

bool TOutputSet::Begin(TProblem& problem)
{
    if (!CreateFolderTree(output_)) {
        const DWORD code = GetLastError();
        return Fail(problem, "The folder " + output_ + " cannot be created (" + ErrorText(code) +
                                 "). Start the tool from a folder it can write to. Nothing was exported.");
    }
    // A name of its own for every job: two runs of the tool, or a job nested
    // in another's message box, never share a work folder.
    static LONG serial = 0;
    const std::string stem = output_ + ".~new-" + std::to_string(GetCurrentProcessId()) + "-";
    DWORD code = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < 100 && code == ERROR_ALREADY_EXISTS; ++attempt) {
        const std::string candidate = stem + std::to_string(InterlockedIncrement(&serial));
        if (CreateDirectoryA(candidate.c_str(), nullptr)) {
            work_ = candidate;
            return true;
        }
        code = GetLastError();
    }
    return Fail(problem, "A work folder beside " + output_ + " cannot be created (" + ErrorText(code) +
                             "). Nothing was exported.");
}

bool TOutputSet::Produced(const std::string& name) const
{
    return !work_.empty() && IsFile(WorkPath(name));
}

std::vector<std::string> TOutputSet::ProducedNames() const
{
    std::vector<std::string> names;
    for (const std::string& name : own_) {
        if (Produced(name))
            names.push_back(name);
    }
    return names;
}

bool TOutputSet::Commit(TProblem& problem)
{
    // Read-only files are the admin's wish to keep them; the whole set stays then.
    for (const std::string& name : own_) {
        const std::string path = output_ + "\\" + name;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            return Fail(problem, "The file " + path + " is read-only, so the files in " + output_ +
                                     " cannot be replaced.");
    }
    // The earlier set moves aside first, so that a file in use leaves
    // everything as it was; it is deleted only once the new set is in place.
    const std::string old = work_ + "\\~old";
    if (!CreateDirectoryA(old.c_str(), nullptr))
        return Fail(problem, "A work folder in " + work_ + " cannot be created (" + ErrorText(GetLastError()) + ").");
    std::vector<std::string> movedAway, movedIn;
    // Step by step back, stopping where a move fails: the work folder with
    // the earlier files that did not come back is kept then.
    auto undo = [&] {
        for (auto name = movedIn.rbegin(); name != movedIn.rend(); ++name) {
            if (!move_((output_ + "\\" + *name).c_str(), WorkPath(*name).c_str()))
                return false;
        }
        for (auto name = movedAway.rbegin(); name != movedAway.rend(); ++name) {
            if (!move_((old + "\\" + *name).c_str(), (output_ + "\\" + *name).c_str()))
                return false;
        }
        return true;
    };
    auto failed = [&](const std::string& text) {
        keep_ = !undo();
        return Fail(problem, text);
    };
    for (const std::string& name : own_) {
        const std::string path = output_ + "\\" + name;
        if (!IsFile(path))
            continue;
        if (!move_(path.c_str(), (old + "\\" + name).c_str())) {
            const DWORD code = GetLastError();
            return failed("The file " + path + " cannot be replaced (" + ErrorText(code) +
                          "; it may be open in another program).");
        }
        movedAway.push_back(name);
    }
    for (const std::string& name : ProducedNames()) {
        const std::string path = output_ + "\\" + name;
        if (!move_(WorkPath(name).c_str(), path.c_str())) {
            const DWORD code = GetLastError();
            return failed("The file " + path + " cannot be written (" + ErrorText(code) + ").");
        }
        movedIn.push_back(name);
    }
    RemoveWork();
    return true;
}

bool TOutputSet::Finish(bool done, SourceFacts facts, TProblem& problem)
{
    if (done && WriteSourceFile(std::move(facts), problem) && Commit(problem))
        return true;
    Fail(problem, "The export did not finish.");
    problem.text += keep_ ? "\n\nSome of the earlier files could not be put back: the earlier files are in " + work_ +
                                "\\~old."
                          : "\n\nThe earlier files in " + output_ + " were kept.";
    return false;
}

void TOutputSet::RemoveWork()
{
    if (!work_.empty())
        RemoveFlatFolder(work_);
    work_.clear();
}

bool TOutputSet::WriteSourceFile(SourceFacts facts, TProblem& problem) const
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    facts.when = TimeStampText(now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    facts.version = std::to_string(MOVARA_VER_MAJOR) + "." + std::to_string(MOVARA_VER_MINOR) + "." +
                    std::to_string(MOVARA_VER_PATCH) + "." + std::to_string(MOVARA_VER_TWEAK);
    facts.files = ProducedNames();
    const std::string text = SourceFileText(facts);
    const std::string path = WorkPath("Source.txt");
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file && std::fclose(file) != 0)
        written = false;
    return written || Fail(problem, "The file " + path + " could not be written (is the disk full?).");
}
