#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "local/AnsiNames.h"
#include "local/JobReport.h"
#include "local/SourceText.h"

// The LeadByteTest of this machine's ANSI code page, which every name and
// path helper of local/AnsiNames.h is given here.
inline bool IsAnsiLeadByte(unsigned char byte)
{
    return IsDBCSLeadByte(byte) != FALSE;
}

bool IsFolder(const std::string& path);
bool IsFile(const std::string& path);

// Creates the folder and any missing parents; true when it is there. When
// false, GetLastError tells why the folder itself could not be created.
bool CreateFolderTree(const std::string& path);

// Moves a file as MoveFileA does: FALSE, with the reason in GetLastError,
// when it cannot.
using FileMove = std::function<BOOL(const char* from, const char* to)>;

// How long a job waits for another run that commits or repairs the same
// output folder before it gives up, saying why.
const DWORD kSetLockWaitMs = 30000;

// One job's files. The job writes them into a new work folder beside the
// output folder; Commit then puts them in place of the job's earlier files as
// one set, and removes every file of the set that this run did not produce.
// Until then, and after any failure, the output folder stays as it was. Files
// there that are not the job's own are never touched.
//
// A run that ends in the middle (killed, the machine switched off) leaves its
// work folder behind; the next job of the same output folder repairs it
// before it starts (Begin), unless a newer set has been committed since: then
// what it held is obsolete and discarded. Commit and repair hold the output
// folder's lock, a file beside it ("carol.~lock"), so that two runs never
// move files there at once, on one machine or on several sharing the folder.
class TOutputSet {
public:
    // ownNames: every file the job can leave in the output folder. move: how
    // the set's files are moved, lockWaitMs: how long a commit or repair
    // waits for another run's; only tests pass others.
    TOutputSet(const std::string& outputFolder, const std::vector<std::string>& ownNames,
               FileMove move = MoveFileA, DWORD lockWaitMs = kSetLockWaitMs);
    TOutputSet(const TOutputSet&) = delete;
    TOutputSet& operator=(const TOutputSet&) = delete;
    // Removes the work folder when the set was not committed, unless it holds
    // earlier files that could not be put back.
    ~TOutputSet();

    // Creates the output folder when it is missing; repairs the work folders
    // beside it that runs which no longer run left, telling what it found and
    // did in problem.note; creates the work folder.
    bool Begin(TProblem& problem);
    const std::string& Output() const { return output_; }
    const std::string& Work() const { return work_; }
    std::string WorkPath(const std::string& name) const { return work_ + "\\" + name; }
    bool Produced(const std::string& name) const;
    // The own files that the work folder holds.
    std::vector<std::string> ProducedNames() const;

    // Ends the job: when done, writes "Source.txt" (the facts, the local time
    // now, the tool's version and the files of the set) and commits; else, or
    // when that fails, keeps the earlier files and says so. Whether the set
    // was committed.
    bool Finish(bool done, SourceFacts facts, TProblem& problem);

private:
    bool Commit(TProblem& problem);
    bool WriteSourceFile(SourceFacts facts, TProblem& problem) const;
    bool RepairLeftovers(unsigned long current, TProblem& problem);
    bool RepairLeftover(const std::string& leftover, unsigned long current, TProblem& problem);
    void ReleaseWork();
    void RemoveWork();

    std::string output_;
    std::vector<std::string> own_;
    FileMove move_;
    DWORD lockWaitMs_;
    std::string work_;
    HANDLE lock_ = INVALID_HANDLE_VALUE;  // the work folder's, held while the job runs
    bool keep_ = false;                   // the work folder holds earlier files
};
