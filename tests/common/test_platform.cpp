// The parts of the test helpers that need the system's own headers, kept apart from the
// service unit's (whose GetVersion clashes with the Windows function).
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#else
#include <sys/stat.h>
#include "platform/codepage.h"
#endif

namespace {
// COM for the XML parser on Windows, as the service's thread does before reading.
class ComEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
#ifdef _WIN32
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
#endif
    }
    void TearDown() override {
#ifdef _WIN32
        CoUninitialize();
#endif
    }
};
::testing::Environment* const g_com = ::testing::AddGlobalTestEnvironment(new ComEnvironment);
}  // namespace

bool MakeReadOnlyHidden(const std::string& path) {
#ifdef _WIN32
    return SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN) != 0;
#else
    return chmod(AnsiToUtf8(path).c_str(), 0444) == 0;
#endif
}
