#pragma once

#include <windows.h>

#include <string>

// What must not outlive the process: the hives its jobs have loaded under
// HKEY_USERS or HKEY_LOCAL_MACHINE, and the system programs they wait for.
// A hive left loaded gives its user a temporary profile at the next logon,
// and keeps an old disk's registry loaded until a restart. Whatever ends the
// process before its jobs are done (the console closed, the user logging
// off, the system shutting down) calls UnloadLoadedHives first; the list is
// the process's, so jobs of any thread are covered.

// Whether a hive (or any key) is there under root\key.
bool HiveLoaded(const std::string& key, HKEY root = HKEY_USERS);

// One hive of a job: unloaded on every way out of the job, an exception
// included, and by UnloadLoadedHives if the process ends first.
class THiveGuard {
public:
    // unloadCommand: reg's command line that unloads root\key.
    THiveGuard(const std::string& reg, const std::string& unloadCommand, const std::string& key,
               HKEY root = HKEY_USERS);
    THiveGuard(const THiveGuard&) = delete;
    THiveGuard& operator=(const THiveGuard&) = delete;
    ~THiveGuard();

    // Called before the load command runs: from then on the final unload
    // (UnloadLoadedHives) unloads the hive whenever it is there, even if the load was
    // cut short before it told.
    void Loading();
    // The load succeeded: the job unloads it (Unload, or the destructor).
    void Loaded() { loaded_ = true; }
    // Unloads it; whether it is gone. Asked once, where the job is done with it.
    bool Unload();

private:
    std::string reg_, commandLine_, key_;
    HKEY root_;
    long entry_ = 0;  // its place in the process's list; 0: not listed
    bool loaded_ = false;
};

// Lists a system program that a job has started and waits for, so that the
// final unload ends it first: an export holds its hive open, and a
// hive that is open cannot be unloaded. False once the final unload has begun:
// the caller ends the program instead of letting it run.
bool ListChild(HANDLE process);
void UnlistChild(HANDLE process);

// The final unload, when the console is closed, the user logs off or the
// system shuts down: ends every listed program, then unloads every listed
// hive that is there,
// retrying until budgetMs have passed; from then on no program is listed,
// so none starts. Whether every hive is gone. A hive that a job is unloading
// meanwhile is waited for.
bool UnloadLoadedHives(DWORD budgetMs);
