// Each program's embedded manifest, read back from its resources as Windows reads it: the
// control panel asks for administrator rights and the common controls of version 6, the
// others run as the user; every one names the Windows versions it supports.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "screenshot.h"

namespace {
// The manifest resource (type 24, id 1), or "" when there is none.
std::string Manifest(const char* exe) {
  HMODULE module = LoadLibraryExW(HostPath(exe).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return "";
  std::string text;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    HGLOBAL loaded = LoadResource(module, found);
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (data) text.assign(data, SizeofResource(module, found));
  }
  FreeLibrary(module);
  return text;
}

bool Has(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

const char kWindows10[] = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}";
const char kWindows7[] = "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}";
const char kCommonControls[] = "Microsoft.Windows.Common-Controls";
}  // namespace

TEST(Manifests, EveryProgramSaysItsRightsAndWindowsVersions) {
  struct {
    const char* exe;
    const char* level;
    bool commonControls;
  } programs[] = {
      {CTRL_EXE, "level=\"requireAdministrator\"", true},
      {SERVICE_EXE, "level=\"asInvoker\"", false},
      {HANDHELD_EXE, "level=\"asInvoker\"", false},
      {HOST1C_EXE, "level=\"asInvoker\"", false},
  };
  for (const auto& p : programs) {
    SCOPED_TRACE(p.exe);
    std::string manifest = Manifest(p.exe);
    ASSERT_FALSE(manifest.empty()) << "no manifest";
    EXPECT_TRUE(Has(manifest, p.level));
    EXPECT_TRUE(Has(manifest, kWindows7));
    EXPECT_TRUE(Has(manifest, kWindows10));
    EXPECT_EQ(p.commonControls, Has(manifest, kCommonControls));
  }
}
