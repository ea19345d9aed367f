// The entry of the AFL++ builds: runs the target once on the input file AFL++ names (or on
// standard input). AFL++'s fork server, which its instrumentation brings along, starts each run
// from the state reached before main.
#include <cstdio>
#include <string>

#include "fuzz_driver.h"

int main(int argc, char** argv) {
    std::FILE* in = argc > 1 ? std::fopen(argv[1], "rb") : stdin;
    if (!in) return 2;
    std::string input;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, in)) > 0) input.append(buffer, n);
    if (in != stdin) std::fclose(in);
    LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
    return 0;
}
