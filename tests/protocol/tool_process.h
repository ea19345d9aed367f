// Runs the programs under test: VeloraService (the debug console program natively, the
// installed service on Windows) and the velora-handheld simulator.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;
    std::string output;
};

// velora-handheld with these arguments; waits for it (at most two minutes).
ToolResult RunHandheldTool(const std::vector<std::string>& args);

// POSIX: the parameters store of this test program (and of the services it starts) becomes a
// file in `folder`. Windows: the real registry is used.
void UseParamsFileIn(const std::string& folder);

class ServiceProcess {
public:
    ServiceProcess();
    ~ServiceProcess();
    bool Start();   // running (native: spawned with -debug; Windows: installed and started)
    bool Stop();    // stopped cleanly (and removed on Windows)
    std::string Output() const;

private:
    std::string outPath;
    long long pid = 0;
    bool running = false;
};
