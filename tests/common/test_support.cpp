#include "test_support.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#ifdef _WIN32
#include <process.h>  // not <windows.h>: its GetVersion clashes with the service unit's
#else
#include <unistd.h>
#endif

#include "platform/files.h"
#include "platform/params.h"
#include "service_params.h"

namespace fs = std::filesystem;

namespace {
std::string UniqueName() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    unsigned long pid = static_cast<unsigned long>(_getpid());
#else
    unsigned long pid = static_cast<unsigned long>(getpid());
#endif
    auto ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return "velora-test-" + std::to_string(pid) + "-" + std::to_string(ticks % 1000000007) + "-" +
           std::to_string(counter++);
}

// Native runs keep their parameters in a file of their own, never the user's; under Wine the
// registry of the build tree's own prefix is used.
class ParamsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
#ifndef _WIN32
        folder_ = fs::temp_directory_path() / UniqueName();
        fs::create_directories(folder_);
        std::string file = (folder_ / "params.ini").string();
        setenv("VELORA_PARAMS", file.c_str(), 1);
#endif
    }
    void TearDown() override {
#ifndef _WIN32
        std::error_code ec;
        fs::remove_all(folder_, ec);
#endif
    }

private:
    fs::path folder_;
};

::testing::Environment* const g_params = ::testing::AddGlobalTestEnvironment(new ParamsEnvironment);
}  // namespace

TempFolder::TempFolder() {
    fs::path p = fs::temp_directory_path() / UniqueName();
    fs::create_directories(p);
    path_ = p.string();
    while (path_.size() > 1 && IsPathSep(path_.back())) path_.pop_back();
}

TempFolder::~TempFolder() {
    std::error_code ec;
    fs::remove_all(fs::path(path_), ec);
}

std::string TempFolder::File(const std::string& name) const { return JoinPath(path_, name); }

std::string ReadBytes(const std::string& path) {
    std::FILE* f = FileOpen(path, "rb");
    if (!f) return "";
    std::string data;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) data.append(buffer, n);
    std::fclose(f);
    return data;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::FILE* f = FileOpen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

void ClearServiceParams() { ParamsDeleteTree(FormatParametersKey(nullptr).c_str()); }
