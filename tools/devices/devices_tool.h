// velora-devices' work apart from the process: its arguments in, its output and exit code out.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ToolOutput {
    std::string out;  // ANSI
    std::string err;
    int exitCode = 0;
};

// args without the program name; `now` decides who has connected today.
ToolOutput RunDevicesTool(const std::vector<std::string>& args, std::int64_t now);
