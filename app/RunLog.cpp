#include "app/RunLog.h"

#include <new>

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

// Standard output where the caller gave one (a file or a pipe), else the
// console of the caller, if it has one: a GUI program gets neither by itself.
HANDLE StandardOutput()
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    if (out && out != INVALID_HANDLE_VALUE && GetFileType(out) != FILE_TYPE_UNKNOWN)
        return out;
    if (!AttachConsole(ATTACH_PARENT_PROCESS))
        return nullptr;
    out = CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return out == INVALID_HANDLE_VALUE ? nullptr : out;
}

// Several runs, on several machines, may append to one log on a share.
// Each line is written at the end of the file while this process holds an
// exclusive lock on one byte far past any log's end: the lock orders the
// writers, and readers of the lines are never blocked.
namespace {
const DWORD kLockOffset = 0x7FFFFFF0;
const int kLockAttempts = 400;   // about 10 s in all
const DWORD kLockPauseMs = 25;
} // namespace

// 0 when the line was appended whole, else the Win32 error.
DWORD AppendLine(const std::string& path, const std::string& line)
{
    for (int attempt = 1;; ++attempt) {
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
        if (!busy || attempt == kLockAttempts)
            return error;
        Sleep(kLockPauseMs);
    }
}

