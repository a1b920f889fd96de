#pragma once
// A loopback port that never answers: a listening socket whose backlog is
// full drops every further connection attempt (Linux, which Wine runs on,
// answers them with nothing), as a machine that is switched off does.
#include <winsock2.h>

#include <vector>

class TSilentPort {
public:
    TSilentPort()
    {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int size = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(listener_, 0) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        port_ = ntohs(address.sin_port);
        // Connections that fill the backlog; later ones are dropped unanswered.
        for (int i = 0; i < 4; ++i) {
            SOCKET filler = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
            u_long nonBlocking = 1;
            ioctlsocket(filler, FIONBIO, &nonBlocking);
            connect(filler, reinterpret_cast<sockaddr*>(&address), sizeof address);
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
        closesocket(listener_);
        if (started_)
            WSACleanup();
    }
    unsigned short Port() const { return port_; }

private:
    bool started_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    std::vector<SOCKET> fillers_;
    unsigned short port_ = 0;
};

// A loopback port where nothing listens: connections to it are refused.
inline unsigned short ClosedPort()
{
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    closesocket(s);  // bound, never listened on, closed: free and refused
    WSACleanup();
    return ntohs(address.sin_port);
}
