#include "remote/MachineProbe.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <vector>

namespace {

class TWinsock {
public:
    TWinsock() { started_ = WSAStartup(MAKEWORD(2, 2), &data_) == 0; }
    TWinsock(const TWinsock&) = delete;
    TWinsock& operator=(const TWinsock&) = delete;
    ~TWinsock()
    {
        if (started_)
            WSACleanup();
    }
    bool Started() const { return started_; }

private:
    WSADATA data_ = {};
    bool started_ = false;
};

int PendingError(SOCKET socket)
{
    int error = 0;
    int size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return WSAGetLastError();
    return error;
}

// Non-blocking connects through Winsock, waited for with select.
class TSocketConnects : public TConnectSet {
public:
    TSocketConnects() = default;
    TSocketConnects(const TSocketConnects&) = delete;
    TSocketConnects& operator=(const TSocketConnects&) = delete;
    ~TSocketConnects() override
    {
        for (const TUnderWay& connect : underWay_)
            closesocket(connect.socket);
    }

    int Start(std::size_t id, unsigned long address, unsigned short port) override
    {
        const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET)
            return WSAGetLastError();
        sockaddr_in to = {};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = address;
        to.sin_port = htons(port);
        u_long nonBlocking = 1;
        if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
            const int error = WSAGetLastError();
            closesocket(s);
            return error;
        }
        if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
            closesocket(s);
            accepted_.push_back(id);
            return 0;
        }
        const int error = WSAGetLastError();
        if (error != WSAEWOULDBLOCK) {
            closesocket(s);
            return error;
        }
        underWay_.push_back({id, s});
        return 0;
    }

    int Wait(DWORD ms, std::vector<TConnectEnd>& ended) override
    {
        if (!accepted_.empty()) {
            for (const std::size_t id : accepted_)
                ended.push_back({id, 0});
            accepted_.clear();
            return 0;
        }
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        for (const TUnderWay& connect : underWay_) {
            FD_SET(connect.socket, &writable);
            FD_SET(connect.socket, &failed);
        }
        timeval wait = {static_cast<long>(ms / 1000), static_cast<long>(ms % 1000 * 1000)};
        if (select(0, nullptr, &writable, &failed, &wait) == SOCKET_ERROR)
            return WSAGetLastError();
        for (std::size_t i = 0; i < underWay_.size();) {
            const SOCKET s = underWay_[i].socket;
            if (!FD_ISSET(s, &writable) && !FD_ISSET(s, &failed)) {
                ++i;
                continue;
            }
            // Windows reports a failed connect in the except set, other
            // systems as writable: SO_ERROR tells which it was either way.
            ended.push_back({underWay_[i].id, PendingError(s)});
            closesocket(s);
            underWay_.erase(underWay_.begin() + static_cast<std::ptrdiff_t>(i));
        }
        return 0;
    }

private:
    struct TUnderWay {
        std::size_t id;
        SOCKET socket;
    };
    std::vector<TUnderWay> underWay_;  // at most kMaxPendingConnects, well under FD_SETSIZE
    std::vector<std::size_t> accepted_;  // at once, as loopback may
};

// A look's share of the slots: given back as its connects end, and all that
// are left when the look ends, whichever way it ends.
class TSlotHold {
public:
    TSlotHold(TConnectSlots& slots, std::size_t count) : slots_(slots), count_(count)
    {
        slots_.Take(count_);
        taken_ = GetTickCount();
    }
    TSlotHold(const TSlotHold&) = delete;
    TSlotHold& operator=(const TSlotHold&) = delete;
    ~TSlotHold() { slots_.Give(count_); }
    std::size_t Count() const { return count_; }
    // When the look could start its connects.
    DWORD TakenAt() const { return taken_; }
    void GiveBack(std::size_t n)
    {
        slots_.Give(n);
        count_ -= n;
    }

private:
    TConnectSlots& slots_;
    std::size_t count_;
    DWORD taken_ = 0;
};

// Made before any thread of the process can look.
TConnectSlots gProcessSlots(kMaxPendingConnects);
TProbeNetwork gSystemNetwork;  // holds nothing: any thread may use it

std::vector<std::string> ThisComputerNames()
{
    std::vector<std::string> names;
    char name[256];
    DWORD size = sizeof name;
    if (GetComputerNameA(name, &size))
        names.push_back(name);
    for (COMPUTER_NAME_FORMAT format : {ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
        size = sizeof name;
        if (GetComputerNameExA(format, name, &size))
            names.push_back(name);
    }
    return names;
}

} // namespace

TConnectSlots::TConnectSlots(std::size_t size)
    : size_(size), free_(size), freed_(CreateEventA(nullptr, FALSE, FALSE, nullptr))
{
    InitializeCriticalSection(&lock_);
    InitializeCriticalSection(&turn_);
}

