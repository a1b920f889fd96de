#include <gtest/gtest.h>

#include "app/CommandLineRun.h"
#include "tests/wine/Harness.h"
#include "tests/wine/SilentPort.h"

using sandbox::Read;
using sandbox::SortedEntries;

namespace {

// Connects that end as their port says, without a packet on any network:
// kAccepts accepts, kRefusesLater is refused once waited for, kSilent never
// answers; any other port fails at once with its own number as the error
// (10061 refused, 10065 no route). The address `accepting` accepts on every
// port. Every connect under way is counted, across all looks of the process.
const unsigned short kAccepts = 1, kRefusesLater = 2, kSilent = 3;
LONG gUnderWay = 0, gMostUnderWay = 0;

class TScriptedConnects : public TConnectSet {
public:
    explicit TScriptedConnects(unsigned long accepting) : accepting_(accepting) {}
    ~TScriptedConnects() override { InterlockedExchangeAdd(&gUnderWay, -open_); }

    int Start(std::size_t id, unsigned long address, unsigned short port) override
    {
        if (address == accepting_)
            port = kAccepts;
        if (port != kAccepts && port != kRefusesLater && port != kSilent)
            return port;
        const LONG now = InterlockedIncrement(&gUnderWay);
        for (LONG most = gMostUnderWay; now > most; most = gMostUnderWay)
            InterlockedCompareExchange(&gMostUnderWay, now, most);
        ++open_;
        if (port != kSilent)
            ending_.push_back({id, port == kAccepts ? 0 : WSAECONNREFUSED});
        return 0;
    }

    int Wait(DWORD ms, std::vector<TConnectEnd>& ended) override
    {
        if (ending_.empty())
            Sleep(ms);
        for (const TConnectEnd& end : ending_) {
            ended.push_back(end);
            --open_;
            InterlockedDecrement(&gUnderWay);
        }
        ending_.clear();
        return 0;
    }

private:
    unsigned long accepting_;
    LONG open_ = 0;
    std::vector<TConnectEnd> ending_;
};

// A name with `count` addresses (1, 2, ...: never connected to).
class TScriptedNetwork : public TProbeNetwork {
public:
    explicit TScriptedNetwork(unsigned long count = 1, unsigned long accepting = 0)
        : count_(count), accepting_(accepting)
    {
    }
    int Resolve(const std::string&, std::vector<unsigned long>& addresses) override
    {
        addresses.clear();
        for (unsigned long a = 1; a <= count_; ++a)
            addresses.push_back(a);
        return 0;
    }
    std::unique_ptr<TConnectSet> NewConnectSet() override
    {
        return std::unique_ptr<TConnectSet>(new TScriptedConnects(accepting_));
    }

private:
    unsigned long count_, accepting_;
};

// The system's connects, to a name that resolves to 127.0.0.2 and 127.0.0.3.
class TTwoLoopbacks : public TProbeNetwork {
public:
    int Resolve(const std::string&, std::vector<unsigned long>& addresses) override
    {
        addresses = {htonl(0x7F000002), htonl(0x7F000003)};
        return 0;
    }
};

}  // namespace

// A name whose first address stays silent (a stale record, a second card
// that is unplugged) is found by its second, within the same look.
TEST(MachineProbe, EveryAddressOfTheNameIsTried)
{
    TSilentPort silent(0x7F000002);
    TLoopbackListener answering(5, 0x7F000003);
    ASSERT_NE(silent.Port(), 0);
    ASSERT_NE(answering.Port(), 0);
    TTwoLoopbacks network;
    // 127.0.0.2 leaves the first port unanswered and refuses the second;
    // 127.0.0.3 refuses the first and accepts the second.
    const TProbeResult result = ProbeMachine("TWOADDR", {silent.Port(), answering.Port()}, kProbeCapMs, network);
    EXPECT_EQ(result.outcome, ProbeOutcome::Answers);
    EXPECT_EQ(result.error, 0);
}

