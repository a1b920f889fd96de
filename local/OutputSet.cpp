#include "local/OutputSet.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>

#include "local/LeftoverRule.h"
#include "local/WorkFolderName.h"
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

// Inside a work folder: the earlier files while a commit replaces them, and
// the mark that a commit has moved all of them aside and begun to move the
// new ones in.
const char kOldFolder[] = "~old";
const char kMovingInMark[] = "~in";
const char kSourceFile[] = "Source.txt";
const char kLockFile[] = "~lock";
// Inside a work folder: the serial of the set its commit found in place.
const char kBaseFile[] = "~base";
// Beside the output folder: its lock, which holds the serial of its set.
const char kSetLockSuffix[] = ".~lock";
const DWORD kSetLockPauseMs = 100;

std::string ErrorText(DWORD code)
{
    return "error " + std::to_string(code);
}

// Deletes the files of a folder and the folders in it (a work folder holds
// no deeper folder but "~old"); what cannot be deleted, such as a lock that
// is held, stays. A junction is removed, never followed: what it leads to is
// no run's.
void EmptyFolder(const std::string& folder)
{
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = entry.cFileName;
        if (name == "." || name == "..")
            continue;
        const std::string path = folder + "\\" + name;
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            (void)DeleteFileA(path.c_str());
            continue;
        }
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
            EmptyFolder(path);
        (void)RemoveDirectoryA(path.c_str());
    } while (FindNextFileA(find, &entry));
    FindClose(find);
}

// Whoever works in a work folder, the job that writes it or a run that
// repairs it, holds this file of it open without sharing: no other run takes
// a folder whose lock is held for a leftover. Sharing modes hold across the
// machines that share a folder, where process ids tell nothing. The file
// goes when its handle is closed, also by the end of a process.
HANDLE TakeLock(const std::string& folder)
{
    return CreateFileA((folder + "\\" + kLockFile).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
}

// Whether another process of that id runs now. An ended process whose
// object a handle still keeps opens as well, so its wait tells; one that may
// not be opened exists. Its id may have been given to a new process since:
// that leaves the folder for a later run, never repairs a running job's.
bool OtherProcessRuns(DWORD processId)
{
    if (processId == GetCurrentProcessId())
        return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process)
        return GetLastError() != ERROR_INVALID_PARAMETER;
    const bool runs = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return runs;
}

bool CreateEmptyFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

// A set serial from the start of an open file; none when it holds none.
std::optional<unsigned long> ReadSerial(HANDLE file)
{
    char text[16] = {};
    DWORD read = 0;
    if (SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
        !ReadFile(file, text, sizeof text - 1, &read, nullptr))
        return std::nullopt;
    return ParseSetSerial(std::string(text, read));
}

bool WriteSerial(HANDLE file, unsigned long serial)
{
    const std::string text = std::to_string(serial);
    DWORD written = 0;
    return SetFilePointer(file, 0, nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size() && SetEndOfFile(file);
}

// False with the reason in GetLastError.
bool WriteSerialFile(const std::string& path, unsigned long serial)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool written = WriteSerial(file, serial);
    const DWORD error = GetLastError();
    const bool closed = CloseHandle(file) != FALSE;
    if (!written)
        SetLastError(error);
    return written && closed;
}

std::optional<unsigned long> ReadSerialFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    const std::optional<unsigned long> serial = ReadSerial(file);
    CloseHandle(file);
    return serial;
}

// The lock of one output folder, a file beside it: whoever commits a set
// there or repairs a leftover holds it open without sharing. Sharing modes
// hold across the machines that share a folder, where process ids tell
// nothing; the system closes the file when its run ends, killed or not (a
// file server, once it drops the connection of a machine that died). It holds
// the serial of the set in place, raised by each commit that made its set
// whole, so that a leftover can be told older than that set.
class TSetLock {
public:
    TSetLock() = default;
    TSetLock(const TSetLock&) = delete;
    TSetLock& operator=(const TSetLock&) = delete;
    ~TSetLock()
    {
        if (file_ != INVALID_HANDLE_VALUE)
            CloseHandle(file_);
    }

