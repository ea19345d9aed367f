// velora-handheld: plays a handheld against a Velora service. See Usage().
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "handheld.h"
#include "platform/net.h"

namespace {
void Usage() {
    std::printf(
        "usage: velora-handheld --port PORT --code DEVICE-ID [options] [actions]\n"
        "  --host ADDRESS           service address (default 127.0.0.1)\n"
        "  --code DEVICE-ID         the 36-character device identifier\n"
        "  --binary                 send the code in binary form (needs a GUID identifier)\n"
        "  --program-version N      program version in a binary code (default 22)\n"
        "  --timeout SECONDS        deadline of each read and write (default 30)\n"
        "  --block-size N           block size for downloads and uploads (default 2048)\n"
        "  --resume                 downloads continue a partial local copy (CRC kept in FILE.crc)\n"
        "  --resume-upload          uploads continue from the size and CRC the service announced\n"
        "  --quiet                  print only failures and transfer results\n"
        "actions, carried out in the order given (then the end command):\n"
        "  --download FILE          fetch the device's From1C.zip into FILE; when the service\n"
        "                           announces nothing to download, FILE is not written\n"
        "  --upload FILE            deliver FILE as To1C.zip (replacing the one there)\n"
        "  --upload-as FILE NAME    deliver FILE under NAME: the service appends it to NAME.clt\n"
        "                           in the device folder and copies NAME.clt over NAME, so NAME\n"
        "                           holds every upload of that name, one after the other\n"
        "  --command CODE[:TEXT]    send any status message as a command\n"
        "  --malformed              send a malformed command frame\n"
        "  --hold SECONDS           stay idle before the next action\n"
        "  --silent                 answer nothing after +100 and report what the service does\n"
        "  --no-end                 leave without the end command\n"
        "faults for tests:\n"
        "  --close-after N          close the connection after N data blocks of a transfer\n"
        "  --corrupt-block K        upload: damage block K once; download: reject block K once\n"
        "  --skip-block K           upload: leave block number K out\n"
        "  --huge-block             upload: announce a block of 999999999 bytes\n"
        "  --wrong-crc              upload: announce a whole-file CRC that does not match\n"
        "exit status: 0 done, 1 refused or failed, 2 usage\n");
}

struct Action {
    enum Kind { Download, Upload, Command, Malformed, Hold } kind;
    std::string file, name;
    int code = 0;
    std::string text;
    bool named = false;
    int seconds = 0;
};

std::string ReadSidecar(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "";
    char text[32] = {};
    std::size_t n = std::fread(text, 1, 31, f);
    std::fclose(f);
    return std::string(text, n);
}

void WriteSidecar(const std::string& path, std::uint32_t crc) {
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fprintf(f, "%lu", static_cast<unsigned long>(crc));
        std::fclose(f);
    }
}
}  // namespace

