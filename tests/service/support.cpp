#include "support.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/files.h"

namespace fs = std::filesystem;

namespace test {

TempFolder::TempFolder(const std::string& tag) {
    static std::atomic<int> counter{0};
    auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    fs::path p = fs::temp_directory_path() /
                 ("velora-" + tag + "-" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++));
    fs::create_directories(p);
    path_ = p.string();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

std::string TempFolder::File(const std::string& name) const { return (fs::path(path_) / name).string(); }

bool WriteFile(const std::string& path, const std::string& bytes) {
    const std::string side = path + ".part";
    {
        std::ofstream out(side, std::ios::binary | std::ios::trunc);
        out << bytes;
        if (!out) return false;
    }
    // On Windows the rename waits while the service has the file open.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (RenameReplace(side, path)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<Device> Devices(int n) {
    std::vector<Device> out;
    for (int i = 1; i <= n; ++i) {
        char id[40];
        std::snprintf(id, sizeof id, "00000000-0000-0000-0000-%012d", i);
        out.push_back({id, "Agent" + std::to_string(i), "PPC" + std::to_string(i)});
    }
    return out;
}

std::string ConfigXml(int port, const std::vector<Device>& devices) {
    std::string x = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<VeloraServer VERSION=\"1.0\">\r\n";
    x += "\t<ServerConfig";
    if (port) x += " PortExternal=\"" + std::to_string(port) + "\"";
    x += " ConfigID=\"11111111-1111-1111-1111-111111111111\" />\r\n";
    for (const Device& d : devices)
        x += "\t<PPC DEVICE_ID=\"" + d.id + "\" PSEUDONIM=\"" + d.agent + "\" DIRECTORY=\"" + d.folder + "\" />\r\n";
    x += "</VeloraServer>\r\n";
    return x;
}

NetSocket ListenOn(std::uint16_t port) {
    NetSocket s = NetTcpSocket();
    if (s && NetBind(s, 0, port) && NetListen(s, 8)) return s;
    NetClose(s);
    return 0;
}

NetSocket Connect(std::uint16_t port) {
    NetSocket s = NetTcpSocket();
    if (s && NetConnect(s, 0x7F000001, port)) return s;
    NetClose(s);
    return 0;
}

bool ServiceAnswers(NetSocket client, int ms) {
    if (NetWaitReadable(client, ms / 1000, (ms % 1000) * 1000) != 1) return false;
    char buffer[256];
    return NetRecv(client, buffer, sizeof buffer) >= 0;
}

std::vector<std::string> LogMessages(const std::string& logPath) {
    std::vector<std::string> out;
    std::istringstream in(ReadFile(logPath));
    std::string line;
    const std::string mark = " ***** ";
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t at = line.find(mark);
        if (at != std::string::npos) out.push_back(line.substr(at + mark.size()));
    }
    return out;
}

int CountMessage(const std::string& logPath, const std::string& text) {
    int n = 0;
    for (const std::string& m : LogMessages(logPath)) n += m == text;
    return n;
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace test
