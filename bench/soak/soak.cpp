// The fault soak: many simulated handhelds against a running VeloraService, with cuts at any
// byte, corrupted blocks, overlapping sessions of one device, 1C taking and dropping its lock,
// config.xml reloads and a disk that fills up. After every round the invariants are checked:
// every upload a handheld saw acknowledged was delivered intact (1C took it with the CRC the
// handheld had) or is resumable from the announced size and CRC; nothing lies outside the
// device folders; Status.txt and Stack.txt parse; the service's threads, open files and memory
// are back at their baseline. The last line prints the figures.
//   velora-soak --service PID --exchange DIR --port N [--rounds N] [--devices N] [--seconds N]
//               [--fill 0|1]
#include <dirent.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "exchange/text_table.h"
#include "handheld.h"
#include "platform/files.h"
#include "protocol/crc32.h"

namespace {
typedef std::chrono::steady_clock Clock;

struct Options {
    int pid = 0;
    std::string exchange;
    int port = 0;
    int rounds = 10;
    int devices = 12;
    int seconds = 20;  // per round
    bool fill = true;  // only on a size-limited folder
};

std::string Id(int i) {
    char id[40];
    std::snprintf(id, sizeof id, "5E1F0000-0000-4000-8000-%012d", i);
    return id;
}
std::string Folder(const Options& o, int i) { return JoinPath(o.exchange, "PPC" + std::to_string(i)); }

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
bool WriteAll(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0) ok = false;
    return ok;
}
std::uint32_t CrcOf(const std::string& s) { return Crc32(s.data(), s.size()); }

std::atomic<long> sessions{0}, faults{0}, acknowledged{0}, delivered{0}, lost{0}, downloads{0},
    reloads{0}, fills{0}, locks{0}, violations{0};

void Violation(const std::string& what) {
    ++violations;
    std::printf("soak: VIOLATION %s\n", what.c_str());
    std::fflush(stdout);
}

// What 1C has taken from each device folder: the CRCs of the To1C.zip files it moved away.
std::mutex takenLock;
std::map<int, std::multiset<std::uint32_t>> taken;
std::map<int, std::pair<bool, std::uint32_t>> roundEnd;  // acknowledged and not yet taken

// 1C: now and then takes a device's lock, moves To1C.zip away (remembering its CRC), puts a
// new From1C.zip and drops the lock again.
void OneC(const Options& o, std::atomic<bool>& running, unsigned seed) {
    std::mt19937 rng(seed);
    while (running) {
        int d = 1 + static_cast<int>(rng() % static_cast<unsigned>(o.devices));
        std::string folder = Folder(o, d), lock = JoinPath(folder, "lock");
        WriteAll(lock, "");
        ++locks;
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + rng() % 600));
        std::string to = JoinPath(folder, "To1C.zip");
        if (FileExists(to)) {
            // Under the lock the service does not replace it: read, then take it away.
            std::string data = ReadAll(to);
            if (RemoveFile(to)) {
                std::lock_guard<std::mutex> hold(takenLock);
                taken[d].insert(CrcOf(data));
            }
        }
        if (rng() % 3 == 0) {
            std::string data(1000 + rng() % 60000, static_cast<char>('a' + rng() % 26));
            if (!WriteAll(JoinPath(folder, "From1C.zip.1c"), data) ||
                !RenameReplace(JoinPath(folder, "From1C.zip.1c"), JoinPath(folder, "From1C.zip")))
                RemoveFile(JoinPath(folder, "From1C.zip.1c"));
        }
        RemoveFile(lock);
        std::this_thread::sleep_for(std::chrono::milliseconds(100 + rng() % 400));
    }
}

