// Helpers shared by the service tests: exchange folders, config.xml files, free ports,
// log.txt contents and clients of the service's port.
#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "platform/net.h"
#include "reserved_port.h"

namespace test {

// A fresh folder under the system's temporary folder, removed with its contents at the end.
class TempFolder {
public:
    explicit TempFolder(const std::string& tag);
    ~TempFolder();
    const std::string& Path() const { return path_; }
    std::string File(const std::string& name) const;

private:
    std::string path_;
};

// Written beside the file and renamed over it, so a reader (the service's watch of
// config.xml) never sees half of it.
bool WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);  // "" when missing

struct Device {
    std::string id, agent, folder;
};
// n handhelds "PPC1".."PPCn" with identifiers ...0001.. and agents Agent1..
std::vector<Device> Devices(int n);
// A config.xml text: ServerConfig with the port (omitted when 0) and one PPC per device.
std::string ConfigXml(int port, const std::vector<Device>& devices);

// A socket that listens on `port` (0 on failure); the caller closes it.
NetSocket ListenOn(std::uint16_t port);
// A connected client of 127.0.0.1:port, 0 when the connection fails.
NetSocket Connect(std::uint16_t port);
// Whether the service answered the client within `ms`: data arrived or it closed the
// connection. A connection that only sits in the listen backlog gets neither.
bool ServiceAnswers(NetSocket client, int ms);

// The texts of the message lines of log.txt (what follows " ***** "), in order.
std::vector<std::string> LogMessages(const std::string& logPath);
// How often `text` occurs among them.
int CountMessage(const std::string& logPath, const std::string& text);

bool WaitUntil(const std::function<bool()>& done, int ms);

}  // namespace test
