// The command line's look at many machines, run under Wine by
// scripts/bench-fleet.
//
// 32 machines that do not answer, eight at a time, with and without the
// look at their sharing ports. Without it, each connection waits as long as
// the system's does before it gives up (the lister's delay stands for that
// timeout: Windows gives up a TCP connect after about 21 s); with it, each
// machine's ports are tried on a loopback port that never answers, and the
// look's cap ends the wait.
//
// 1,000 machines, 250 of them switched off, at /jobs 32, through a stand-in
// for XP's connect queue: at most 10 outgoing connects pending at once,
// system-wide, the rest queued until earlier ones end. A machine that is up
// accepts as soon as its connect leaves the queue; one that is off never
// answers. With the tool's own slots every machine that is up is found;
// without them (slots enough for every job) looks at machines that are up
// wait in the queue past their cap.
#include <windows.h>

#include <cstdio>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "app/CommandLineRun.h"
#include "tests/wine/SilentPort.h"

namespace {

const DWORD kSystemTimeoutMs = 21000;

LONG SlowToFail(const std::string&, std::vector<RemoteUser>& users, std::string& reason)
{
    users.clear();
    Sleep(kSystemTimeoutMs);
    reason = "The machine is not found on the network, or it is switched off. (error 53)";
    return ERROR_BAD_NETPATH;
}

TProbeResult NoLook(const std::string&)
{
    return {ProbeOutcome::Answers, 0};
}

unsigned short gSilentPort = 0;

TProbeResult SilentLook(const std::string&)
{
    return ProbeMachine("127.0.0.1", {gSilentPort, gSilentPort});
}

double Seconds(const std::string& out, const TFleetSeams& seams, int& code)
{
    std::vector<std::string> args = {"/out", out, "/jobs", "8"};
    for (int i = 1; i <= 32; ++i) {
        args.push_back("/machine");
        args.push_back("OFFPC" + std::to_string(i));
    }
    const DWORD start = GetTickCount();
    code = RunCommandLine(args, seams);
    return (GetTickCount() - start) / 1000.0;
}

const unsigned long kUp = 1, kOff = 2;  // the stand-in's addresses, never connected to

// One connect as XP's queue sees it.
struct TQueuedConnect {
    std::size_t id;
    bool up;
    HANDLE wake;  // its look's event
    bool admitted = false, ended = false, told = false;
};

class TXpConnectQueue {
public:
    static const int kLimit = 10;
    TXpConnectQueue() { InitializeCriticalSection(&lock_); }
    TXpConnectQueue(const TXpConnectQueue&) = delete;
    TXpConnectQueue& operator=(const TXpConnectQueue&) = delete;
    ~TXpConnectQueue() { DeleteCriticalSection(&lock_); }

    void Start(TQueuedConnect* connect)
    {
        EnterCriticalSection(&lock_);
        if (pending_ < kLimit)
            Admit(connect);
        else
            queue_.push_back(connect);
        if (pending_ + static_cast<int>(queue_.size()) > most_)
            most_ = pending_ + static_cast<int>(queue_.size());
        LeaveCriticalSection(&lock_);
    }

    // Closed by its look: out of the queue, or its place among the pending
    // goes to the next one queued.
    void Close(TQueuedConnect* connect)
    {
        EnterCriticalSection(&lock_);
        if (!connect->admitted) {
            for (auto at = queue_.begin(); at != queue_.end(); ++at)
                if (*at == connect) {
                    queue_.erase(at);
                    break;
                }
        } else if (!connect->ended) {
            --pending_;
            while (pending_ < kLimit && !queue_.empty()) {
                TQueuedConnect* next = queue_.front();
                queue_.pop_front();
                Admit(next);
            }
        }
        LeaveCriticalSection(&lock_);
    }

    // Appends the connects that have ended and were not told yet.
    void TakeEnded(const std::vector<std::unique_ptr<TQueuedConnect>>& connects, std::vector<TConnectEnd>& ended)
    {
        EnterCriticalSection(&lock_);
        for (const auto& connect : connects)
            if (connect->ended && !connect->told) {
                connect->told = true;
                ended.push_back({connect->id, 0});
            }
        LeaveCriticalSection(&lock_);
    }

    // The most connects the tool had asked for at once, pending and queued.
    int Most() const { return most_; }

private:
    void Admit(TQueuedConnect* connect)
    {
        connect->admitted = true;
        if (connect->up) {
            connect->ended = true;  // a machine on the LAN accepts within a millisecond
            SetEvent(connect->wake);
        } else {
            ++pending_;
        }
    }

