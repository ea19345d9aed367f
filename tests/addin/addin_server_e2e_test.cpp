// The component follows the real service: VeloraService, installed and started through the
// Service Control Manager, receives uploads from the handheld simulator into an exchange folder
// that the component, in the host emulator, polls. No file of that folder is written by the test
// but config.xml and the files the simulator sends.
#include <zlib.h>

#include <cstdio>

#include "addin_fixture.h"
#include "exchange_folder.h"
#include "platform/codepage.h"
#include "platform/net.h"
#include "reserved_port.h"
#include "tool_process.h"

namespace {
enum { kProcessDone = 44, kSetExchangeDir = 45, kEnableServer = 47, kDisableServer = 48 };
const long kPollMs = 1000;
// What must come is waited for generously (Wine under load is slow to run a timer); what must
// not come is given three poll periods.
const DWORD kArrivesWithinMs = 30000, kAbsentForMs = 3 * kPollMs;
const std::string kId1 = "5E1F0000-0000-4000-8000-0000000000E1";
const std::string kId2 = "5E1F0000-0000-4000-8000-0000000000E2";

std::string Ansi(const std::wstring& text) { return Utf16ToAnsi(std::u16string(text.begin(), text.end())); }
// The service's exchange folder in its registry parameters; empty removes it.
void SetExchFolder(const std::string& folder) {
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE,
                                           "SYSTEM\\CurrentControlSet\\Services\\VeloraService\\Parameters\\Exchange",
                                           0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
  if (folder.empty())
    RegDeleteValueA(key, "ExchFolder");
  else
    RegSetValueExA(key, "ExchFolder", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()), DWORD(folder.size() + 1));
  RegCloseKey(key);
}

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string Bytes(size_t n, unsigned seed) {
  std::string out(n, '\0');
  for (size_t i = 0; i < n; ++i) out[i] = char((seed = seed * 1103515245u + 12345u) >> 16);
  return out;
}
std::wstring CrcText(const std::string& bytes) {
  wchar_t text[16];
  std::swprintf(text, 16, L"%010lu", crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), uInt(bytes.size())));
  return text;
}
bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

class ServerEndToEnd : public AddInTest {
 protected:
  void SetUp() override {
    NetStartup();
    std::string xml = ServerConfigXml({{kId1, u8"Агент Е1", "PPC1"}, {kId2, u8"Агент Е2", "PPC2"}});
    xml.replace(xml.find("5555"), 4, std::to_string(port.Number()));
    ASSERT_TRUE(exchange.Write(L"config.xml", xml));
    SetExchFolder(Ansi(exchange.Path()));
    ASSERT_TRUE(service.Start()) << service.Output();
    for (int i = 0; i < 300 && !Contains(Log(), "Service started!"); ++i) Sleep(100);
    ASSERT_TRUE(Contains(Log(), "Service started!")) << Log();
    AddInTest::SetUp();
  }
  void TearDown() override {
    AddInTest::TearDown();
    EXPECT_TRUE(service.Stop()) << Log();
    SetExchFolder("");
    NetCleanup();
  }
  std::string Log() {
    std::string text;
    if (FILE* f = _wfopen(exchange.File(L"log.txt").c_str(), L"rb")) {
      char buffer[4096];
      size_t n;
      while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
      fclose(f);
    }
    return text;
  }
  ToolResult Upload(const std::string& bytes, const char* name = nullptr) {
    std::string local = Ansi(exchange.File(L"upload.tmp"));
    EXPECT_TRUE(exchange.Write(L"upload.tmp", bytes));
    std::vector<std::string> args = {"--port", std::to_string(port.Number()), "--code", kId1, "--timeout", "60"};
    if (name) {
      args.insert(args.end(), {"--upload-as", local, name});
    } else {
      args.insert(args.end(), {"--upload", local});
    }
    ToolResult r = RunHandheldTool(args);
    exchange.Remove(L"upload.tmp");
    return r;
  }
  std::wstring Announcement(DWORD ms) { return ::NextAnnouncement(*connection, ms); }

  ExchangeFolder exchange{L"e2e"};
  ServiceProcess service;
  ReservedPort port;
};

TEST_F(ServerEndToEnd, UploadsAreAnnouncedUntilProcessed) {
  ASSERT_EQ(S_OK, CallProc(kSetExchangeDir, {Variant(exchange.Path())}));
  ASSERT_EQ(S_OK, CallProc(kEnableServer, {Variant(kPollMs)}));
  EXPECT_EQ(L"", Announcement(kAbsentForMs));  // nothing delivered yet

  const std::string data = Bytes(150000, 7);
  ToolResult up = Upload(data);
  ASSERT_EQ(0, up.exitCode) << up.output;
  std::wstring record = Announcement(kArrivesWithinMs);
  const std::wstring head = L"\"" + Wide(kId1) + L"\",\"Агент Е1\",\"PPC1\",\"PPC1\\To1C.zip\",\"";
  ASSERT_EQ(0u, record.find(head)) << Ansi(record);
  EXPECT_EQ(L",\"" + CrcText(data) + L"\"", record.substr(record.size() - 13)) << Ansi(record);
  ASSERT_EQ(S_OK, CallProc(kProcessDone, {Variant(Wide(kId1))}));
  EXPECT_FALSE(exchange.Exists(L"PPC1\\To1C.zip"));
  EXPECT_EQ(0u, connection->PendingEvents());
  EXPECT_EQ(L"", Announcement(kAbsentForMs));

  // A named upload goes to Stack.txt, which stands in for the processed To1C.zip.
  const std::string report = Bytes(5000, 8);
  up = Upload(report, "report.dat");
  ASSERT_EQ(0, up.exitCode) << up.output;
  record = Announcement(kArrivesWithinMs);
  ASSERT_EQ(0u, record.find(L"\"" + Wide(kId1) + L"\",\"Агент Е1\",\"PPC1\",\"PPC1\\report.dat\",\"")) << Ansi(record);
  EXPECT_EQ(L",\"" + CrcText(report) + L"\"", record.substr(record.size() - 13)) << Ansi(record);
  ASSERT_EQ(S_OK, CallProc(kProcessDone, {Variant(Wide(kId1))}));
  EXPECT_FALSE(exchange.Exists(L"PPC1\\report.dat"));
  EXPECT_EQ(L"", Announcement(kAbsentForMs));
  ASSERT_EQ(S_OK, CallProc(kDisableServer, {}));
}
}  // namespace
