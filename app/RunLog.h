#pragma once

#include <windows.h>

#include <exception>
#include <functional>
#include <string>

#include "app/CommandLine.h"
#include "local/JobReport.h"

// How a run meets the console of the prompt that started it: the system's
// own calls. Tests pass theirs, to raise the console's events themselves.
struct TConsoleCalls {
    std::function<BOOL(DWORD process)> attach = AttachConsole;
    std::function<BOOL(PHANDLER_ROUTINE handler, BOOL add)> setHandler = SetConsoleCtrlHandler;
};

// What the run does with the events of the console it is attached to.
// Ctrl+C, Ctrl+Break: a run that is listed (local/RunStop.h) starts no
// further source, and the process goes on; without one (/apply, which loads
// no hive) the process ends as the system would end it. Closing the console,
// logging off, shutting down: whatever hive is loaded is unloaded, then the
// process ends.
BOOL WINAPI OnConsoleEvent(DWORD event);

// Standard output where the caller gave one (a file or a pipe), else the
// console of the caller, if it has one: a GUI program gets neither by itself.
// Attaches to that console either way, with OnConsoleEvent as its handler:
// Ctrl+C at a prompt whose output goes to a file still reaches the run.
HANDLE StandardOutput(const TConsoleCalls& console = TConsoleCalls());

// Appends line to the log at path under the log's lock: 0 when it was
// written whole, else the Win32 error.
DWORD AppendLine(const std::string& path, const std::string& line);

// The source of the line that tells a line could not be logged.
extern const char kLogSource[];  // "Movara.log"

// The text of an exception (null: one that is no std::exception) that ended
// a source's export or import (work names which).
std::string ExceptionText(const std::exception* e, const std::string& work = "export");

// The local time, for log lines.
LogTime LogNow();

// The run's log: one line per source, appended to the log file and written
// to standard output.
class TRunLog {
public:
    explicit TRunLog(const std::string& path, const TConsoleCalls& console = TConsoleCalls())
        : path_(path), out_(StandardOutput(console))
    {
        InitializeCriticalSection(&lock_);
    }
    TRunLog(const TRunLog&) = delete;
    TRunLog& operator=(const TRunLog&) = delete;
    ~TRunLog() { DeleteCriticalSection(&lock_); }

    void Line(const std::string& source, bool ok, const std::string& message)
    {
        const LogTime now = LogNow();
        const std::string line = LogLine(now, source, ok, message);
        const DWORD error = AppendLine(path_, line);
        EnterCriticalSection(&lock_);
        logFailed_ = logFailed_ || error != 0;
        if (!ok)
            anyFailed_ = true;
        Write(line);
        if (error)
            Write(LogLine(now, kLogSource, false,
                          "the line above could not be written to " + path_ + " (error " + std::to_string(error) +
                              ")"));
        LeaveCriticalSection(&lock_);
    }

    // A source's line: its job's problem, or what a job that succeeded
    // still tells (a note of what it repaired or left out).
    void Line(const std::string& source, bool ok, const TProblem& problem) { Line(source, ok, ReportText(problem)); }

    // 0 when every source was exported and every line logged, else 1.
    int ExitCode() const { return anyFailed_ || logFailed_ ? 1 : 0; }

private:
    void Write(const std::string& text)
    {
        DWORD written = 0;
        if (out_)
            (void)WriteFile(out_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

    std::string path_;
    HANDLE out_;
    CRITICAL_SECTION lock_;
    bool anyFailed_ = false;
    bool logFailed_ = false;
};


