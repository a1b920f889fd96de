#include "local/LoadedHives.h"

#include <climits>
#include <list>
#include <vector>

#include "local/CommandRunner.h"

namespace {

// A job's own unload is tried this many times, this far apart: another
// program that holds the hive open often lets it go a moment later.
const int kUnloadAttempts = 5;
const DWORD kUnloadPauseMs = 400;
// During the final unload the budget decides, with shorter pauses.
const DWORD kEndPauseMs = 100;
// How long a job waits for the final unload to unload its hive.
const DWORD kEndWaitMs = 30000;

struct TListedHive {
    long id;
    std::string reg, commandLine, key;
    HKEY root;
    bool taken;  // a job's Unload or UnloadLoadedHives unloads it now
};

struct TListedChild {
    HANDLE process;  // the job's handle, which names it in UnlistChild
    HANDLE own;      // the list's duplicate, closed when it is unlisted
};

struct TProcessList {
    TProcessList() { InitializeCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    std::list<TListedHive> hives;
    std::vector<TListedChild> children;
    long lastId = 0;
    bool ending = false;
};

// Never destroyed: the thread of the final unload may still use it while
// the process exits.
TProcessList& List()
{
    static TProcessList* list = new TProcessList;
    return *list;
}

class TListLock {
public:
    TListLock() { EnterCriticalSection(&List().lock); }
    ~TListLock() { LeaveCriticalSection(&List().lock); }
    TListLock(const TListLock&) = delete;
    TListLock& operator=(const TListLock&) = delete;
};

DWORD TimeLeft(DWORD deadline)
{
    const DWORD left = deadline - GetTickCount();
    return static_cast<LONG>(left) > 0 ? left : 0;
}

// Runs reg's unload until the hive is gone: at most `attempts` times, and
// with a deadline, no pause that would end past it. The unload itself is no
// program that the final unload ends.
bool UnloadHive(const TListedHive& hive, int attempts, DWORD pauseMs, const DWORD* deadline)
{
    for (int attempt = 1;; ++attempt) {
        DWORD code = 1;
        if (RunHidden(hive.reg, hive.commandLine, nullptr, &code, true) == 0 && code == 0 &&
            !HiveLoaded(hive.key, hive.root))
            return true;
        if (attempt == attempts || (deadline && TimeLeft(*deadline) < pauseMs))
            return false;
        Sleep(pauseMs);
    }
}

// Takes a listed hive for an unload of its own; false when it is not listed
// (any more) or another thread unloads it.
bool Take(long id)
{
    TListLock lock;
    for (TListedHive& hive : List().hives) {
        if (hive.id == id) {
            if (hive.taken)
                return false;
            hive.taken = true;
            return true;
        }
    }
    return false;
}

void Drop(long id)
{
    TListLock lock;
    List().hives.remove_if([id](const TListedHive& hive) { return hive.id == id; });
}

// Waits until the final unload is done with a hive; the process ends
// soon after that.
void WaitDropped(long id)
{
    for (DWORD start = GetTickCount(); GetTickCount() - start < kEndWaitMs; Sleep(50)) {
        TListLock lock;
        bool listed = false;
        for (const TListedHive& hive : List().hives)
            listed = listed || hive.id == id;
        if (!listed)
            return;
    }
}

} // namespace

bool HiveLoaded(const std::string& key, HKEY root)
{
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

THiveGuard::THiveGuard(const std::string& reg, const std::string& unloadCommand, const std::string& key, HKEY root)
    : reg_(reg), commandLine_(unloadCommand), key_(key), root_(root)
{
}

THiveGuard::~THiveGuard()
{
    if (loaded_)
        (void)Unload();  // only on the way out of an exception: nobody is left to tell
    else if (entry_ && Take(entry_))
        Drop(entry_);  // its load failed: nothing to unload
    else if (entry_)
        WaitDropped(entry_);
}

void THiveGuard::Loading()
{
    TListLock lock;
    entry_ = ++List().lastId;
    List().hives.push_back({entry_, reg_, commandLine_, key_, root_, false});
}

bool THiveGuard::Unload()
{
    loaded_ = false;
    const long entry = entry_;
    entry_ = 0;
    if (entry && !Take(entry)) {
        WaitDropped(entry);  // the final unload unloads it
        return !HiveLoaded(key_, root_);
    }
    const TListedHive hive = {entry, reg_, commandLine_, key_, root_, true};
    const bool gone = UnloadHive(hive, kUnloadAttempts, kUnloadPauseMs, nullptr);
    if (entry)
        Drop(entry);
    return gone;
}

bool ListChild(HANDLE process)
{
    HANDLE own = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), process, GetCurrentProcess(), &own, 0, FALSE, DUPLICATE_SAME_ACCESS))
        own = nullptr;  // it runs to its end then, like a program of a job that is not ending
    TListLock lock;
    if (List().ending) {
        if (own)
            CloseHandle(own);
        return false;
    }
    if (own)
        List().children.push_back({process, own});
    return true;
}

void UnlistChild(HANDLE process)
{
    TListLock lock;
    std::vector<TListedChild>& children = List().children;
    for (auto child = children.begin(); child != children.end(); ++child) {
        if (child->process == process) {
            CloseHandle(child->own);
            children.erase(child);
            return;
        }
    }
}

bool UnloadLoadedHives(DWORD budgetMs)
{
    const DWORD deadline = GetTickCount() + budgetMs;
    std::vector<HANDLE> children;
    {
        TListLock lock;
        List().ending = true;
        for (const TListedChild& child : List().children) {
            HANDLE own = nullptr;
            if (DuplicateHandle(GetCurrentProcess(), child.own, GetCurrentProcess(), &own, 0, FALSE,
                                DUPLICATE_SAME_ACCESS))
                children.push_back(own);
        }
    }
    for (HANDLE child : children) {
        (void)TerminateProcess(child, 1);  // fails harmlessly for one that has just ended
        (void)WaitForSingleObject(child, TimeLeft(deadline));
        CloseHandle(child);
    }
    bool allGone = true;
    for (;;) {
        TListedHive hive = {};
        bool found = false, busy = false;
        {
            TListLock lock;
            for (TListedHive& listed : List().hives) {
                if (listed.taken) {
                    busy = true;
                    continue;
                }
                listed.taken = true;
                hive = listed;
                found = true;
                break;
            }
        }
        if (found) {
            if (HiveLoaded(hive.key, hive.root) && !UnloadHive(hive, INT_MAX, kEndPauseMs, &deadline))
                allGone = false;
            Drop(hive.id);
            continue;
        }
        if (!busy)
            return allGone;
        if (TimeLeft(deadline) == 0)
            return false;
        Sleep(50);  // a job unloads one of them now
    }
}
