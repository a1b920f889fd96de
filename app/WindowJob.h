#pragma once
#include <windows.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <string>

#include "local/JobProgress.h"
#include "local/JobReport.h"

// What a job's worker posts to the window that started it; the window's
// thread answers each (TWindowJob::TakeProgress, TWindowJob::Finish).
const UINT kJobProgressMessage = WM_APP + 1;
const UINT kJobEndMessage = WM_APP + 2;

// One job of the window at a time, on a thread of its own, so that the
// window's thread keeps drawing the window and taking its input. The worker
// has only what the job was given when it started and touches no window: it
// posts its progress and its end, and the window's thread shows them. The
// dialog stays on the system's own modal loop.
class TWindowJob {
public:
    // On the worker: the job, which fills in its problem.
    using Work = std::function<void(TProblem& problem, const JobProgress& progress)>;
    // On the window's thread, once the worker has ended: what the job tells.
    using Done = std::function<void(const TProblem& problem)>;

    TWindowJob();
    TWindowJob(const TWindowJob&) = delete;
    TWindowJob& operator=(const TWindowJob&) = delete;
    // A worker that still runs is waited for: it may hold a loaded hive.
    ~TWindowJob();

    // Starts work, whose exceptions end it as a problem that names `what`
    // ("export"); false, and nothing started, while a job runs.
    bool Start(HWND window, std::string what, Work work, Done done);
    bool Running() const { return running_; }

    // On kJobEndMessage: waits for the worker, which posts its end as its
    // last step, and hands the job's problem to done.
    void Finish();
    // Waits up to ms for the worker to end; whether it has.
    bool WaitForWorker(DWORD ms = INFINITE);
    // Drops the job and what it would tell, at logoff or shutdown, where
    // nobody is left to read it; a worker that still runs is waited for only
    // when this object goes.
    void Abandon();
    // On kJobProgressMessage: the latest step the worker reported; false
    // when there is none that was not taken yet.
    bool TakeProgress(JobStep& step, std::size_t& done, std::size_t& total);

private:
    static unsigned __stdcall RunThread(void* job);
    void Run(bool onWorker);
    void Report(JobStep step, std::size_t done, std::size_t total);

    bool running_ = false;
    HWND window_ = nullptr;
    HANDLE thread_ = nullptr;
    std::string what_;
    Work work_;
    Done done_;
    // Written by the worker; read by the window's thread once it has ended.
    TProblem problem_;
    std::exception_ptr error_;
    // The latest step, shared with the worker under the lock; a progress
    // message is posted only when none is waiting in the queue.
    CRITICAL_SECTION lock_;
    JobStep step_ = JobStep::Files;
    std::size_t stepDone_ = 0, stepTotal_ = 0;
    bool stepFresh_ = false;
    LONG progressPosted_ = 0;
};

// ANSI text (a name, a path) as UTF-16 for the window's texts.
std::u16string AnsiAsUtf16(const std::string& text);