int main(int argc, char** argv) {
    std::string host = "127.0.0.1", code;
    std::string portText;
    int port = 0, version = 22, timeout = 30;
    std::uint32_t blockSize = 2048;
    bool binary = false, resume = false, resumeUpload = false, quiet = false, silent = false,
         end = true;
    HandheldFaults faults;
    std::vector<Action> actions;
    if (argc < 2) {
        Usage();
        return 2;
    }
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](int k = 1) -> const char* {
            if (i + k >= argc) {
                std::fprintf(stderr, "velora-handheld: %s needs a value\n", a.c_str());
                std::exit(2);
            }
            return argv[i + k];
        };
        if (a == "--host") host = value(), ++i;
        else if (a == "--port") portText = value(), ++i;
        else if (a == "--code") code = value(), ++i;
        else if (a == "--binary") binary = true;
        else if (a == "--program-version") version = std::atoi(value()), ++i;
        else if (a == "--timeout") timeout = std::atoi(value()), ++i;
        else if (a == "--block-size") blockSize = static_cast<std::uint32_t>(std::strtoul(value(), nullptr, 10)), ++i;
        else if (a == "--resume") resume = true;
        else if (a == "--resume-upload") resumeUpload = true;
        else if (a == "--quiet") quiet = true;
        else if (a == "--silent") silent = true;
        else if (a == "--no-end") end = false;
        else if (a == "--close-after") faults.closeAfterBlocks = std::atoi(value()), ++i;
        else if (a == "--corrupt-block") faults.corruptBlock = std::atoi(value()), ++i;
        else if (a == "--skip-block") faults.skipBlock = std::atoi(value()), ++i;
        else if (a == "--huge-block") faults.hugeBlock = true;
        else if (a == "--wrong-crc") faults.wrongFileCrc = true;
        else if (a == "--download") {
            Action x{Action::Download};
            x.file = value(), ++i;
            actions.push_back(x);
        } else if (a == "--upload") {
            Action x{Action::Upload};
            x.file = value(), ++i;
            actions.push_back(x);
        } else if (a == "--upload-as") {
            Action x{Action::Upload};
            x.file = value(1);
            x.name = value(2);
            x.named = true;
            i += 2;
            actions.push_back(x);
        } else if (a == "--command") {
            Action x{Action::Command};
            std::string v = value();
            ++i;
            std::size_t colon = v.find(':');
            x.code = std::atoi(v.substr(0, colon).c_str());
            x.text = colon == std::string::npos ? "" : v.substr(colon + 1);
            actions.push_back(x);
        } else if (a == "--malformed") {
            actions.push_back(Action{Action::Malformed});
        } else if (a == "--hold") {
            Action x{Action::Hold};
            x.seconds = std::atoi(value()), ++i;
            actions.push_back(x);
        } else if (a == "--help" || a == "-h") {
            Usage();
            return 0;
        } else {
            std::fprintf(stderr, "velora-handheld: unknown option %s (--help lists every option)\n", a.c_str());
            return 2;
        }
    }
    const char* missing = portText.empty() ? "--port PORT" : code.empty() ? "--code DEVICE-ID" : nullptr;
    char* portEnd = nullptr;
    long portNumber = std::strtol(portText.c_str(), &portEnd, 10);
    port = static_cast<int>(portNumber);
    if (missing || *portEnd || portNumber < 1 || portNumber > 65535) {
        if (missing)
            std::fprintf(stderr, "velora-handheld: %s is missing\n", missing);
        else
            std::fprintf(stderr, "velora-handheld: --port takes a number from 1 to 65535, not '%s'\n",
                         portText.c_str());
        std::fprintf(stderr, "velora-handheld: --help lists every option\n");
        return 2;
    }

    if (int e = NetStartup()) {
        std::fprintf(stderr, "velora-handheld: sockets cannot start (%d)\n", e);
        return 1;
    }
    Handheld hh([quiet](const std::string& line) {
        bool result = line.rfind("error:", 0) == 0 || line.rfind("downloaded", 0) == 0 ||
                      line.rfind("uploaded", 0) == 0 || line.rfind("broken off:", 0) == 0;
        if (!quiet || result) {
            std::printf("%s\n", line.c_str());
            std::fflush(stdout);
        }
    });
    hh.timeoutSec = timeout;
    hh.faults = faults;
    int status = 0;
    if (!hh.Connect(host, static_cast<std::uint16_t>(port))) {
        status = 1;
    } else if (silent) {
        hh.StaySilent();
        std::printf("service closed the connection: %s\n", hh.PeerClosed(5) ? "yes" : "no");
        status = 1;
    } else if (![&] {
                   auto t0 = std::chrono::steady_clock::now();
                   bool ok = hh.Authorize(code, binary, version);
                   if (ok)
                       std::printf("authorized in %.2f ms\n",
                                   std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
                   return ok;
               }()) {
        status = 1;
    } else {
        const Announcement& an = hh.Announced();
        std::printf("announcement: %d data=%s size=%lu partial=%lu partialcrc=%lu%s%s\n", an.code,
                    an.hasData ? "yes" : "no", static_cast<unsigned long>(an.dataSize),
                    static_cast<unsigned long>(an.partialSize), static_cast<unsigned long>(an.partialCrc),
                    an.time.empty() ? "" : " time=", an.time.c_str());
        for (const Action& x : actions) {
            bool ok = true;
            switch (x.kind) {
                case Action::Download: {
                    // The service has no command for "nothing there": asked anyway, it ends
                    // the session. So the download is left out and the other actions go on.
                    if (!an.hasData) {
                        std::printf("nothing to download (announcement %d): %s not written\n", an.code,
                                    x.file.c_str());
                        break;
                    }
                    std::string sidecar = x.file + ".crc";
                    std::uint32_t crc = static_cast<std::uint32_t>(std::strtoul(ReadSidecar(sidecar).c_str(), nullptr, 10));
                    ok = hh.Download(x.file, blockSize, resume, crc);
                    if (hh.downloadSize) WriteSidecar(sidecar, hh.downloadCrc);
                    if (ok) std::remove(sidecar.c_str());
                    if (ok && hh.seconds > 0)
                        std::printf("download rate: %.1f MB/s\n", hh.downloadSize / hh.seconds / 1e6);
                    break;
                }
                case Action::Upload:
                    ok = hh.Upload(x.file, x.name, x.named, blockSize, resumeUpload);
                    if (ok && hh.seconds > 0)
                        std::printf("upload rate: %.1f MB/s\n", hh.uploadedBytes / hh.seconds / 1e6);
                    break;
                case Action::Command:
                    ok = hh.SendCommand(x.code, x.text);
                    break;
                case Action::Malformed: {
                    ok = hh.SendRaw(std::string("+211X0,0,0,0\0", 13));
                    int c = 0;
                    std::string t;
                    if (ok) ok = hh.ReadStatus(c, t);
                    if (ok && c < 0) ok = false;
                    break;
                }
                case Action::Hold:
                    std::this_thread::sleep_for(std::chrono::seconds(x.seconds));
                    break;
            }
            if (!ok) {
                status = 1;
                break;
            }
        }
        if (status == 0 && end && !hh.End()) status = 1;
    }
    hh.Close();
    NetCleanup();
    return status;
}
