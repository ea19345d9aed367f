// Sockets: Winsock 2.2 on Windows, BSD sockets elsewhere, behind one set of calls.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// A socket handle; 0 means "no socket" everywhere in the service.
typedef std::uintptr_t NetSocket;

// Error numbers are Winsock's on every platform (the POSIX layer maps errno onto them),
// because they reach texts the operator reads, e.g. "Address already in use. (10048)".
enum NetError : int {
    NET_OK = 0,
    NET_EINTR = 10004,
    NET_EACCES = 10013,
    NET_EWOULDBLOCK = 10035,
    NET_EALREADY = 10037,
    NET_EAFNOSUPPORT = 10047,
    NET_EADDRINUSE = 10048,
    NET_EADDRNOTAVAIL = 10049,
    NET_ECONNRESET = 10054,
    NET_ECONNREFUSED = 10061,
    NET_EOTHER = 10000
};

// IPv4 endpoint, both fields in host byte order.
struct NetAddress {
    std::uint32_t ip = 0;
    std::uint16_t port = 0;
};

int NetStartup();                 // 0 on success, else the error (WSAStartup 2.2)
void NetCleanup();
int NetLastError();               // the last socket error of this thread, as a NetError number

NetSocket NetTcpSocket();         // 0 on failure
bool NetBind(NetSocket s, std::uint32_t ip, std::uint16_t port);  // ip 0 = any address
bool NetListen(NetSocket s, int backlog);
// 0 on failure. The accepted socket has the listener's blocking mode (Winsock's rule, kept on
// POSIX too).
NetSocket NetAccept(NetSocket s, NetAddress* peer);
bool NetConnect(NetSocket s, std::uint32_t ip, std::uint16_t port);
bool NetSetNonBlocking(NetSocket s, bool nonBlocking);
bool NetSetNoDelay(NetSocket s, bool on);
bool NetSetReuseAddress(NetSocket s, bool on);  // POSIX only has effect; Windows keeps exclusive ports
bool NetLocalAddress(NetSocket s, NetAddress* out);

// select() on one socket: 1 ready, 0 time-out, -1 error.
int NetWaitReadable(NetSocket s, long seconds, long microseconds);
int NetWaitWritable(NetSocket s, long seconds, long microseconds);

long NetSend(NetSocket s, const void* data, std::size_t length);  // -1 on error
long NetRecv(NetSocket s, void* buffer, std::size_t length);      // -1 on error, 0 on orderly close
void NetShutdown(NetSocket s);                                    // both directions
void NetClose(NetSocket s);

std::string NetAddressText(std::uint32_t ip);  // dotted form
bool NetParseAddress(const char* text, std::uint32_t* ip);  // dotted form or "localhost"