    // Takes the lock of output, waiting up to waitMs while another run holds
    // it; false, with the reason and then `after`, when it cannot.
    bool Take(const std::string& output, DWORD waitMs, const std::string& after, TProblem& problem)
    {
        const std::string path = output + kSetLockSuffix;
        for (const DWORD start = GetTickCount();; Sleep(kSetLockPauseMs)) {
            file_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_HIDDEN, nullptr);
            if (file_ != INVALID_HANDLE_VALUE)
                return true;
            const DWORD code = GetLastError();
            if (code == ERROR_SHARING_VIOLATION && GetTickCount() - start < waitMs)
                continue;
            const DWORD seconds = (waitMs + 999) / 1000;
            if (code == ERROR_SHARING_VIOLATION)
                return Fail(problem, "Another run of the tool has been writing the files in " + output + " for " +
                                         std::to_string(seconds) + (seconds == 1 ? " second" : " seconds") +
                                         " (it holds " + path + ")." + after);
            return Fail(problem, "The lock " + path + " cannot be created (" + ErrorText(code) + ")." + after);
        }
    }

    // 0 for a lock that holds none yet.
    unsigned long Serial() const { return ReadSerial(file_).value_or(0); }
    bool SetSerial(unsigned long serial) { return WriteSerial(file_, serial); }

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
};

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

TOutputSet::TOutputSet(const std::string& outputFolder, const std::vector<std::string>& ownNames, FileMove move,
                       DWORD lockWaitMs)
    : output_(outputFolder), own_(ownNames), move_(std::move(move)), lockWaitMs_(lockWaitMs)
{
}

TOutputSet::~TOutputSet()
{
    if (keep_)
        ReleaseWork();
    else
        RemoveWork();
}

bool TOutputSet::Begin(TProblem& problem)
{
    if (!CreateFolderTree(output_)) {
        const DWORD code = GetLastError();
        return Fail(problem, "The folder " + output_ + " cannot be created (" + ErrorText(code) +
                                 "). Start the tool from a folder it can write to. Nothing was exported.");
    }
    // Held until the new work folder is locked too: a run that repairs
    // leftovers holds it, so it never takes that folder for one.
    TSetLock lock;
    if (!lock.Take(output_, lockWaitMs_, " Nothing was exported.", problem) || !RepairLeftovers(lock.Serial(), problem))
        return false;
    // A name of its own for every job: two runs of the tool, or a job nested
    // in another's message box, never share a work folder.
    static LONG serial = 0;
    DWORD code = ERROR_ALREADY_EXISTS;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string candidate = WorkFolderPath(output_, GetCurrentProcessId(),
                                                     static_cast<unsigned long>(InterlockedIncrement(&serial)));
        if (!CreateDirectoryA(candidate.c_str(), nullptr)) {
            code = GetLastError();
            if (code == ERROR_ALREADY_EXISTS)
                continue;
            break;
        }
        lock_ = TakeLock(candidate);
        if (lock_ != INVALID_HANDLE_VALUE) {
            work_ = candidate;
            return true;
        }
        code = GetLastError();
        // A run that repairs without the output folder's lock (an earlier
        // version of the tool, on another machine, where this process id
        // tells nothing) took the new folder for a leftover before its lock
        // was taken, and removes it: a new serial, the folder left to that run.
        if (code == ERROR_SHARING_VIOLATION || code == ERROR_PATH_NOT_FOUND)
            continue;
        (void)RemoveDirectoryA(candidate.c_str());
        break;
    }
    return Fail(problem, "A work folder beside " + output_ + " cannot be created (" + ErrorText(code) +
                             "). Nothing was exported.");
}

