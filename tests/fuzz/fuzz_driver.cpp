// Random mutation driver for the fuzz targets, for a compiler without libFuzzer (the sources
// need gcc's -fexec-charset=CP1251). Usage:
//   fuzz_X [--seconds N] [--seed N] [--repro] [FILE ...]
// FILEs join the seeds (or, with --repro, are each run once). The input of a run that the
// sanitizers stop is written to fuzz-crash-<pid>.bin for replay with --repro.
#include "fuzz_driver.h"

#include <sanitizer/common_interface_defs.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <unistd.h>

namespace {
const std::size_t kMaxInput = 1 << 16;
const std::size_t kMaxCorpus = 512;
const std::string* current = nullptr;

void DumpCurrent() {
    if (!current) return;
    char name[64];
    std::snprintf(name, sizeof name, "fuzz-crash-%ld.bin", static_cast<long>(getpid()));
    if (FILE* f = std::fopen(name, "wb")) {
        std::fwrite(current->data(), 1, current->size(), f);
        std::fclose(f);
        std::fprintf(stderr, "fuzz: input written to %s (%zu bytes)\n", name, current->size());
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
        if (!std::strcmp(argv[i], "--seconds") && i + 1 < argc)
            seconds = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--seed") && i + 1 < argc)
            seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
        else if (!std::strcmp(argv[i], "--repro"))
            repro = true;
        else
            files.push_back(argv[i]);
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

    std::printf("fuzz: seed %u, %zu seed inputs, %.0f s\n", seed, corpus.size(), seconds);
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
