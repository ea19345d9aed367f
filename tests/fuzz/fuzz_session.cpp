// A whole handheld session on the service's side, fed with arbitrary bytes from the handheld:
// device codes, commands, download acknowledgements, upload blocks and names. The service's
// answers are read and dropped. Besides the sanitizers' checks, nothing may appear outside the
// exchange folder, whatever the handheld names its uploads.
#include <sys/socket.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "config/config.h"
#include "fuzz_driver.h"
#include "fuzz_folder.h"
#include "host/connection.h"
#include "host/log.h"
#include "host/service.h"
#include "platform/files.h"
#include "protocol/crc32.h"
#include "protocol/device_code.h"
#include "protocol/frames.h"
#include "protocol/protocol.h"
#include "protocol/session_entry.h"

namespace {
const char kDevice[] = "5E1F0000-0000-4000-8000-000000000001";

// The exchange folder with one device folder, and the service's configuration naming it.
struct Exchange {
    FuzzFolder scratch{"velora-fuzz"};
    std::string device = JoinPath(scratch.Exchange(), "PPC1");
    Exchange() {
        auto table = std::make_shared<DeviceTable>();
        table->deviceIds = {kDevice, "5E1F0000-0000-4000-8000-000000000002"};
        table->agentNames = {"Agent", "Агент"};
        table->directories = {"PPC1", ".."};
        config.PublishDevices(table);
        SetLogPath(JoinPath(scratch.Exchange(), "log.txt"));
        CProtocol::SetConsoleEvents(false);
    }
    // The state every run starts from: the device folder with a file for the handheld.
    void Reset() {
        scratch.Empty();
        CreateFolder(device);
        if (FILE* f = FileOpen(JoinPath(device, "From1C.zip"), "wb")) {
            std::string data(3000, 'd');
            std::fwrite(data.data(), 1, data.size(), f);
            std::fclose(f);
        }
    }
};

// Writes the input to the service and reads its answers until the service closes its end.
void Pump(int s, const std::uint8_t* data, std::size_t size) {
    std::size_t sent = 0;
    bool writing = true;
    char sink[65536];
    for (;;) {
        if (writing && sent == size) {
            shutdown(s, SHUT_WR);
            writing = false;
        }
        pollfd p{s, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0};
        if (poll(&p, 1, 5000) <= 0) return;
        if (p.revents & POLLIN) {
            ssize_t n = recv(s, sink, sizeof sink, 0);
            if (n <= 0) return;
        } else if (p.revents & POLLOUT) {
            ssize_t n = send(s, data + sent, size - sent, MSG_NOSIGNAL);
            if (n <= 0) return;
            sent += static_cast<std::size_t>(n);
        } else {
            return;
        }
    }
}

std::string Status(int code, const char* text) { return FormatStatus(code, text); }
std::string BlockOf(std::uint32_t number, const std::string& data) {
    char h[31];
    FormatBlockHeader(number, static_cast<std::uint32_t>(data.size()), Crc32(data.data(), data.size()), h);
    return std::string(h, 30) + data;
}
std::string UploadOf(const std::string& data, const char* name) {
    char request[200];
    std::snprintf(request, sizeof request, "0,%zu,%lu,%d,%s", data.size(),
                  static_cast<unsigned long>(Crc32(data.data(), data.size())), name ? 1 : 0, name ? name : "");
    std::string out = Status(212, request);
    for (std::size_t at = 0, n = 1; at < data.size(); at += 1024, ++n) out += BlockOf(n, data.substr(at, 1024));
    return out + BlockOf(0, "");
}
}  // namespace

std::vector<std::string> FuzzSeeds() {
    std::string text(kDevice), binary(kDeviceCodeSize, ' ');
    EncodeBinaryDeviceCode(kDevice, 22, reinterpret_cast<std::uint8_t*>(&binary[0]));
    std::string bye = Status(1, "Bye"), ok = Status(150, "OK");
    std::string data(2500, 'u');
    return {
        text + bye,
        binary + bye,
        text + Status(211, "0,0,0,1024") + ok + ok + ok + ok + bye,
        text + Status(211, "1000,0,0,2048") + ok + Status(-150, "again") + ok + ok + bye,
        text + UploadOf(data, nullptr) + bye,
        binary + UploadOf(data, "report.dat") + UploadOf("x", "..\\up.dat") + bye,
        text + Status(7, "other") + Status(212, "5,3,1,0,") + BlockOf(2, "abc") + bye,
        std::string("5E1F0000-0000-4000-8000-000000000002") + bye,
    };
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Exchange exchange;
    exchange.Reset();
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) return 0;
    std::thread peer([&] { Pump(pair[1], data, size); });
    {
        CConnection connection;
        connection.SetSocket(static_cast<NetSocket>(pair[0]));
        connection.SetTimeout(2000);
        RunHandheldSession(&connection, exchange.scratch.Exchange(), false);
    }  // closes the service's end
    peer.join();
    close(pair[1]);
    exchange.scratch.CheckNothingBeside();
    return 0;
}
