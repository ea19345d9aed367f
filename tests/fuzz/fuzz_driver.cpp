// Random mutation driver for the fuzz targets, for a compiler without libFuzzer (the sources
// need gcc's -fexec-charset=CP1251). Usage: see Usage() below. The input of a run that the
// sanitizers stop is written to fuzz-crash-<pid>.bin in the current directory, for replay
// with --repro.
#include "fuzz_driver.h"

#include <sanitizer/common_interface_defs.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <limits.h>
#include <unistd.h>

namespace {
const std::size_t kMaxInput = 1 << 16;
const std::size_t kMaxCorpus = 512;
const std::string* current = nullptr;

void Usage(const char* program) {
    std::printf("usage: %s [--seconds N] [--seed N] [FILE ...]\n"
                "       %s --repro FILE ...\n"
                "  --seconds N  mutate for N seconds (default 10; a fraction such as 0.5 is fine)\n"
                "  --seed N     the seed of the mutations (default: random; printed at the start)\n"
                "  --repro      run each FILE once and stop (replays a crash input)\n"
                "  --write-seeds DIR  write the seed inputs into DIR as files and stop\n"
                "  FILE         an input to start the mutations from, beside the built-in seeds\n"
                "A run the sanitizers stop leaves its input in fuzz-crash-PID.bin in the current\n"
                "directory. Exit status: 0 no fault, 2 usage, another one a fault (the sanitizers').\n",
                program, program);
}

// A whole decimal number, or with `fraction` a decimal fraction; nothing else may follow.
bool ParseNumber(const char* text, bool fraction, double& out) {
    if (!text || !*text || *text == '-' || *text == '+' || *text == ' ') return false;
    char* end = nullptr;
    out = fraction ? std::strtod(text, &end) : static_cast<double>(std::strtoull(text, &end, 10));
    return end && *end == '\0' && out == out;
}

void DumpCurrent() {
    if (!current) return;
    char name[64];
    std::snprintf(name, sizeof name, "fuzz-crash-%ld.bin", static_cast<long>(getpid()));
    if (FILE* f = std::fopen(name, "wb")) {
        std::fwrite(current->data(), 1, current->size(), f);
        std::fclose(f);
        char folder[PATH_MAX];
        const char* where = getcwd(folder, sizeof folder) ? folder : ".";
        std::fprintf(stderr, "fuzz: input written to %s/%s (%zu bytes)\n", where, name, current->size());
    }
}

void Run(const std::string& input) {
    current = &input;
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    current = nullptr;
}

bool ReadFile(const char* path, std::string& out) {
    FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    char buf[65536];
    std::size_t n;
    out.clear();
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
    std::fclose(f);
    return true;
}

class Mutator {
public:
    explicit Mutator(unsigned seed) : rng(seed) {}
    std::string Mutate(std::string s, const std::vector<std::string>& corpus) {
        int steps = 1 + static_cast<int>(Below(6));
        for (int i = 0; i < steps; ++i) Step(s, corpus);
        if (s.size() > kMaxInput) s.resize(kMaxInput);
        return s;
    }
    std::size_t Below(std::size_t n) { return n ? std::uniform_int_distribution<std::size_t>(0, n - 1)(rng) : 0; }

private:
    void Step(std::string& s, const std::vector<std::string>& corpus) {
        static const char* const kNumbers[] = {"0", "1", "-1", "2048", "65535", "16777216", "16777217",
                                               "4294967295", "4294967296", "99999999999", ""};
        std::size_t at = Below(s.size() + 1);
        switch (Below(8)) {
            case 0:  // flip a bit
                if (!s.empty()) s[Below(s.size())] ^= static_cast<char>(1u << Below(8));
                break;
            case 1:  // an arbitrary byte
                if (!s.empty()) s[Below(s.size())] = static_cast<char>(Below(256));
                break;
            case 2:  // insert bytes
                s.insert(at, std::string(1 + Below(8), static_cast<char>(Below(256))));
                break;
            case 3:  // delete a range
                if (at < s.size()) s.erase(at, 1 + Below(s.size() - at));
                break;
            case 4: {  // repeat a range
                if (at >= s.size()) break;
                std::string piece = s.substr(at, 1 + Below(std::min<std::size_t>(64, s.size() - at)));
                s.insert(Below(s.size() + 1), piece);
                break;
            }
            case 5: {  // a number where digits stand
                std::size_t d = s.find_first_of("0123456789", at);
                if (d == std::string::npos) break;
                std::size_t e = s.find_first_not_of("0123456789", d);
                s.replace(d, (e == std::string::npos ? s.size() : e) - d, kNumbers[Below(11)]);
                break;
            }
            case 6: {  // splice in part of another input
                const std::string& other = corpus[Below(corpus.size())];
                if (other.empty()) break;
                std::size_t from = Below(other.size());
                s.insert(at, other.substr(from, 1 + Below(other.size() - from)));
                break;
            }
            default:  // cut short
                s.resize(at);
                break;
        }
    }
    std::mt19937 rng;
};
}  // namespace

