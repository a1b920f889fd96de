#include "remote/MachineProbe.h"

#include <winsock2.h>
#include <ws2tcpip.h>

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

class TSocket {
public:
    TSocket() : socket_(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)) {}
    TSocket(const TSocket&) = delete;
    TSocket& operator=(const TSocket&) = delete;
    ~TSocket()
    {
        if (socket_ != INVALID_SOCKET)
            closesocket(socket_);
    }
    SOCKET Get() const { return socket_; }

private:
    SOCKET socket_;
};

// Starts a non-blocking connect; 0 while it is under way, else its error.
int StartConnect(const TSocket& socket, sockaddr_in address, unsigned short port)
{
    if (socket.Get() == INVALID_SOCKET)
        return WSAGetLastError();
    u_long nonBlocking = 1;
    if (ioctlsocket(socket.Get(), FIONBIO, &nonBlocking) != 0)
        return WSAGetLastError();
    address.sin_port = htons(port);
    if (connect(socket.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
        return 0;
    const int error = WSAGetLastError();
    return error == WSAEWOULDBLOCK ? 0 : error;
}

int PendingError(SOCKET socket)
{
    int error = 0;
    int size = sizeof error;
    if (getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return WSAGetLastError();
    return error;
}

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

TProbeResult ProbeMachine(const std::string& host, const TProbePorts& ports, DWORD capMs)
{
    TWinsock winsock;
    if (!winsock.Started())
        return {ProbeOutcome::NoAnswer, WSASYSNOTREADY};
    addrinfo hints = {};
    hints.ai_family = AF_INET;  // the machines this tool reads speak SMB over IPv4
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int lookup = getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (lookup != 0 || !found)
        return {ProbeOutcome::NotKnown, lookup ? lookup : WSAHOST_NOT_FOUND};
    sockaddr_in address = *reinterpret_cast<const sockaddr_in*>(found->ai_addr);
    freeaddrinfo(found);

    TSocket sockets[2];
    const unsigned short portOf[2] = {ports.first, ports.second};
    bool pending[2];
    int lastError = WSAECONNREFUSED;
    for (int i = 0; i < 2; ++i) {
        const int error = StartConnect(sockets[i], address, portOf[i]);
        pending[i] = error == 0;
        if (error)
            lastError = error;
    }
    const DWORD start = GetTickCount();
    while (pending[0] || pending[1]) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= capMs)
            return {ProbeOutcome::NoAnswer, WSAETIMEDOUT};
        const DWORD left = capMs - elapsed;
        timeval wait = {static_cast<long>(left / 1000), static_cast<long>(left % 1000 * 1000)};
        fd_set writable, failed;
        FD_ZERO(&writable);
        FD_ZERO(&failed);
        for (int i = 0; i < 2; ++i)
            if (pending[i]) {
                FD_SET(sockets[i].Get(), &writable);
                FD_SET(sockets[i].Get(), &failed);
            }
        const int ready = select(0, nullptr, &writable, &failed, &wait);
        if (ready == SOCKET_ERROR)
            return {ProbeOutcome::NoAnswer, WSAGetLastError()};
        for (int i = 0; i < 2; ++i) {
            if (!pending[i] || (!FD_ISSET(sockets[i].Get(), &writable) && !FD_ISSET(sockets[i].Get(), &failed)))
                continue;
            // Windows reports a failed connect in the except set, other
            // systems as writable: SO_ERROR tells which it was either way.
            const int error = PendingError(sockets[i].Get());
            if (error == 0)
                return {ProbeOutcome::Answers, 0};
            pending[i] = false;
            lastError = error;
        }
    }
    return {ProbeOutcome::Refused, lastError};
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

std::string ConnectFailureText(LONG error)
{
    char* text = nullptr;
    const DWORD length =
        FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, static_cast<DWORD>(error), 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    const std::string systemText = length && text ? std::string(text, length) : std::string();
    if (text)
        LocalFree(text);
    return ConnectFailureReason(error, systemText);
}