bool TOutputSet::RepairLeftovers(unsigned long current, TProblem& problem)
{
    const std::string leaf = OutputFolderLeaf(output_, IsAnsiLeadByte);
    std::vector<std::string> leftovers;
    WIN32_FIND_DATAA entry;
    HANDLE find = FindFirstFileA((output_ + ".~new-*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return true;
    do {
        const DWORD attributes = entry.dwFileAttributes;
        unsigned long processId = 0;
        // This process's own are either held by its jobs that still run (a
        // job nested in another's message box, a machine of the fleet) or
        // left by one whose undo failed, or by an ended run that had its id:
        // the lock tells them apart.
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
            ParseWorkFolderName(entry.cFileName, leaf, processId, IsAnsiLeadByte) && !OtherProcessRuns(processId))
            leftovers.push_back(output_ + std::string(entry.cFileName).substr(leaf.size()));
    } while (FindNextFileA(find, &entry));
    FindClose(find);
    for (const std::string& leftover : leftovers) {
        if (!RepairLeftover(leftover, current, problem))
            return false;
    }
    return true;
}

// The commit that left the folder had got as far as its content tells
// (DecideLeftoverRepair):
// - no "~old": it had not begun; the output folder is as it was.
// - "~old" without the mark: it was moving the earlier files aside (or its
//   undo was moving them back); those in "~old" go back where they were.
// - "~old" and the mark: every earlier file had been moved aside, so every
//   own file in the output folder is a new one. With "Source.txt", which
//   comes last, the new set is whole and the earlier one is done with;
//   without it, the new files go and the earlier ones come back.
// - a set committed after it began (the lock's serial is past its "~base"):
//   that set replaced whatever this commit left, and "~old" is older still.
bool TOutputSet::RepairLeftover(const std::string& leftover, unsigned long current, TProblem& problem)
{
    HANDLE lock = TakeLock(leftover);
    if (lock == INVALID_HANDLE_VALUE)
        return true;  // a job still writes it, or another run repairs it now
    const std::string old = leftover + "\\" + kOldFolder, mark = leftover + "\\" + kMovingInMark;
    const DWORD oldAttributes = GetFileAttributesA(old.c_str());
    LeftoverState state;
    state.hasOld = oldAttributes != INVALID_FILE_ATTRIBUTES && (oldAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                   !(oldAttributes & FILE_ATTRIBUTE_REPARSE_POINT);
    state.movingIn = IsFile(mark);
    state.sourceInPlace = IsFile(output_ + "\\" + kSourceFile);
    state.base = ReadSerialFile(leftover + "\\" + kBaseFile);
    state.current = current;
    const LeftoverRepair repair = DecideLeftoverRepair(state);
    bool repaired = true, movedBack = false, removedNew = false;
    if (repair == LeftoverRepair::PutBack || repair == LeftoverRepair::RemoveNew) {
        const bool movingIn = repair == LeftoverRepair::RemoveNew;
        for (const std::string& name : own_) {
            const std::string path = output_ + "\\" + name;
            if (!movingIn || !IsFile(path))
                continue;
            if (!DeleteFileA(path.c_str())) {
                repaired = false;
                break;
            }
            removedNew = true;
        }
        // The mark goes before any earlier file comes back: should this
        // repair be cut short in turn, the next one keeps those.
        repaired = repaired && (!movingIn || DeleteFileA(mark.c_str()));
        for (const std::string& name : own_) {
            const std::string from = old + "\\" + name, to = output_ + "\\" + name;
            if (!repaired || !IsFile(from))
                continue;
            repaired = !IsFile(to) && move_(from.c_str(), to.c_str());
            movedBack = movedBack || repaired;
        }
    }
    const std::string found = "An earlier export that did not finish left " + leftover;
    if (!repaired) {
        CloseHandle(lock);
        return Fail(problem, found + ", and some of the earlier files could not be put back: the earlier files are "
                                     "in " + old + ". Nothing was exported.");
    }
    EmptyFolder(leftover);
    CloseHandle(lock);
    const bool removed = RemoveDirectoryA(leftover.c_str()) != FALSE;
    const std::string done = repair == LeftoverRepair::Discard
                                 ? "the set in " + output_ + " is newer than the files it held, so they were discarded"
                             : movedBack  ? "the earlier files in " + output_ + " were put back from it"
                             : removedNew ? "its unfinished files in " + output_ + " were removed"
                                          : "nothing in " + output_ + " had to change";
    Note(problem, found + "; " + done + (removed ? ", and it was removed." : ", but it could not be removed."));
    return true;
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
    // Held until the new set is whole or the earlier one is back.
    TSetLock setLock;
    if (!setLock.Take(output_, lockWaitMs_, "", problem))
        return false;
    // Read-only files are the admin's wish to keep them; the whole set stays then.
    for (const std::string& name : own_) {
        const std::string path = output_ + "\\" + name;
        const DWORD attributes = GetFileAttributesA(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
            return Fail(problem, "The file " + path + " is read-only, so the files in " + output_ +
                                     " cannot be replaced.");
    }
    // Noted before anything moves: should this commit be cut short, and
    // another set be committed before its leftover is repaired, the repair
    // tells that set from the one found here.
    const unsigned long base = setLock.Serial();
    if (!WriteSerialFile(work_ + "\\" + kBaseFile, base))
        return Fail(problem, "The file " + work_ + "\\" + kBaseFile + " cannot be written (" +
                                 ErrorText(GetLastError()) + ").");
    // The earlier set moves aside first, so that a file in use leaves
    // everything as it was; it is deleted only once the new set is in place.
    const std::string old = work_ + "\\" + kOldFolder, mark = work_ + "\\" + kMovingInMark;
    if (!CreateDirectoryA(old.c_str(), nullptr))
        return Fail(problem, "A work folder in " + work_ + " cannot be created (" + ErrorText(GetLastError()) + ").");
    std::vector<std::string> movedAway, movedIn;
    bool marked = false;
    // Step by step back, so that where a move fails the folders are as the
    // commit had them at one of its steps, which the next run's Begin
    // repairs; the work folder with the earlier files is kept till then.
    auto undo = [&] {
        for (auto name = movedIn.rbegin(); name != movedIn.rend(); ++name) {
            if (!move_((output_ + "\\" + *name).c_str(), WorkPath(*name).c_str()))
                return false;
        }
        if (marked && !DeleteFileA(mark.c_str()))
            return false;
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
    if (!CreateEmptyFile(mark)) {
        const DWORD code = GetLastError();
        return failed("The file " + mark + " cannot be written (" + ErrorText(code) + ").");
    }
    marked = true;
    // "Source.txt" last: an output folder that holds it holds a whole set.
    std::vector<std::string> names = ProducedNames();
    std::stable_partition(names.begin(), names.end(), [](const std::string& name) { return name != kSourceFile; });
    for (const std::string& name : names) {
        const std::string path = output_ + "\\" + name;
        if (!move_(WorkPath(name).c_str(), path.c_str())) {
            const DWORD code = GetLastError();
            return failed("The file " + path + " cannot be written (" + ErrorText(code) + ").");
        }
        movedIn.push_back(name);
    }
    // A leftover whose commit began before this one is older than this set.
    (void)setLock.SetSerial(base + 1);  // failing, this set's leftover (if any) is still repaired as whole
    RemoveWork();
    return true;
}

bool TOutputSet::Finish(bool done, SourceFacts facts, TProblem& problem)
{
    if (done && WriteSourceFile(std::move(facts), problem) && Commit(problem))
        return true;
    Fail(problem, "The export did not finish.");
    problem.text += keep_ ? "\n\nSome of the earlier files could not be put back: the earlier files are in " + work_ +
                                "\\" + kOldFolder + ". A later export to " + output_ + " puts them back."
                          : "\n\nThe earlier files in " + output_ + " were kept.";
    return false;
}

void TOutputSet::ReleaseWork()
{
    if (lock_ != INVALID_HANDLE_VALUE)
        CloseHandle(lock_);
    lock_ = INVALID_HANDLE_VALUE;
}

void TOutputSet::RemoveWork()
{
    if (work_.empty())
        return;
    // Emptied while still locked: no other run finds it half gone.
    EmptyFolder(work_);
    ReleaseWork();
    (void)RemoveDirectoryA(work_.c_str());
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
    const std::string path = WorkPath(kSourceFile);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    bool written = file && std::fwrite(text.data(), 1, text.size(), file) == text.size();
    if (file && std::fclose(file) != 0)
        written = false;
    return written || Fail(problem, "The file " + path + " could not be written (is the disk full?).");
}
