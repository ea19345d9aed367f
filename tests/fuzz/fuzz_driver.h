// A fuzz target: the libFuzzer entry point, run on every input, and the seed inputs the
// mutations start from. The driver (fuzz_driver.cpp) replays files given on its command line
// and then mutates the corpus at random for a bounded time, under ASan/UBSan.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
std::vector<std::string> FuzzSeeds();