// The handheld of device d: uploads until each file is acknowledged, with faults, and waits
// for 1C to take it before the next; downloads now and then; sometimes a second connection of
// the same device cuts in (the service lets the newer session win).
void Handhelds(const Options& o, int d, std::atomic<bool>& running, unsigned seed, const std::string& scratch) {
    std::mt19937 rng(seed);
    std::string local = JoinPath(scratch, "up" + std::to_string(d));
    std::string data;
    std::uint32_t pendingCrc = 0;  // acknowledged, not yet seen taken
    std::uint32_t previousCrc = 0;  // the file delivered before: 1C may get it twice
    bool pending = false;
    while (running) {
        if (pending) {
            std::lock_guard<std::mutex> hold(takenLock);
            auto& t = taken[d];
            t.erase(previousCrc);  // delivered again after a lost acknowledgement: no harm
            auto it = t.find(pendingCrc);
            if (it != t.end()) {
                t.erase(pendingCrc);
                ++delivered;
                previousCrc = pendingCrc;
                pending = false;
            } else if (!t.empty()) {
                Violation("PPC" + std::to_string(d) + ": 1C took a file that is not the acknowledged one");
                ++lost;
                t.clear();
                pending = false;
            }
        }
        Handheld h;
        h.timeoutSec = 20;
        if (!h.Connect("127.0.0.1", static_cast<std::uint16_t>(o.port))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            continue;
        }
        ++sessions;
        if (!h.Authorize(Id(d), rng() % 2 == 0, 22)) {  // locked by 1C, superseded, refused
            std::this_thread::sleep_for(std::chrono::milliseconds(100 + rng() % 300));
            continue;
        }
        unsigned what = rng() % 10;
        if (what < 6 && !pending) {
            if (data.empty()) {
                data.resize(1 + rng() % 150000);
                for (char& c : data) c = static_cast<char>(rng());
                if (!WriteAll(local, data)) continue;
            }
            h.faults = HandheldFaults();
            unsigned fault = rng() % 6;
            if (fault == 0) h.faults.closeAfterBlocks = 1 + static_cast<int>(rng() % 40);
            if (fault == 1) h.faults.corruptBlock = 1 + static_cast<int>(rng() % 10);
            if (fault == 2) h.faults.wrongFileCrc = true;
            std::thread cutIn;
            if (fault == 3) {
                // Another connection of the same device cuts in while this one uploads.
                int delayMs = static_cast<int>(5 + rng() % 50);
                cutIn = std::thread([&o, d, delayMs] {
                    std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
                    Handheld other;
                    other.timeoutSec = 20;
                    if (other.Connect("127.0.0.1", static_cast<std::uint16_t>(o.port)) &&
                        other.Authorize(Id(d), false, 22))
                        other.End();
                    ++sessions;
                });
            }
            if (fault <= 3) ++faults;
            bool ok = h.Upload(local, "", false, 512u << (rng() % 5), true);
            if (cutIn.joinable()) cutIn.join();
            if (ok && h.faults.wrongFileCrc) Violation("an upload with a wrong CRC was acknowledged");
            if (ok) {
                ++acknowledged;
                pending = true;
                pendingCrc = CrcOf(data);
                data.clear();
            }
        } else if (what < 9 && h.Announced().hasData) {
            h.faults = HandheldFaults();
            if (rng() % 3 == 0) {
                h.faults.closeAfterBlocks = 1 + static_cast<int>(rng() % 10);
                ++faults;
            }
            if (h.Download(local + ".down", 1024, false, 0)) ++downloads;
        } else if (rng() % 2 == 0) {
            // A cut at an arbitrary byte of a command.
            h.SendRaw(std::string("+212 0,100,", 1 + rng() % 11));
            ++faults;
            continue;
        }
        h.End();
        std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 100));
    }
    std::lock_guard<std::mutex> hold(takenLock);
    roundEnd[d] = {pending, pendingCrc};
}

// The round's end, once every thread has stopped: an acknowledged upload 1C has not taken
// yet must be in place (the soak then takes it, as 1C would). Anything else left is that
// round's file delivered without its acknowledgement reaching the handheld.
void EndRound(const Options& o) {
    std::lock_guard<std::mutex> hold(takenLock);
    for (int d = 1; d <= o.devices; ++d) {
        std::string to = JoinPath(Folder(o, d), "To1C.zip");
        auto& t = taken[d];
        if (roundEnd[d].first) {
            std::uint32_t crc = roundEnd[d].second;
            if (t.count(crc) || (FileExists(to) && CrcOf(ReadAll(to)) == crc)) {
                ++delivered;
            } else {
                Violation("PPC" + std::to_string(d) + ": acknowledged upload neither delivered nor in place");
                ++lost;
            }
        }
        t.clear();
        roundEnd[d] = {false, 0};
        RemoveFile(to);
    }
}

