// BSD sockets behind the service's socket calls; errno is translated to Winsock numbers.
#include "platform/net.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
thread_local int t_lastError = 0;

int MapErrno(int e) {
    switch (e) {
        case 0: return NET_OK;
        case EINTR: return NET_EINTR;
        case EBADF: return 10009;
        case EACCES: case EPERM: return NET_EACCES;
        case EFAULT: return 10014;
        case EINVAL: return 10022;
        case EMFILE: case ENFILE: return 10024;
        case EAGAIN: case EINPROGRESS: return NET_EWOULDBLOCK;
        case EALREADY: return NET_EALREADY;
        case ENOTSOCK: return 10038;
        case EMSGSIZE: return 10040;
        case EAFNOSUPPORT: return NET_EAFNOSUPPORT;
        case EADDRINUSE: return NET_EADDRINUSE;
        case EADDRNOTAVAIL: return NET_EADDRNOTAVAIL;
        case ENETDOWN: return 10050;
        case ENETUNREACH: return 10051;
        case ECONNABORTED: return 10053;
        case ECONNRESET: case EPIPE: return NET_ECONNRESET;
        case ENOBUFS: case ENOMEM: return 10055;
        case EISCONN: return 10056;
        case ENOTCONN: return 10057;
        case ETIMEDOUT: return 10060;
        case ECONNREFUSED: return NET_ECONNREFUSED;
        case EHOSTUNREACH: return 10065;
        default: return NET_EOTHER;
    }
}

bool Fail() {
    t_lastError = MapErrno(errno);
    return false;
}

int Fd(NetSocket s) { return static_cast<int>(s); }

// 0 means "no socket" to the service, so a descriptor 0 (stdin closed) is moved elsewhere.
NetSocket Adopt(int fd) {
    if (fd < 0) {
        Fail();
        return 0;
    }
    if (fd == 0) {
        int other = ::fcntl(fd, F_DUPFD_CLOEXEC, 1);
        int saved = errno;
        ::close(fd);
        if (other < 0) {
            errno = saved;
            Fail();
            return 0;
        }
        fd = other;
    }
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    return static_cast<NetSocket>(fd);
}

sockaddr_in Make(std::uint32_t ip, std::uint16_t port) {
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(ip);
    a.sin_port = htons(port);
    return a;
}

int Wait(NetSocket s, short events, long seconds, long microseconds) {
    if (s == 0) {
        t_lastError = 10038;
        return -1;
    }
    pollfd p = {Fd(s), events, 0};
    long long ms = static_cast<long long>(seconds) * 1000 + (microseconds + 999) / 1000;
    if (ms < 0) ms = 0;
    if (ms > 0x7FFFFFFF) ms = 0x7FFFFFFF;
    int r = ::poll(&p, 1, static_cast<int>(ms));
    if (r < 0) {
        Fail();
        return -1;
    }
    if (r == 0) return 0;
    if (p.revents & POLLNVAL) {
        t_lastError = 10038;
        return -1;
    }
    return 1;  // errors and hang-ups count as ready: the next call reports them, as select does
}
}  // namespace

int NetStartup() { return 0; }
void NetCleanup() {}
int NetLastError() { return t_lastError; }

NetSocket NetTcpSocket() { return Adopt(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP)); }

bool NetBind(NetSocket s, std::uint32_t ip, std::uint16_t port) {
    sockaddr_in a = Make(ip, port);
    return ::bind(Fd(s), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 || Fail();
}

bool NetListen(NetSocket s, int backlog) { return ::listen(Fd(s), backlog) == 0 || Fail(); }

NetSocket NetAccept(NetSocket s, NetAddress* peer) {
    sockaddr_in a;
    socklen_t len = sizeof a;
    int fd;
    do {
        fd = ::accept(Fd(s), reinterpret_cast<sockaddr*>(&a), &len);
    } while (fd < 0 && errno == EINTR);
    NetSocket r = Adopt(fd);
    // Winsock gives an accepted socket the listener's blocking mode; do the same here so
    // both builds behave alike.
    int listenerFlags = ::fcntl(Fd(s), F_GETFL, 0);
    if (r && listenerFlags >= 0 && (listenerFlags & O_NONBLOCK)) {
        int flags = ::fcntl(Fd(r), F_GETFL, 0);
        if (flags >= 0) ::fcntl(Fd(r), F_SETFL, flags | O_NONBLOCK);
    }
    if (r && peer) {
        peer->ip = ntohl(a.sin_addr.s_addr);
        peer->port = ntohs(a.sin_port);
    }
    return r;
}

bool NetConnect(NetSocket s, std::uint32_t ip, std::uint16_t port) {
    sockaddr_in a = Make(ip, port);
    return ::connect(Fd(s), reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 || Fail();
}

bool NetSetNonBlocking(NetSocket s, bool nonBlocking) {
    int flags = ::fcntl(Fd(s), F_GETFL, 0);
    if (flags < 0) return Fail();
    flags = nonBlocking ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
    return ::fcntl(Fd(s), F_SETFL, flags) == 0 || Fail();
}

bool NetSetNoDelay(NetSocket s, bool on) {
    int v = on ? 1 : 0;
    return ::setsockopt(Fd(s), IPPROTO_TCP, TCP_NODELAY, &v, sizeof v) == 0 || Fail();
}

bool NetSetReuseAddress(NetSocket s, bool on) {
    int v = on ? 1 : 0;
    return ::setsockopt(Fd(s), SOL_SOCKET, SO_REUSEADDR, &v, sizeof v) == 0 || Fail();
}

bool NetLocalAddress(NetSocket s, NetAddress* out) {
    sockaddr_in a;
    socklen_t len = sizeof a;
    if (::getsockname(Fd(s), reinterpret_cast<sockaddr*>(&a), &len) != 0) return Fail();
    out->ip = ntohl(a.sin_addr.s_addr);
    out->port = ntohs(a.sin_port);
    return true;
}

int NetWaitReadable(NetSocket s, long seconds, long microseconds) {
    return Wait(s, POLLIN, seconds, microseconds);
}

int NetWaitWritable(NetSocket s, long seconds, long microseconds) {
    return Wait(s, POLLOUT, seconds, microseconds);
}

long NetSend(NetSocket s, const void* data, std::size_t length) {
    ssize_t n;
    do {
        n = ::send(Fd(s), data, length, MSG_NOSIGNAL);  // a closed peer is an error, not SIGPIPE
    } while (n < 0 && errno == EINTR);
    if (n < 0) Fail();
    return static_cast<long>(n);
}

long NetRecv(NetSocket s, void* buffer, std::size_t length) {
    ssize_t n;
    do {
        n = ::recv(Fd(s), buffer, length, 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) Fail();
    return static_cast<long>(n);
}

void NetShutdown(NetSocket s) {
    if (s) ::shutdown(Fd(s), SHUT_RDWR);
}

void NetClose(NetSocket s) {
    if (s) ::close(Fd(s));
}

std::string NetAddressText(std::uint32_t ip) {
    in_addr a;
    a.s_addr = htonl(ip);
    char text[INET_ADDRSTRLEN] = "";
    ::inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

bool NetParseAddress(const char* text, std::uint32_t* ip) {
    if (!text) return false;
    if (std::strcmp(text, "localhost") == 0) {
        *ip = 0x7F000001;
        return true;
    }
    in_addr a;
    if (::inet_pton(AF_INET, text, &a) != 1) return false;
    *ip = ntohl(a.s_addr);
    return true;
}