int main(int argc, char** argv) {
    double seconds = 10;
    unsigned seed = static_cast<unsigned>(std::random_device{}());
    bool repro = false;
    std::vector<std::string> corpus = FuzzSeeds();
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool isSeconds = !std::strcmp(a, "--seconds"), isSeed = !std::strcmp(a, "--seed");
        double number = 0;
        if ((isSeconds || isSeed) && !ParseNumber(i + 1 < argc ? argv[i + 1] : nullptr, isSeconds, number)) {
            std::fprintf(stderr, "fuzz: %s takes %s, not '%s' (see --help)\n", a,
                         isSeconds ? "a number of seconds" : "a whole number", i + 1 < argc ? argv[i + 1] : "");
            return 2;
        }
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            Usage(argv[0]);
            return 0;
        } else if (isSeconds) {
            if (number <= 0 || number > 1e7) {
                std::fprintf(stderr, "fuzz: --seconds takes a number of seconds above 0, not '%s'\n", argv[i + 1]);
                return 2;
            }
            seconds = number;
            ++i;
        } else if (isSeed) {
            if (number > 4294967295.0) {
                std::fprintf(stderr, "fuzz: --seed takes a whole number below 2^32, not '%s'\n", argv[i + 1]);
                return 2;
            }
            seed = static_cast<unsigned>(number);
            ++i;
        } else if (!std::strcmp(a, "--repro")) {
            repro = true;
        } else if (!std::strcmp(a, "--write-seeds") && i + 1 < argc) {
            // The seed inputs as files, the start of a corpus for a coverage-guided campaign.
            const std::string folder = argv[++i];
            int n = 0;
            for (const std::string& input : corpus) {
                std::string path = folder + "/seed-" + std::to_string(++n);
                std::FILE* f = std::fopen(path.c_str(), "wb");
                if (!f || std::fwrite(input.data(), 1, input.size(), f) != input.size()) {
                    std::fprintf(stderr, "fuzz: cannot write %s\n", path.c_str());
                    if (f) std::fclose(f);
                    return 2;
                }
                std::fclose(f);
            }
            std::printf("fuzz: %d seed inputs written to %s\n", n, folder.c_str());
            return 0;
        } else if (a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "fuzz: unknown option %s (see --help)\n", a);
            return 2;
        } else {
            files.push_back(a);
        }
    }
    if (repro && files.empty()) {
        std::fprintf(stderr, "fuzz: --repro needs the FILEs to replay (see --help)\n");
        return 2;
    }
    __sanitizer_set_death_callback(DumpCurrent);
    for (const char* path : files) {
        std::string input;
        if (!ReadFile(path, input)) {
            std::fprintf(stderr, "fuzz: cannot read %s\n", path);
            return 2;
        }
        if (repro)
            Run(input);
        else
            corpus.push_back(input);
    }
    if (repro) return 0;

    std::printf("fuzz: seed %u, %zu seed inputs, %g s\n", seed, corpus.size(), seconds);
    std::fflush(stdout);
    for (const std::string& input : std::vector<std::string>(corpus)) Run(input);
    Mutator mutator(seed);
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    unsigned long runs = 0;
    while (std::chrono::steady_clock::now() < end) {
        std::string input = mutator.Mutate(corpus[mutator.Below(corpus.size())], corpus);
        Run(input);
        ++runs;
        // Without coverage feedback, some mutants are kept so that changes accumulate.
        if (mutator.Below(8) == 0) {
            if (corpus.size() < kMaxCorpus)
                corpus.push_back(input);
            else
                corpus[mutator.Below(corpus.size())] = input;
        }
    }
    std::printf("fuzz: %lu mutated runs, no fault\n", runs);
    return 0;
}
