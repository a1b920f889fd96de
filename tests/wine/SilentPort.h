#pragma once
// Loopback ports for the look at a machine's sharing ports: one that
// accepts, one where nothing listens, and one that never answers.
#include <winsock2.h>

#include <vector>

// A socket listening on a free port of a loopback address (127.x.y.z, in
// host byte order).
class TLoopbackListener {
public:
    explicit TLoopbackListener(int backlog, unsigned long loopback = INADDR_LOOPBACK)
    {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        address_.sin_family = AF_INET;
        address_.sin_addr.s_addr = htonl(loopback);
        int size = sizeof address_;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address_), sizeof address_) == 0 &&
            listen(listener_, backlog) == 0 &&
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address_), &size) == 0)
            port_ = ntohs(address_.sin_port);
    }
    TLoopbackListener(const TLoopbackListener&) = delete;
    TLoopbackListener& operator=(const TLoopbackListener&) = delete;
    ~TLoopbackListener()
    {
        closesocket(listener_);
        if (started_)
            WSACleanup();
    }
    unsigned short Port() const { return port_; }
    const sockaddr_in& Address() const { return address_; }

private:
    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    sockaddr_in address_ = {};
    unsigned short port_ = 0;
};

// A port that never answers: a listening socket whose backlog is full drops
// every further connection attempt (Linux, which Wine runs on, answers them
// with nothing), as a machine that is switched off does.
class TSilentPort {
public:
    explicit TSilentPort(unsigned long loopback = INADDR_LOOPBACK) : listener_(0, loopback)
    {
        // Connections that fill the backlog; later ones are dropped unanswered.
        for (int i = 0; i < 4 && listener_.Port(); ++i) {
            SOCKET filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ioctlsocket(filler, FIONBIO, &nonBlocking);
            connect(filler, reinterpret_cast<const sockaddr*>(&listener_.Address()), sizeof(sockaddr_in));
            fillers_.push_back(filler);
        }
        Sleep(200);  // the handshakes of the fillers that fit
    }
    TSilentPort(const TSilentPort&) = delete;
    TSilentPort& operator=(const TSilentPort&) = delete;
    ~TSilentPort()
    {
        for (SOCKET filler : fillers_)
            closesocket(filler);
    }
    unsigned short Port() const { return listener_.Port(); }

private:
    TLoopbackListener listener_;
    std::vector<SOCKET> fillers_;
};

// A loopback port where nothing listens: connections to it are refused.
inline unsigned short ClosedPort()
{
    unsigned short port;
    {
        TLoopbackListener bound(1);
        port = bound.Port();
    }  // closed again: free, and refused
    return port;
}
