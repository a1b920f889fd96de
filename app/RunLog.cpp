#include "app/RunLog.h"

#include <new>

#include "app/WindowStation.h"
#include "local/LoadedHives.h"
#include "local/RunStop.h"

const char kLogSource[] = "Movara.log";

std::string ExceptionText(const std::exception* e, const std::string& work)
{
    if (dynamic_cast<const std::bad_alloc*>(e))
        return "There is not enough memory to finish the " + work + ".";
    return "The " + work + " ended with an unexpected error" + (e ? ": " + std::string(e->what()) : std::string()) + ".";
}

LogTime LogNow()
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

namespace {

// How long closing the console, logoff and shutdown may take on XP before
// the system steps in: 5 s after the console is closed (then it offers to
// end the program), 20 s at logoff and shutdown. The handler returning ends the process, so the
// hives go well within both.
const DWORD kCloseBudgetMs = 4000;
const DWORD kLogoffBudgetMs = 15000;

} // namespace

BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        return AskRunsToStop() ? TRUE : FALSE;
    case CTRL_LOGOFF_EVENT:
        if (!RunsOnInteractiveStation())
            return TRUE;
        break;
    default:
        break;
    }
    // Runs on a thread of its own while the jobs go on: no new source
    // starts, their system programs are ended, their hives unloaded.
    (void)AskRunsToStop();
    (void)UnloadLoadedHives(event == CTRL_CLOSE_EVENT ? kCloseBudgetMs : kLogoffBudgetMs);
    return FALSE;  // the system's own handler ends the process
}

HANDLE StandardOutput(const TConsoleCalls& console)
{
    // Asked before attaching: the handles a console front passes on are the
    // console's, and valid only once this process is attached to it.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const bool given = out && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN;
    // A process that has a console already (a console program, a second
    // log of this run) is refused with ERROR_ACCESS_DENIED.
    const bool attached =
        console.attach(ATTACH_PARENT_PROCESS) != FALSE || GetLastError() == ERROR_ACCESS_DENIED;
    // Attaching resets the console's handlers: installed after it.
    if (attached)
        (void)console.setHandler(OnConsoleEvent, TRUE);
    if (given)
        return out;
    if (!attached)
        return nullptr;
    out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return out == INVALID_HANDLE_VALUE ? nullptr : out;
}

// Several runs, on several machines, may append to one log on a share.
// Each line is written at the end of the file while this process holds an
// exclusive lock on one byte far past any log's end: the lock orders the
// writers, and readers of the lines are never blocked.
//
// A Windows file server refuses a conflicting lock at once only below its
// LockViolationOffset (0xEF000000 unless changed) and only the first time on
// a handle: at or above that offset, or when the same lock is tried again on
// the same handle, it holds the refusal back for its LockViolationDelay (a
// quarter of a second). So the byte lies below that offset and every try
// opens the file anew; the budget is counted in time as well, so that a
// server set otherwise cannot stretch it.
namespace {
const DWORD kLockOffset = 0x7FFFFFF0;
static_assert(kLockOffset < 0xEF000000u, "a file server delays each refusal above its LockViolationOffset");
const DWORD kLockBudgetMs = 10000;
const DWORD kLockPauseMs = 25;
} // namespace

// 0 when the line was appended whole, else the Win32 error.
DWORD AppendLine(const std::string& path, const std::string& line)
{
    for (const DWORD start = GetTickCount();;) {
        HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD error = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
        OVERLAPPED lock = {};
        lock.Offset = kLockOffset;
        if (!error && !LockFileEx(file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &lock))
            error = GetLastError();
        else if (!error) {
            LARGE_INTEGER zero = {};
            DWORD written = 0;
            const DWORD size = static_cast<DWORD>(line.size());
            if (!SetFilePointerEx(file, zero, nullptr, FILE_END) ||
                !WriteFile(file, line.data(), size, &written, nullptr))
                error = GetLastError();
            else if (written != size)
                error = ERROR_WRITE_FAULT;
            (void)UnlockFileEx(file, 0, 1, 0, &lock);  // closing the handle releases it too
        }
        if (file != INVALID_HANDLE_VALUE && !CloseHandle(file) && !error)
            error = GetLastError();
        const bool busy = error == ERROR_LOCK_VIOLATION || error == ERROR_SHARING_VIOLATION;
        if (!busy || GetTickCount() - start >= kLockBudgetMs)
            return error;
        Sleep(kLockPauseMs);
    }
}

