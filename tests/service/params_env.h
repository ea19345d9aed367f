// Points the parameters store at a private file for the whole test program (POSIX), so tests
// never touch the user's own store; on Windows it is the real registry and the tests using it
// run one at a time.
#pragma once
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "support.h"

namespace test {
class ParamsEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
#ifndef _WIN32
        folder_.reset(new TempFolder("params"));
        setenv("VELORA_PARAMS", folder_->File("params.ini").c_str(), 1);
#endif
        NetStartup();
    }
    void TearDown() override {
        NetCleanup();
        folder_.reset();
    }

private:
    std::unique_ptr<TempFolder> folder_;
};
}  // namespace test