// The disk fills up for a while now and then.
void Filler(const Options& o, std::atomic<bool>& running, unsigned seed) {
    std::mt19937 rng(seed);
    std::string filler = JoinPath(o.exchange, "filler");
    while (running) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1000 + rng() % 3000));
        if (!running) break;
        if (FILE* f = std::fopen(filler.c_str(), "wb")) {
            std::vector<char> chunk(1 << 16, 'f');
            while (std::fwrite(chunk.data(), 1, chunk.size(), f) == chunk.size()) {}
            std::fclose(f);
        }
        ++fills;
        std::this_thread::sleep_for(std::chrono::milliseconds(300 + rng() % 1500));
        RemoveFile(filler);
    }
    RemoveFile(filler);
}

// config.xml is rewritten (its identity changes) now and then: the service reloads it.
void Reloader(const Options& o, std::atomic<bool>& running, unsigned seed) {
    std::mt19937 rng(seed);
    std::string path = JoinPath(o.exchange, "config.xml");
    for (int n = 0; running; ++n) {
        std::this_thread::sleep_for(std::chrono::milliseconds(3000 + rng() % 4000));
        std::string xml = ReadAll(path);
        std::size_t at = xml.find("<!--");
        if (at != std::string::npos) xml.resize(at);
        xml += "<!-- " + std::to_string(n) + std::string(rng() % 20, ' ') + " -->\r\n";
        // As an administrator's editor would: a file the full disk cut short is not put in place.
        if (WriteAll(path + ".new", xml) && RenameReplace(path + ".new", path)) ++reloads;
        else RemoveFile(path + ".new");
    }
}

int Count(const std::string& folder) {
    DIR* d = opendir(folder.c_str());
    if (!d) return -1;
    int n = 0;
    while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
    return n;
}

struct Usage {
    long threads = 0, fds = 0, rssKb = 0;
};
Usage Measure(int pid) {
    Usage u;
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("Threads:", 0) == 0) u.threads = std::atol(line.c_str() + 8);
        if (line.rfind("VmRSS:", 0) == 0) u.rssKb = std::atol(line.c_str() + 6);
    }
    u.fds = Count("/proc/" + std::to_string(pid) + "/fd");
    return u;
}

void CheckFolders(const Options& o) {
    static const std::set<std::string> top = {"config.xml", "log.txt", "Status.txt", "Stack.txt"};
    static const std::set<std::string> inDevice = {"From1C.zip", "From1C.zip.1c", "To1C.zip", "download.tmp", "CRC",
                                                   "lock", "LastConnectionTime", "From1C_trans.zip"};
    std::vector<FileItem> items;
    ListFolder(o.exchange, &items);
    for (const FileItem& i : items) {
        if (i.IsFolder()) {
            if (i.name.rfind("PPC", 0) != 0) Violation("unexpected folder " + i.name);
            std::vector<FileItem> inner;
            ListFolder(JoinPath(o.exchange, i.name), &inner);
            for (const FileItem& f : inner)
                if (!inDevice.count(f.name)) Violation("unexpected file " + i.name + "/" + f.name);
        } else if (!top.count(i.name)) {
            Violation("unexpected file " + i.name + " in the exchange folder");
        }
    }
    for (const char* name : {"Status.txt", "Stack.txt"}) {
        TextTable t;
        if (!t.Load(JoinPath(o.exchange, name))) continue;
        for (int r = 0; r < t.Count(); ++r) {
            t.Select(r);
            std::string row = t.Current();
            std::string id = TextTable::GetField(row, 0), crc = TextTable::GetField(row, 4);
            if (id.size() != 36 || crc.empty() || crc.find_first_not_of("0123456789") != std::string::npos)
                Violation(std::string(name) + " has a broken record: " + row);
        }
    }
}

