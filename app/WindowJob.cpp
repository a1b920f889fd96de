#include "app/WindowJob.h"

#include <process.h>

#include <utility>

#include "app/RunLog.h"
#include "remote/ApplicationsFile.h"

TWindowJob::TWindowJob()
{
    InitializeCriticalSection(&lock_);
}

TWindowJob::~TWindowJob()
{
    (void)WaitForWorker();
    DeleteCriticalSection(&lock_);
}

bool TWindowJob::Start(HWND window, std::string what, Work work, Done done)
{
    if (running_)
        return false;
    running_ = true;
    window_ = window;
    what_ = std::move(what);
    work_ = std::move(work);
    done_ = std::move(done);
    problem_ = TProblem();
    error_ = nullptr;
    stepFresh_ = false;
    progressPosted_ = 0;
    const uintptr_t thread = _beginthreadex(nullptr, 0, &TWindowJob::RunThread, this, 0, nullptr);
    thread_ = reinterpret_cast<HANDLE>(thread);
    // Without a thread (the system out of resources) the job still runs, on
    // the window's thread as it did before there were workers: its end
    // arrives through the queue all the same.
    if (!thread_)
        Run(false);
    return true;
}

unsigned __stdcall TWindowJob::RunThread(void* job)
{
    static_cast<TWindowJob*>(job)->Run(true);
    return 0;
}

void TWindowJob::Run(bool onWorker)
{
    try {
        work_(problem_, [this](JobStep step, std::size_t done, std::size_t total) { Report(step, done, total); });
    } catch (...) {
        // Told by the window's thread: making the text may itself fail here.
        error_ = std::current_exception();
    }
    // Only the window's thread shows the job's box and touches its controls.
    // A post fails only while the window's queue is full (10000 messages);
    // without a worker nobody would empty it, so there it is tried once.
    while (!PostMessageA(window_, kJobEndMessage, 0, 0) && onWorker && IsWindow(window_))
        Sleep(50);
}

void TWindowJob::Report(JobStep step, std::size_t done, std::size_t total)
{
    EnterCriticalSection(&lock_);
    step_ = step;
    stepDone_ = done;
    stepTotal_ = total;
    stepFresh_ = true;
    LeaveCriticalSection(&lock_);
    // Entries are read far faster than a window repaints: one message in the
    // queue at a time, which shows the latest step when it is handled.
    if (InterlockedExchange(&progressPosted_, 1) == 0 && !PostMessageA(window_, kJobProgressMessage, 0, 0))
        InterlockedExchange(&progressPosted_, 0);
}

bool TWindowJob::TakeProgress(JobStep& step, std::size_t& done, std::size_t& total)
{
    (void)InterlockedExchange(&progressPosted_, 0);  // the next report posts again
    EnterCriticalSection(&lock_);
    const bool fresh = stepFresh_;
    step = step_;
    done = stepDone_;
    total = stepTotal_;
    stepFresh_ = false;
    LeaveCriticalSection(&lock_);
    return fresh;
}

bool TWindowJob::WaitForWorker(DWORD ms)
{
    if (!thread_)
        return true;
    if (WaitForSingleObject(thread_, ms) != WAIT_OBJECT_0)
        return false;
    CloseHandle(thread_);
    thread_ = nullptr;
    return true;
}

void TWindowJob::Finish()
{
    if (!running_)
        return;
    (void)WaitForWorker();
    // The job is over before it is told: a box of done runs a modal loop,
    // in which the window may start the next one.
    running_ = false;
    TProblem problem = std::move(problem_);
    Done done = std::move(done_);
    work_ = nullptr;
    if (error_) {
        try {
            std::rethrow_exception(error_);
        } catch (const std::exception& e) {
            Fail(problem, ExceptionText(&e, what_));
        } catch (...) {
            Fail(problem, ExceptionText(nullptr, what_));
        }
        error_ = nullptr;
    }
    if (done)
        done(problem);
}

void TWindowJob::Abandon()
{
    running_ = false;
    work_ = nullptr;
    done_ = nullptr;
}

std::u16string AnsiAsUtf16(const std::string& text)
{
    static_assert(sizeof(wchar_t) == sizeof(char16_t), "the window's texts are UTF-16");
    const std::wstring wide = WideFromAnsi(text);
    return std::u16string(wide.begin(), wide.end());
}
