#include "local/RunStop.h"

#include <algorithm>
#include <vector>

namespace {

struct TRuns {
    TRuns() { InitializeCriticalSection(&lock); }
    CRITICAL_SECTION lock;
    std::vector<TRunStop*> runs;
};

// Never destroyed: a console's handler may still run while the process exits.
TRuns& Runs()
{
    static TRuns* runs = new TRuns;
    return *runs;
}

} // namespace

TRunStop::TRunStop()
{
    EnterCriticalSection(&Runs().lock);
    Runs().runs.push_back(this);
    LeaveCriticalSection(&Runs().lock);
}

TRunStop::~TRunStop()
{
    EnterCriticalSection(&Runs().lock);
    std::vector<TRunStop*>& runs = Runs().runs;
    runs.erase(std::remove(runs.begin(), runs.end(), this), runs.end());
    LeaveCriticalSection(&Runs().lock);
}

bool AskRunsToStop()
{
    EnterCriticalSection(&Runs().lock);
    for (TRunStop* run : Runs().runs)
        run->Ask();
    const bool any = !Runs().runs.empty();
    LeaveCriticalSection(&Runs().lock);
    return any;
}
