// Each binary's version resource, read back as Explorer reads it: the numbers, the company,
// the product and the file's own name.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "screenshot.h"

namespace {
struct Version {
  std::wstring numbers;  // from the fixed part: a.b.c.d
  std::wstring fileVersion, company, product, originalName, description;
};

std::wstring Text(std::vector<char>& block, const wchar_t* name) {
  wchar_t* value = nullptr;
  UINT size = 0;
  std::wstring path = std::wstring(L"\\StringFileInfo\\041904B0\\") + name;
  if (!VerQueryValueW(block.data(), path.c_str(), reinterpret_cast<void**>(&value), &size) || !value) return L"";
  return value;
}

bool Read(const char* file, Version& out) {
  std::wstring path = HostPath(file);
  DWORD size = GetFileVersionInfoSizeW(path.c_str(), nullptr);
  if (!size) return false;
  std::vector<char> block(size);
  if (!GetFileVersionInfoW(path.c_str(), 0, size, block.data())) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) return false;
  out.numbers = std::to_wstring(HIWORD(fixed->dwFileVersionMS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionMS)) +
                L"." + std::to_wstring(HIWORD(fixed->dwFileVersionLS)) + L"." + std::to_wstring(LOWORD(fixed->dwFileVersionLS));
  out.fileVersion = Text(block, L"FileVersion");
  out.company = Text(block, L"CompanyName");
  out.product = Text(block, L"ProductName");
  out.originalName = Text(block, L"OriginalFilename");
  out.description = Text(block, L"FileDescription");
  return true;
}

std::wstring FileName(const char* path) {
  std::string name = path;
  name = name.substr(name.find_last_of('/') + 1);
  return std::wstring(name.begin(), name.end());
}
}  // namespace

TEST(Versions, EveryBinarySaysItsVersionCompanyAndProduct) {
  struct {
    const char* file;
    const wchar_t* version;
  } binaries[] = {
      {SERVICE_EXE, L"2.5.2.2520"}, {CTRL_EXE, L"2.5.2.2520"}, {ADDIN_DLL, L"1.62.0.0"},
      {HANDHELD_EXE, L"2.5.2.2520"}, {HOST1C_EXE, L"2.5.2.2520"}, {LOGVIEW_EXE, L"2.5.2.2520"},
      {DEVICES_EXE, L"2.5.2.2520"},
      {RAPI_DLL, L"2.5.2.2520"},
  };
  for (const auto& b : binaries) {
    SCOPED_TRACE(b.file);
    Version v;
    ASSERT_TRUE(Read(b.file, v)) << "no version resource";
    EXPECT_EQ(b.version, v.numbers);
    EXPECT_EQ(b.version, v.fileVersion);
    EXPECT_EQ(L"Velora", v.company);
    EXPECT_EQ(L"Velora СОД", v.product);
    EXPECT_EQ(FileName(b.file), v.originalName);
    EXPECT_EQ(0u, v.description.find(L"Velora: "));
  }
}
