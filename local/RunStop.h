#pragma once

#include <windows.h>

// A run that stops between its sources when it is asked to: the sources in
// progress finish (and unload what they loaded), no further one starts. It
// is listed for its lifetime, so that AskRunsToStop reaches it from any
// thread, such as the one the system runs a console's handler on.
class TRunStop {
public:
    TRunStop();
    ~TRunStop();
    TRunStop(const TRunStop&) = delete;
    TRunStop& operator=(const TRunStop&) = delete;

    bool Asked() const { return InterlockedCompareExchange(&asked_, 0, 0) != 0; }
    void Ask() { InterlockedExchange(&asked_, 1); }

private:
    mutable LONG asked_ = 0;
};

// Asks every listed run to stop; whether there was one to ask.
bool AskRunsToStop();
