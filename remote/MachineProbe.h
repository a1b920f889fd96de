#pragma once

#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "remote/ConnectReason.h"

// The look at a machine that comes before its registry is connected to: the
// system's own connection timeout is tens of seconds for a machine that is
// switched off, this look at most kProbeCapMs.
const DWORD kProbeCapMs = 3000;

// Windows XP SP2 and later allow 10 outgoing TCP connects pending at once,
// system-wide, and queue the rest (event 4226) past the look's cap, so that
// machines that are up would be told as not answering. The tool keeps its
// own under this number, leaving the rest of the system two.
const std::size_t kMaxPendingConnects = 8;

struct TProbePorts {
    unsigned short first = 445;   // SMB directly over TCP
    unsigned short second = 139;  // SMB over NetBIOS
};

// Slots for connects under way, shared by every look of one process (the
// fleet's workers look side by side): a look takes one for each connect
// before it starts and gives it back once the connect has ended or been
// closed.
class TConnectSlots {
public:
    explicit TConnectSlots(std::size_t size);
    TConnectSlots(const TConnectSlots&) = delete;
    TConnectSlots& operator=(const TConnectSlots&) = delete;
    ~TConnectSlots();
    std::size_t Size() const { return size_; }
    std::size_t Free() const;
    // Waits until n slots are free and takes them. Looks take theirs one
    // look at a time, so that none holds part of its share while waiting.
    void Take(std::size_t n);
    void Give(std::size_t n);

private:
    const std::size_t size_;
    std::size_t free_;
    mutable CRITICAL_SECTION lock_;
    CRITICAL_SECTION turn_;
    HANDLE freed_;  // auto-reset; only the look whose turn it is waits on it
};
// The slots of this process: kMaxPendingConnects.
TConnectSlots& ProcessConnectSlots();

// One look's connects. Destroying it closes those still under way.
struct TConnectEnd {
    std::size_t id;
    int error;  // 0 when accepted
};
class TConnectSet {
public:
    virtual ~TConnectSet() = default;
    // Starts connect `id` to address:port (the address in network byte
    // order): 0 while it is under way (Wait tells how it ends), else its
    // Winsock error.
    virtual int Start(std::size_t id, unsigned long address, unsigned short port) = 0;
    // Waits up to ms for connects under way to end and appends those that
    // did; 0, or the Winsock error of the wait itself.
    virtual int Wait(DWORD ms, std::vector<TConnectEnd>& ended) = 0;
};

// What the look asks of the system: the names resolved, the connects made.
// Tests and the fleet benchmark put stand-ins in its place; the tool uses
// SystemProbeNetwork().
class TProbeNetwork {
public:
    virtual ~TProbeNetwork() = default;
    // The IPv4 addresses of host in network byte order, in the resolver's
    // order: 0, or the resolver's error.
    virtual int Resolve(const std::string& host, std::vector<unsigned long>& addresses);
    virtual std::unique_ptr<TConnectSet> NewConnectSet();
};
TProbeNetwork& SystemProbeNetwork();

// Resolves host and tries both ports of every address it has at the same
// time, within one cap that counts from when the look has the slots for its
// connects: Answers as soon as any port accepts, else what DecideProbe makes
// of them. Tests point it at ports of their own on loopback.
TProbeResult ProbeMachine(const std::string& host, const TProbePorts& ports = TProbePorts(),
                          DWORD capMs = kProbeCapMs, TProbeNetwork& network = SystemProbeNetwork(),
                          TConnectSlots& slots = ProcessConnectSlots());

using MachineProbe = std::function<TProbeResult(const std::string& host)>;
inline TProbeResult ProbeSharingPorts(const std::string& host)
{
    return ProbeMachine(host);
}

// Empty when the machine may be connected to: it is this computer, or it
// answers on a sharing port. Else the reason it cannot be reached. The probe
// gets the name without its leading backslashes.
std::string MachineUnreachableReason(const std::string& machine, const MachineProbe& probe = ProbeSharingPorts);

// ConnectFailureReason with the system's own text for the error.
std::string ConnectFailureText(LONG error, bool answered = false);
