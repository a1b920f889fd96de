#pragma once
// Raises an event of the console in this process as the system does, on a
// thread of its own, through the handler that the run installed with the
// console calls it was given (app/RunLog.h): once the stand-in for reg holds
// its work ("held" beside it), after which the stand-in goes on.
#include <windows.h>

#include <functional>
#include <string>

#include "app/RunLog.h"
#include "tests/wine/Harness.h"

struct TConsoleEvent {
    explicit TConsoleEvent(DWORD raised) : event(raised) {}
    TConsoleEvent(const TConsoleEvent&) = delete;
    TConsoleEvent& operator=(const TConsoleEvent&) = delete;
    ~TConsoleEvent() { Wait(); }

    // A console the run is attached to, whose handler is kept here.
    TConsoleCalls Calls()
    {
        TConsoleCalls calls;
        calls.attach = [](DWORD) { return TRUE; };
        calls.setHandler = [this](PHANDLER_ROUTINE routine, BOOL add) {
            if (add)
                handler = routine;
            return TRUE;
        };
        return calls;
    }
    void Start() { thread = CreateThread(nullptr, 0, Raise, this, 0, nullptr); }
    void Wait()
    {
        if (thread) {
            WaitForSingleObject(thread, 120000);
            CloseHandle(thread);
        }
        thread = nullptr;
    }

    DWORD event;
    PHANDLER_ROUTINE handler = nullptr;
    int returned = -1;                   // the handler's answer; -1 when it never ran
    std::function<void()> whenRaised;    // looks just before the handler runs
    std::function<void()> whenReturned;  // and the moment it has returned

private:
    static DWORD WINAPI Raise(LPVOID data)
    {
        TConsoleEvent& self = *static_cast<TConsoleEvent*>(data);
        const std::string held = sandbox::SystemDir() + "held";
        if (driver::WaitUntil([&] { return sandbox::Exists(held); }, 60000) && self.handler) {
            if (self.whenRaised)
                self.whenRaised();
            self.returned = self.handler(self.event);
            if (self.whenReturned)
                self.whenReturned();
        }
        DeleteFileA(held.c_str());
        return 0;
    }

    HANDLE thread = nullptr;
};