    CRITICAL_SECTION lock_;
    int pending_ = 0, most_ = 0;
    std::deque<TQueuedConnect*> queue_;
};

class TQueuedConnects : public TConnectSet {
public:
    explicit TQueuedConnects(TXpConnectQueue& queue)
        : queue_(queue), wake_(CreateEventA(nullptr, FALSE, FALSE, nullptr))
    {
    }
    TQueuedConnects(const TQueuedConnects&) = delete;
    TQueuedConnects& operator=(const TQueuedConnects&) = delete;
    ~TQueuedConnects() override
    {
        for (const auto& connect : connects_)
            queue_.Close(connect.get());
        CloseHandle(wake_);
    }

    int Start(std::size_t id, unsigned long address, unsigned short) override
    {
        connects_.emplace_back(new TQueuedConnect{id, address == kUp, wake_});
        queue_.Start(connects_.back().get());
        return 0;
    }

    int Wait(DWORD ms, std::vector<TConnectEnd>& ended) override
    {
        const std::size_t before = ended.size();
        queue_.TakeEnded(connects_, ended);
        if (ended.size() == before && WaitForSingleObject(wake_, ms) == WAIT_OBJECT_0)
            queue_.TakeEnded(connects_, ended);
        return 0;
    }

private:
    TXpConnectQueue& queue_;
    HANDLE wake_;
    std::vector<std::unique_ptr<TQueuedConnect>> connects_;
};

class TQueuedNetwork : public TProbeNetwork {
public:
    explicit TQueuedNetwork(TXpConnectQueue& queue) : queue_(queue) {}
    int Resolve(const std::string& host, std::vector<unsigned long>& addresses) override
    {
        addresses.assign(1, host.compare(0, 2, "UP") == 0 ? kUp : kOff);
        return 0;
    }
    std::unique_ptr<TConnectSet> NewConnectSet() override
    {
        return std::unique_ptr<TConnectSet>(new TQueuedConnects(queue_));
    }

private:
    TXpConnectQueue& queue_;
};

LONG gUpListed = 0;

// A machine that passed the look; nobody is logged on at it.
LONG CountListed(const std::string& machine, std::vector<RemoteUser>& users, std::string& reason)
{
    users.clear();
    reason.clear();
    if (machine.compare(0, 4, "\\\\UP") == 0)
        InterlockedIncrement(&gUpListed);
    return ERROR_SUCCESS;
}

struct TFleetFigure {
    double seconds;
    LONG upFound;
    int most;  // connects asked for at once
};

TFleetFigure ThousandMachines(const std::string& out, TConnectSlots& slots)
{
    TXpConnectQueue queue;
    TQueuedNetwork network(queue);
    TFleetSeams seams;
    seams.listUsers = CountListed;
    seams.probe = [&network, &slots](const std::string& host) {
        return ProbeMachine(host, TProbePorts(), kProbeCapMs, network, slots);
    };
    std::vector<std::string> args = {"/out", out, "/jobs", "32"};
    for (int i = 0; i < 1000; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, i % 4 == 3 ? "OFF%04d" : "UP%04d", i);
        args.push_back("/machine");
        args.push_back(name);
    }
    gUpListed = 0;
    const DWORD start = GetTickCount();
    (void)RunCommandLine(args, seams);  // 1: the machines that are off
    return {(GetTickCount() - start) / 1000.0, gUpListed, queue.Most()};
}

} // namespace

int main(int argc, char** argv)
{
    const std::string out = argc > 1 ? argv[1] : "fleet-bench";
    TSilentPort silent;
    gSilentPort = silent.Port();
    TFleetSeams without;
    without.listUsers = SlowToFail;
    without.probe = NoLook;
    TFleetSeams with = without;
    with.probe = SilentLook;
    int codeWith = 0, codeWithout = 0;
    const double withCheck = Seconds(out + "\\with", with, codeWith);
    const double withoutCheck = Seconds(out + "\\without", without, codeWithout);
    std::printf("32 machines that do not answer, /jobs 8: %.1f s with the look at ports 445 and 139 (%.1f s cap, "
                "exit code %d); %.1f s without it (%.1f s system timeout each, exit code %d)\n",
                withCheck, kProbeCapMs / 1000.0, codeWith, withoutCheck, kSystemTimeoutMs / 1000.0, codeWithout);
    std::fflush(stdout);

    const TFleetFigure capped = ThousandMachines(out + "\\capped", ProcessConnectSlots());
    TConnectSlots everyJob(64);
    const TFleetFigure uncapped = ThousandMachines(out + "\\uncapped", everyJob);
    std::printf("1000 machines, 250 switched off, /jobs 32, XP's queue of %d pending connects: %.1f s with the "
                "tool's %u connect slots, %ld of 750 up machines found (at most %d connects asked for at once); "
                "%.1f s without them, %ld of 750 found (at most %d at once)\n",
                TXpConnectQueue::kLimit, capped.seconds, static_cast<unsigned>(kMaxPendingConnects), capped.upFound,
                capped.most, uncapped.seconds, uncapped.upFound, uncapped.most);
    return 0;
}