// Between rounds: no lock, no filler, and every session ended (the service's counters idle).
bool WaitQuiet(const Options& o, const Usage& base) {
    for (int i = 0; i < 200; ++i) {
        Usage u = Measure(o.pid);
        if (u.threads <= base.threads && u.fds <= base.fds) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
}
}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string a = argv[i];
        if (a == "--service") o.pid = std::atoi(argv[i + 1]);
        else if (a == "--exchange") o.exchange = argv[i + 1];
        else if (a == "--port") o.port = std::atoi(argv[i + 1]);
        else if (a == "--rounds") o.rounds = std::atoi(argv[i + 1]);
        else if (a == "--devices") o.devices = std::atoi(argv[i + 1]);
        else if (a == "--seconds") o.seconds = std::atoi(argv[i + 1]);
        else if (a == "--fill") o.fill = std::atoi(argv[i + 1]) != 0;
        else {
            std::fprintf(stderr, "velora-soak: unknown argument %s\n", a.c_str());
            return 2;
        }
    }
    if (!o.pid || o.exchange.empty() || !o.port) {
        std::fprintf(stderr, "usage: velora-soak --service PID --exchange DIR --port N [--rounds N] [--devices N] [--seconds N]\n");
        return 2;
    }
    signal(SIGPIPE, SIG_IGN);
    NetStartup();
    std::string scratch = o.exchange + ".handhelds";
    CreateFolder(scratch);
    Usage base;
    std::random_device seeds;
    for (int round = 0; round <= o.rounds; ++round) {
        std::atomic<bool> running{true};
        std::vector<std::thread> threads;
        threads.emplace_back(OneC, std::cref(o), std::ref(running), seeds());
        if (round > 0) {  // round 0 warms up and takes the baseline
            if (o.fill) threads.emplace_back(Filler, std::cref(o), std::ref(running), seeds());
            threads.emplace_back(Reloader, std::cref(o), std::ref(running), seeds());
        }
        for (int d = 1; d <= o.devices; ++d)
            threads.emplace_back(Handhelds, std::cref(o), d, std::ref(running), seeds(), scratch);
        std::this_thread::sleep_for(std::chrono::seconds(round == 0 ? 5 : o.seconds));
        running = false;
        for (std::thread& t : threads) t.join();
        for (int d = 1; d <= o.devices; ++d) RemoveFile(JoinPath(Folder(o, d), "lock"));
        EndRound(o);
        if (kill(o.pid, 0) != 0) {
            Violation("the service is gone");
            break;
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        if (round == 0) {
            base = Measure(o.pid);
            base.threads += 0;
            std::printf("soak: baseline threads %ld, open files %ld, memory %ld KiB\n", base.threads, base.fds,
                        base.rssKb);
        } else {
            if (!WaitQuiet(o, base)) {
                Usage u = Measure(o.pid);
                Violation("round " + std::to_string(round) + ": service holds " + std::to_string(u.threads) +
                          " threads and " + std::to_string(u.fds) + " files (baseline " +
                          std::to_string(base.threads) + ", " + std::to_string(base.fds) + ")");
            }
            Usage u = Measure(o.pid);
            if (u.rssKb > base.rssKb * 2 + 65536)
                Violation("round " + std::to_string(round) + ": memory " + std::to_string(u.rssKb) + " KiB");
            CheckFolders(o);
            std::printf("soak: round %d: sessions %ld, acknowledged %ld, delivered %ld, lost %ld; threads %ld, "
                        "files %ld, memory %ld KiB\n",
                        round, sessions.load(), acknowledged.load(), delivered.load(), lost.load(), u.threads,
                        u.fds, u.rssKb);
        }
        std::fflush(stdout);
    }
    std::printf("soak: rounds %d, sessions %ld, faults injected %ld (plus %ld lock takes, %ld disk fills, "
                "%ld reloads), uploads acknowledged %ld, delivered %ld, downloads %ld, lost %ld, "
                "violations %ld\n",
                o.rounds, sessions.load(), faults.load(), locks.load(), fills.load(), reloads.load(),
                acknowledged.load(), delivered.load(), downloads.load(), lost.load(), violations.load());
    return violations.load() == 0 && lost.load() == 0 ? 0 : 1;
}
