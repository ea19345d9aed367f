#include "reserved_port.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <windows.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {
// Below Linux's ephemeral range (32768-60999, which Wine uses too) and Windows' (49152-65535).
constexpr int kFirstPort = 20000, kPortCount = 12000;

#ifdef _WIN32
std::string LockFolder() {
    // Wine shows the Linux root as Z:, so Windows and native tests meet in the same folder.
    if (GetFileAttributesA("Z:\\tmp") != INVALID_FILE_ATTRIBUTES) return "Z:\\tmp\\velora-test-ports";
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    return std::string(temp) + "velora-test-ports";
}

// Wine keeps these locks as POSIX record locks on the file, so native tests see them too.
std::intptr_t TryLock(int port) {
    std::string folder = LockFolder();
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string path = folder + "\\" + std::to_string(port) + ".lock";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    OVERLAPPED whole = {};  // byte 0, which the native lock of the whole file covers
    if (!LockFileEx(h, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &whole)) {
        CloseHandle(h);
        return -1;
    }
    return reinterpret_cast<std::intptr_t>(h);
}

void Unlock(std::intptr_t lock) { CloseHandle(reinterpret_cast<HANDLE>(lock)); }

bool Bindable(int port) {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return false;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<u_short>(port));
    bool ok = s != INVALID_SOCKET && bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (s != INVALID_SOCKET) closesocket(s);
    WSACleanup();
    return ok;
}
#else
// Open-file-description locks: they also exclude another reservation of the same process and
// conflict with the record locks Wine takes for the Windows tests.
std::intptr_t TryLock(int port) {
    const char* folder = "/tmp/velora-test-ports";
    if (mkdir(folder, 01777) == 0) chmod(folder, 01777);  // shared by every user's test runs
    std::string path = std::string(folder) + "/" + std::to_string(port) + ".lock";
    int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) return -1;
    fchmod(fd, 0666);
    struct flock whole = {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;
    if (fcntl(fd, F_OFD_SETLK, &whole) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

void Unlock(std::intptr_t lock) { close(static_cast<int>(lock)); }

bool Bindable(int port) {
    int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    bool ok = s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    if (s >= 0) close(s);
    return ok;
}
#endif
}  // namespace

ReservedPort::ReservedPort() {
    // Start somewhere else in every process, so that parallel programs rarely try the same lock.
    auto now = std::chrono::steady_clock::now().time_since_epoch().count();
#ifdef _WIN32
    unsigned seed = static_cast<unsigned>(GetCurrentProcessId()) * 7919u;
#else
    unsigned seed = static_cast<unsigned>(getpid()) * 7919u;
#endif
    int start = static_cast<int>((seed + static_cast<unsigned>(now)) % kPortCount);
    for (int i = 0; i < kPortCount; ++i) {
        int port = kFirstPort + (start + i) % kPortCount;
        std::intptr_t lock = TryLock(port);
        if (lock == -1) continue;
        if (!Bindable(port)) {  // some other program listens there
            Unlock(lock);
            continue;
        }
        number_ = static_cast<std::uint16_t>(port);
        lock_ = lock;
        return;
    }
    ADD_FAILURE() << "no free port in " << kFirstPort << ".." << kFirstPort + kPortCount - 1;
}

ReservedPort::~ReservedPort() {
    if (lock_ != -1) Unlock(lock_);
}