TConnectSlots::~TConnectSlots()
{
    DeleteCriticalSection(&turn_);
    DeleteCriticalSection(&lock_);
    if (freed_)
        CloseHandle(freed_);
}

std::size_t TConnectSlots::Free() const
{
    EnterCriticalSection(&lock_);
    const std::size_t free = free_;
    LeaveCriticalSection(&lock_);
    return free;
}

void TConnectSlots::Take(std::size_t n)
{
    EnterCriticalSection(&turn_);
    for (;;) {
        EnterCriticalSection(&lock_);
        const bool enough = free_ >= n;
        if (enough)
            free_ -= n;
        LeaveCriticalSection(&lock_);
        if (enough)
            break;
        // A Give between the look above and this wait has set the event:
        // no slot that comes free is missed.
        WaitForSingleObject(freed_, INFINITE);
    }
    LeaveCriticalSection(&turn_);
}

void TConnectSlots::Give(std::size_t n)
{
    if (n == 0)
        return;
    EnterCriticalSection(&lock_);
    free_ += n;
    LeaveCriticalSection(&lock_);
    SetEvent(freed_);
}

TConnectSlots& ProcessConnectSlots()
{
    return gProcessSlots;
}

int TProbeNetwork::Resolve(const std::string& host, std::vector<unsigned long>& addresses)
{
    addresses.clear();
    addrinfo hints = {};
    hints.ai_family = AF_INET;  // the machines this tool reads speak SMB over IPv4
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (lookup != 0)
        return lookup;
    for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
        if (entry->ai_family != AF_INET || entry->ai_addrlen < sizeof(sockaddr_in))
            continue;
        const unsigned long address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
        if (std::find(addresses.begin(), addresses.end(), address) == addresses.end())
            addresses.push_back(address);
    }
    freeaddrinfo(found);
    return 0;
}

std::unique_ptr<TConnectSet> TProbeNetwork::NewConnectSet()
{
    return std::unique_ptr<TConnectSet>(new TSocketConnects());
}

TProbeNetwork& SystemProbeNetwork()
{
    return gSystemNetwork;
}

TProbeResult ProbeMachine(const std::string& host, const TProbePorts& ports, DWORD capMs, TProbeNetwork& network,
                          TConnectSlots& slots)
{
    TWinsock winsock;
    if (!winsock.Started())
        return {ProbeOutcome::CannotReach, WSASYSNOTREADY};
    std::vector<unsigned long> addresses;
    const int lookup = network.Resolve(host, addresses);
    if (lookup != 0 || addresses.empty())
        return {ProbeOutcome::NotKnown, lookup ? lookup : WSAHOST_NOT_FOUND};

    // Connect i goes to port i % 2 of address i / 2.
    const unsigned short portOf[2] = {ports.first, ports.second};
    std::vector<TAddressLook> looks(addresses.size());
    const std::size_t total = addresses.size() * 2;
    TSlotHold held(slots, std::min(total, slots.Size()));
    // Made after the hold, so that its connects are closed before their
    // slots go back.
    const std::unique_ptr<TConnectSet> connects = network.NewConnectSet();
    std::size_t next = 0, underWay = 0;
    std::vector<TConnectEnd> ended;
    for (;;) {
        // A name with more addresses than the slots allow gets its later
        // connects as the earlier ones end, within the same cap.
        for (; next < total && underWay < held.Count(); ++next) {
            const int error = connects->Start(next, addresses[next / 2], portOf[next % 2]);
            looks[next / 2].ports[next % 2] = error ? error : kConnectPending;
            if (!error)
                ++underWay;
        }
        // Once none is left to start, the slot of a connect that ended goes
        // back at once.
        held.GiveBack(held.Count() - underWay);
        if (underWay == 0)
            break;
        const DWORD elapsed = GetTickCount() - held.TakenAt();
        if (elapsed >= capMs)
            break;
        ended.clear();
        const int waitError = connects->Wait(capMs - elapsed, ended);
        if (waitError)
            return {ProbeOutcome::CannotReach, waitError};
        for (const TConnectEnd& end : ended) {
            if (end.error == 0)
                return {ProbeOutcome::Answers, 0};
            looks[end.id / 2].ports[end.id % 2] = end.error;
            --underWay;
        }
    }
    return DecideProbe(looks);
}

std::string MachineUnreachableReason(const std::string& machine, const MachineProbe& probe)
{
    if (IsThisComputer(machine, ThisComputerNames()))
        return std::string();
    const std::size_t first = machine.find_first_not_of('\\');
    const std::string host = first == std::string::npos ? std::string() : machine.substr(first);
    const TProbeResult result = probe(host);
    return ProbeFailureReason(result.outcome, result.error);
}

std::string ConnectFailureText(LONG error, bool answered)
{
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    const std::string systemText = length && text ? std::string(text, length) : std::string();
    if (text)
        LocalFree(text);
    return ConnectFailureReason(error, systemText, answered);
}