// Every slot a look took comes back, however it ended: an answer while
// another connect is under way, the cap, refusals, and a name with more
// addresses than there are slots, whose later ones are tried as earlier
// ones end.
TEST(MachineProbe, SlotsComeBackWhicheverWayALookEnds)
{
    TConnectSlots slots(kMaxPendingConnects);
    const struct {
        unsigned long addresses, accepting;
        TProbePorts ports;
        ProbeOutcome outcome;
    } looks[] = {
        {1, 0, {kAccepts, kSilent}, ProbeOutcome::Answers},
        {2, 0, {kSilent, kSilent}, ProbeOutcome::NoAnswer},
        {1, 0, {kRefusesLater, 10061}, ProbeOutcome::Refused},
        {5, 5, {kRefusesLater, kRefusesLater}, ProbeOutcome::Answers},
    };
    for (const auto& look : looks) {
        SCOPED_TRACE(std::to_string(look.addresses) + " addresses, ports " + std::to_string(look.ports.first) + " " +
                     std::to_string(look.ports.second));
        TScriptedNetwork network(look.addresses, look.accepting);
        gMostUnderWay = 0;
        EXPECT_EQ(ProbeMachine("PC", look.ports, 100, network, slots).outcome, look.outcome);
        EXPECT_EQ(slots.Free(), kMaxPendingConnects);
        EXPECT_EQ(gUnderWay, 0) << "a connect was left open";
        EXPECT_LE(gMostUnderWay, static_cast<LONG>(kMaxPendingConnects));
    }
}

DWORD WINAPI GiveBackLater(LPVOID slots)
{
    Sleep(400);
    static_cast<TConnectSlots*>(slots)->Give(kMaxPendingConnects);
    return 0;
}

// A look that waited for its slots has its whole cap once its connects
// start: the machine behind it answers.
TEST(MachineProbe, TheCapCountsFromWhenTheConnectsStart)
{
    TConnectSlots slots(kMaxPendingConnects);
    slots.Take(kMaxPendingConnects);  // other looks hold them all for longer than the cap
    HANDLE other = CreateThread(nullptr, 0, GiveBackLater, &slots, 0, nullptr);
    ASSERT_NE(other, nullptr);
    TScriptedNetwork network;
    EXPECT_EQ(ProbeMachine("PC", {kAccepts, kAccepts}, 200, network, slots).outcome, ProbeOutcome::Answers);
    WaitForSingleObject(other, INFINITE);
    CloseHandle(other);
}

// However many machines are looked at side by side, no more connects are
// under way at once than the process's slots.
TEST(MachineProbe, PendingConnectsStayWithinTheSlots)
{
    const std::string dir = sandbox::FreshDir("slots");
    TScriptedNetwork network;
    TFleetSeams seams;
    seams.probe = [&network](const std::string& host) { return ProbeMachine(host, {kSilent, kSilent}, 300, network); };
    std::vector<std::string> args = {"/jobs", "16", "/out", dir};
    for (int i = 0; i < 16; ++i) {
        args.push_back("/machine");
        args.push_back("OFFPC" + std::to_string(i));
    }
    gMostUnderWay = 0;
    EXPECT_EQ(RunCommandLine(args, seams), 1);
    EXPECT_LE(gMostUnderWay, static_cast<LONG>(kMaxPendingConnects));
    EXPECT_GT(gMostUnderWay, 2) << "the looks never ran side by side";
    EXPECT_EQ(gUnderWay, 0);
    const std::vector<std::string> entries = SortedEntries(Read(dir + "\\Movara.log"));
    ASSERT_EQ(entries.size(), 16u);
    for (const std::string& entry : entries)
        EXPECT_NE(entry.find("The machine does not answer on the network"), std::string::npos) << entry;
}

// A machine that answered the look and then could not be connected to (Wine's
// RegConnectRegistryA gives 53 for every other machine) is no machine that
// is switched off; one that this computer has no route to is told so. The
// look gets "\\PCANSWERS", as an admin types it, without its backslashes.
TEST(MachineProbe, EachReasonTellsWhatTheLookFound)
{
    const std::string dir = sandbox::FreshDir("answered");
    TScriptedNetwork network;
    TFleetSeams seams;  // the real lister
    seams.probe = [&network](const std::string& host) {
        const unsigned short port = host == "PCANSWERS" ? kAccepts : 10065;
        return ProbeMachine(host, {port, port}, 300, network);
    };
    EXPECT_EQ(RunCommandLine({"/machine", "\\\\PCANSWERS", "/machine", "PCNOROUTE", "/out", dir}, seams), 1);
    const std::string problem = "\tfailed: Problem connecting to remote machine. Please check to make sure the pc "
                                "name does exist on the network.  ";
    EXPECT_EQ(SortedEntries(Read(dir + "\\Movara.log")),
              (std::vector<std::string>{
                  "PCANSWERS" + problem + "The machine answers on the network, but its registry cannot be reached: "
                                          "the Remote Registry service is not running there, its Server service or "
                                          "file and printer sharing is off, or the name leads to another machine (a "
                                          "stale DNS or WINS record). (error N)",
                  "PCNOROUTE" + problem + "This computer cannot reach that network (ports 445 and 139): it has no "
                                          "route to the machine's address, or its own network connection is down. "
                                          "(error N)",
              }));
}
