// Winsock 2.2 behind the service's socket calls.
#include "platform/net.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>

namespace {
SOCKET Sock(NetSocket s) { return static_cast<SOCKET>(s); }

sockaddr_in Make(std::uint32_t ip, std::uint16_t port) {
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ip);
    a.sin_port = htons(port);
    return a;
}

NetSocket Adopt(SOCKET s) {
    if (s == INVALID_SOCKET) return 0;
    return static_cast<NetSocket>(s);
}

int Wait(NetSocket s, bool write, long seconds, long microseconds) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Sock(s), &set);
    fd_set errors;
    FD_ZERO(&errors);
    FD_SET(Sock(s), &errors);
    timeval tv;
    tv.tv_sec = seconds < 0 ? 0 : seconds;
    tv.tv_usec = microseconds < 0 ? 0 : microseconds;
    // A failed non-blocking connect shows in the error set, not the write set.
    int r = select(0, write ? nullptr : &set, write ? &set : nullptr, write ? &errors : nullptr, &tv);
    if (r == SOCKET_ERROR) return -1;
    return r > 0 ? 1 : 0;
}
}  // namespace

int NetStartup() {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data);
}

void NetCleanup() { WSACleanup(); }
int NetLastError() { return WSAGetLastError(); }

NetSocket NetTcpSocket() { return Adopt(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }

bool NetBind(NetSocket s, std::uint32_t ip, std::uint16_t port) {
    sockaddr_in a = Make(ip, port);
    return bind(Sock(s), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool NetListen(NetSocket s, int backlog) { return listen(Sock(s), backlog) == 0; }

NetSocket NetAccept(NetSocket s, NetAddress* peer) {
    sockaddr_in a;
    int len = sizeof a;
    NetSocket r = Adopt(accept(Sock(s), reinterpret_cast<sockaddr*>(&a), &len));
    if (r && peer) {
        peer->ip = ntohl(a.sin_addr.s_addr);
        peer->port = ntohs(a.sin_port);
    }
    return r;
}

bool NetConnect(NetSocket s, std::uint32_t ip, std::uint16_t port) {
    sockaddr_in a = Make(ip, port);
    return connect(Sock(s), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

bool NetSetNonBlocking(NetSocket s, bool nonBlocking) {
    u_long mode = nonBlocking ? 1 : 0;
    return ioctlsocket(Sock(s), FIONBIO, &mode) == 0;
}

bool NetSetNoDelay(NetSocket s, bool on) {
    BOOL v = on ? TRUE : FALSE;
    return setsockopt(Sock(s), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&v), sizeof v) == 0;
}

// SO_REUSEADDR on Windows lets another program take over a port that is in use, so it is
// never set: the listener keeps its port to itself.
bool NetSetReuseAddress(NetSocket, bool) { return true; }

bool NetLocalAddress(NetSocket s, NetAddress* out) {
    sockaddr_in a;
    int len = sizeof a;
    if (getsockname(Sock(s), reinterpret_cast<sockaddr*>(&a), &len) != 0) return false;
    out->ip = ntohl(a.sin_addr.s_addr);
    out->port = ntohs(a.sin_port);
    return true;
}

int NetWaitReadable(NetSocket s, long seconds, long microseconds) { return Wait(s, false, seconds, microseconds); }
int NetWaitWritable(NetSocket s, long seconds, long microseconds) { return Wait(s, true, seconds, microseconds); }

long NetSend(NetSocket s, const void* data, std::size_t length) {
    int n = send(Sock(s), static_cast<const char*>(data), length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length), 0);
    return n == SOCKET_ERROR ? -1 : n;
}

long NetRecv(NetSocket s, void* buffer, std::size_t length) {
    int n = recv(Sock(s), static_cast<char*>(buffer), length > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(length), 0);
    return n == SOCKET_ERROR ? -1 : n;
}

void NetShutdown(NetSocket s) {
    if (s) shutdown(Sock(s), SD_BOTH);
}

void NetClose(NetSocket s) {
    if (s) closesocket(Sock(s));
}

std::string NetAddressText(std::uint32_t ip) {
    char text[16];
    wsprintfA(text, "%u.%u.%u.%u", (ip >> 24) & 0xFF, (ip >> 16) & 0xFF, (ip >> 8) & 0xFF, ip & 0xFF);
    return text;
}

bool NetParseAddress(const char* text, std::uint32_t* ip) {
    if (!text) return false;
    if (std::strcmp(text, "localhost") == 0) {
        *ip = 0x7F000001;
        return true;
    }
    in_addr a;
    if (inet_pton(AF_INET, text, &a) != 1) return false;
    *ip = ntohl(a.s_addr);
    return true;
}
