// The server interop methods through the host emulator, on exchange folders written as the
// service writes them: the info record, Status.txt and Stack.txt, the device filter, polling
// and its events, and VlsProcessDone.
#include "addin_fixture.h"
#include "exchange_folder.h"

namespace {
enum {
  kGetPPCInfo = 41, kGetPPCCount = 42, kProcessDone = 44, kSetExchangeDir = 45, kGetExchangeDir = 46,
  kEnableServer = 47, kDisableServer = 48, kAddPPCId = 49, kClearPPCId = 50, kGetFieldPPCInfo = 51,
};

const std::string kId1 = "5E1F0000-0000-4000-8000-000000000001";
const std::string kId2 = "5E1F0000-0000-4000-8000-000000000002";
const std::string kId3 = "5E1F0000-0000-4000-8000-000000000003";
const std::string kTime = "2026-12-10 09-15-30";

std::wstring Wide(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring Record(const std::string& id, const std::wstring& pseudonim, const std::wstring& dir,
                    const std::wstring& file, const std::wstring& time, const std::wstring& crc) {
  return L"\"" + Wide(id) + L"\",\"" + pseudonim + L"\",\"" + dir + L"\",\"" + file + L"\",\"" + time + L"\",\"" +
         crc + L"\"";
}
std::wstring NoData(const std::string& id, const std::wstring& pseudonim, const std::wstring& dir) {
  return Record(id, pseudonim, dir, L"", L"0000-00-00 00-00-00", L"0000000000");
}

class ServerInterop : public AddInTest {
 protected:
  void SetUp() override {
    AddInTest::SetUp();
    ASSERT_TRUE(exchange.Write(L"config.xml", ServerConfigXml({{kId1, u8"Агент 1", "PPC1"},
                                                                {kId2, u8"Агент 2", "PPC2"},
                                                                {kId3, u8"Агент 3", "PPC3"}})));
  }
  void TearDown() override {
    CallProc(kDisableServer, {});
    AddInTest::TearDown();
  }

  void SetDir(const std::wstring& folder) { ASSERT_EQ(S_OK, CallProc(kSetExchangeDir, {Variant(folder)})); }
  void SetDir() { SetDir(exchange.Path()); }
  std::wstring Info(const Variant& which) {
    Variant result;
    EXPECT_EQ(S_OK, CallFunc(kGetPPCInfo, {which}, result));
    EXPECT_EQ(VT_BSTR, result.Type());
    return result.String();
  }
  long Count() {
    Variant result;
    EXPECT_EQ(S_OK, CallFunc(kGetPPCCount, {}, result));
    return result.Long();
  }
  void Deliver(const std::wstring& file, const std::string& bytes = "PK\x05\x06") {
    ASSERT_TRUE(exchange.Write(file, bytes));
  }
  std::wstring NextAnnouncement(DWORD ms) { return ::NextAnnouncement(*connection, ms); }

  ExchangeFolder exchange{L"srv"};
};

TEST_F(ServerInterop, InfoRecordsOfDevicesWithAndWithoutNewData) {
  Deliver(L"PPC1\\To1C.zip");
  ASSERT_TRUE(exchange.Write(L"Status.txt", RecordLine(kId1, "Агент 1", "PPC1\\To1C.zip", kTime, "4000000000") +
                                                RecordLine(kId2, "Агент 2", "PPC2\\To1C.zip", kTime, "17")));
  EXPECT_EQ(0, Count());
  SetDir();
  EXPECT_EQ(3, Count());
  Variant dir;
  ASSERT_EQ(S_OK, CallFunc(kGetExchangeDir, {}, dir));
  EXPECT_EQ(exchange.Path() + L"\\", dir.String());

  const std::wstring first =
      Record(kId1, L"Агент 1", L"PPC1", L"PPC1\\To1C.zip", L"2026-12-10 09-15-30", L"4000000000");
  EXPECT_EQ(first, Info(Variant(0L)));
  // Delivered once, but the file has been taken away; a device without a record.
  EXPECT_EQ(NoData(kId2, L"Агент 2", L"PPC2"), Info(Variant(1L)));
  EXPECT_EQ(NoData(kId3, L"Агент 3", L"PPC3"), Info(Variant(2L)));
  // Indexes are clamped; identifiers are found in any case.
  EXPECT_EQ(NoData(kId3, L"Агент 3", L"PPC3"), Info(Variant(99L)));
  EXPECT_EQ(first, Info(Variant(-1L)));
  std::wstring lower = Wide(kId1);
  CharLowerW(&lower[0]);
  EXPECT_EQ(first, Info(Variant(lower)));
  EXPECT_EQ(L"", Info(Variant(L"5E1F0000-0000-4000-8000-000000000009")));
  EXPECT_EQ(L"", Info(Variant(L"00000000-0000-0000-0000-000000000000")));
  EXPECT_EQ(L"", Info(Variant(L"5E1F0000")));
  EXPECT_EQ(L"", Info(Variant(1.0)));
}

TEST_F(ServerInterop, ExchangeFolderGetsOneTrailingBackslashAndMissingFilesReadEmpty) {
  SetDir(exchange.Path() + L"\\");
  Variant dir;
  ASSERT_EQ(S_OK, CallFunc(kGetExchangeDir, {}, dir));
  EXPECT_EQ(exchange.Path() + L"\\", dir.String());
  EXPECT_EQ(3, Count());  // no Status.txt, no Stack.txt
  EXPECT_EQ(NoData(kId1, L"Агент 1", L"PPC1"), Info(Variant(0L)));

  // A folder without config.xml has no devices; a number is no folder.
  ExchangeFolder empty{L"empty"};
  SetDir(empty.Path());
  EXPECT_EQ(0, Count());
  EXPECT_EQ(L"", Info(Variant(0L)));
  ASSERT_EQ(S_OK, CallProc(kSetExchangeDir, {Variant(5L)}));
  ASSERT_EQ(S_OK, CallFunc(kGetExchangeDir, {}, dir));
  EXPECT_EQ(empty.Path() + L"\\", dir.String());
}

TEST_F(ServerInterop, ConfigEntriesLackingAnAttributeAreSkipped) {
  ASSERT_TRUE(exchange.Write(
      L"config.xml",
      "<?xml version=\"1.0\"?><Other><PPC DEVICE_ID=\"" + kId1 + "\" PSEUDONIM=\"A\" DIRECTORY=\"D\"/>"
      "<PPC DEVICE_ID=\"" + kId2 + "\" PSEUDONIM=\"B\"/><Group><PPC DEVICE_ID=\"" + kId3 +
      "\" PSEUDONIM=\"C\" DIRECTORY=\"E\"/></Group><PPC DEVICE_ID=\"bad\" PSEUDONIM=\"F\" DIRECTORY=\"G\"/></Other>"));
  SetDir();
  ASSERT_EQ(2, Count());  // the root's name is not checked; only its own PPC children count
  EXPECT_EQ(NoData("00000000-0000-0000-0000-000000000000", L"F", L"G"), Info(Variant(1L)));
}

TEST_F(ServerInterop, StackLineStandsInForADeliveryWhoseFileIsGone) {
  Deliver(L"PPC1\\report.dat");
  Deliver(L"PPC2\\To1C.zip");
  ASSERT_TRUE(exchange.Write(L"Status.txt", RecordLine(kId1, "A", "PPC1\\To1C.zip", kTime, "1") +
                                                RecordLine(kId2, "B", "PPC2\\To1C.zip", kTime, "2")));
  ASSERT_TRUE(exchange.Write(L"Stack.txt",
                             RecordLine(kId1, "A", "PPC1\\report.dat", "2026-12-09 08-00-01", "3") +
                                 RecordLine(kId2, "B", "PPC2\\other.dat", kTime, "4") +  // file missing
                                 kId3 + "\tC\tPPC3\\To1C.zip\r\n"));                     // too few fields
  SetDir();
  EXPECT_EQ(Record(kId1, L"Агент 1", L"PPC1", L"PPC1\\report.dat", L"2026-12-09 08-00-01", L"0000000003"),
            Info(Variant(0L)));
  // Status.txt's own delivery is still there: the stacked one waits.
  Deliver(L"PPC2\\other.dat");
  EXPECT_EQ(Record(kId2, L"Агент 2", L"PPC2", L"PPC2\\To1C.zip", L"2026-12-10 09-15-30", L"0000000002"),
            Info(Variant(1L)));
}

TEST_F(ServerInterop, TimeFieldsOfEachAcceptedLength) {
  Deliver(L"PPC1\\To1C.zip");
  SetDir();
  const struct {
    const char* field;
    const wchar_t* shown;
  } cases[] = {
      {"2026-12-10", L"2026-12-10 00-00-00"},
      {"2026-12-10 09-15", L"2026-12-10 09-15-00"},
      {"2026/12/10T09:15:30", L"2026-12-10 09-15-30"},
      {"2026-12-10 9-15", L"2000-01-01 00-00-00"},
      {"yesterday", L"2000-01-01 00-00-00"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.field);
    ASSERT_TRUE(exchange.Write(L"Status.txt", RecordLine(kId1, "A", "PPC1\\To1C.zip", c.field, "5")));
    EXPECT_EQ(Record(kId1, L"Агент 1", L"PPC1", L"PPC1\\To1C.zip", c.shown, L"0000000005"), Info(Variant(0L)));
  }
}

// The service rewrites Status.txt while the add-in may read it: a line cut short, or one
// longer than a line may be, never makes a device or a wrong CRC.
TEST_F(ServerInterop, HalfWrittenAndOverlongLinesMakeNoBogusRecord) {
  Deliver(L"PPC1\\To1C.zip");
  Deliver(L"PPC2\\To1C.zip");
  SetDir();
  std::string line = RecordLine(kId1, "A", "PPC1\\To1C.zip", kTime, "1234567890");
  ASSERT_TRUE(exchange.Write(L"Status.txt", line.substr(0, line.size() - 6)));  // cut inside the CRC
  EXPECT_EQ(NoData(kId1, L"Агент 1", L"PPC1"), Info(Variant(0L)));
  ASSERT_TRUE(exchange.Write(L"Status.txt", line));
  EXPECT_EQ(Record(kId1, L"Агент 1", L"PPC1", L"PPC1\\To1C.zip", L"2026-12-10 09-15-30", L"1234567890"),
            Info(Variant(0L)));

  // 1100 characters, the tail of which would read as a record of device 2 if it were cut off.
  std::string tail = RecordLine(kId2, "B", "PPC2\\To1C.zip", kTime, "9");
  std::string longLine = kId3 + "\t" + std::string(1100 - kId3.size() - tail.size(), 'x') + tail;
  ASSERT_TRUE(exchange.Write(L"Status.txt", longLine + line));
  EXPECT_EQ(NoData(kId2, L"Агент 2", L"PPC2"), Info(Variant(1L)));
  EXPECT_EQ(Record(kId1, L"Агент 1", L"PPC1", L"PPC1\\To1C.zip", L"2026-12-10 09-15-30", L"1234567890"),
            Info(Variant(0L)));
}

TEST_F(ServerInterop, FilterAdmitsOnlyTheListedDevices) {
  std::string status;
  for (const std::string* id : {&kId1, &kId2, &kId3}) {
    std::string dir = "PPC" + id->substr(35);
    Deliver(Wide(dir) + L"\\To1C.zip");
    status += RecordLine(*id, "A", dir + "\\To1C.zip", kTime, "7");
  }
  ASSERT_TRUE(exchange.Write(L"Status.txt", status));
  SetDir();
  ASSERT_EQ(S_OK, CallProc(kAddPPCId, {Variant(Wide(kId3))}));
  ASSERT_EQ(S_OK, CallProc(kAddPPCId, {Variant(Wide(kId1))}));
  ASSERT_EQ(S_OK, CallProc(kAddPPCId, {Variant(L"not an identifier")}));
  EXPECT_EQ(NoData(kId2, L"Агент 2", L"PPC2"), Info(Variant(1L)));
  EXPECT_NE(std::wstring::npos, Info(Variant(2L)).find(L"PPC3\\To1C.zip"));

  // Polling announces the admitted devices only, in turn as 1C processes them.
  ASSERT_EQ(S_OK, CallProc(kEnableServer, {Variant(100L)}));
  std::vector<std::wstring> announced;
  for (int i = 0; i < 2; ++i) {
    std::wstring record = NextAnnouncement(3000);
    ASSERT_FALSE(record.empty());
    announced.push_back(record.substr(1, 36));
    ASSERT_EQ(S_OK, CallProc(kProcessDone, {Variant(record.substr(1, 36))}));
    while (connection->PendingEvents()) NextAnnouncement(0);
  }
  EXPECT_EQ((std::vector<std::wstring>{Wide(kId1), Wide(kId3)}), announced);
  EXPECT_EQ(L"", NextAnnouncement(500));
  EXPECT_TRUE(exchange.Exists(L"PPC2\\To1C.zip"));

  ASSERT_EQ(S_OK, CallProc(kClearPPCId, {}));
  EXPECT_NE(std::wstring::npos, NextAnnouncement(3000).find(L"PPC2\\To1C.zip"));
}

TEST_F(ServerInterop, PollAnnouncesTheSameDeviceUntilProcessDone) {
  Deliver(L"PPC1\\To1C.zip");
  Deliver(L"PPC2\\To1C.zip");
  ASSERT_TRUE(exchange.Write(L"Status.txt", RecordLine(kId1, "A", "PPC1\\To1C.zip", kTime, "1") +
                                                RecordLine(kId2, "B", "PPC2\\To1C.zip", kTime, "2")));
  SetDir();
  // Disabled: nothing is announced.
  PumpMessages(300);
  EXPECT_EQ(0u, connection->PendingEvents());

  ASSERT_EQ(S_OK, CallProc(kEnableServer, {Variant(100L)}));
  const std::wstring first = Record(kId1, L"Агент 1", L"PPC1", L"PPC1\\To1C.zip", L"2026-12-10 09-15-30",
                                    L"0000000001");
  EXPECT_EQ(first, NextAnnouncement(3000));
  EXPECT_EQ(first, NextAnnouncement(3000));  // one event a tick, the same device again
  ASSERT_EQ(S_OK, CallProc(kProcessDone, {Variant(Wide(kId1))}));
  EXPECT_FALSE(exchange.Exists(L"PPC1\\To1C.zip"));
  while (connection->PendingEvents()) NextAnnouncement(0);
  EXPECT_NE(std::wstring::npos, NextAnnouncement(3000).find(Wide(kId2)));

  ASSERT_EQ(S_OK, CallProc(kDisableServer, {}));
  while (connection->PendingEvents()) NextAnnouncement(0);
  EXPECT_EQ(L"", NextAnnouncement(500));
}

// A Status.txt larger than a 32-bit process can hold in memory: the method that reads it
// answers the general error and the timer's poll skips the tick, instead of an exception
// unwinding into 1C; both work again once the file is sound.
TEST_F(ServerInterop, StatusFileTooLargeForMemoryIsAnErrorNotACrash) {
  if (sizeof(void*) > 4) GTEST_SKIP() << "a 64-bit process has the memory to read it";
  Deliver(L"PPC1\\To1C.zip");
  SetDir();
  {
    // 1.2 GiB without a line break, sparse on disk: reading it needs a 2 GiB string.
    HANDLE file = CreateFileW(exchange.File(L"Status.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER size;
    size.QuadPart = 1200LL << 20;
    EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
    CloseHandle(file);
  }
  Variant result;
  ASSERT_EQ(S_OK, CallFunc(kGetPPCInfo, {Variant(0L)}, result));
  EXPECT_EQ(VT_I4, result.Type());
  EXPECT_EQ(100, result.Long());

  ASSERT_EQ(S_OK, CallProc(kEnableServer, {Variant(100L)}));
  EXPECT_EQ(L"", NextAnnouncement(1500));  // ticks run out of memory and are skipped
  ASSERT_TRUE(exchange.Write(L"Status.txt", RecordLine(kId1, "A", "PPC1\\To1C.zip", kTime, "1")));
  const std::wstring first = Record(kId1, L"Агент 1", L"PPC1", L"PPC1\\To1C.zip", L"2026-12-10 09-15-30",
                                    L"0000000001");
  EXPECT_EQ(first, NextAnnouncement(10000));
  EXPECT_EQ(first, Info(Variant(0L)));
}

// A record's file field that climbs out of the exchange folder is never deleted.
TEST_F(ServerInterop, ProcessDoneDeletesOnlyInsideTheExchangeFolder) {
  ExchangeFolder outside{L"o"};  // short: the record keeps 63 characters of a file
  ASSERT_TRUE(outside.Write(L"keep.txt", "precious"));
  // The file named relative to the exchange folder, climbing out of it.
  std::wstring up = L"..\\" + outside.Path().substr(outside.Path().rfind(L'\\') + 1) + L"\\keep.txt";
  for (const std::wstring& file : {up, L"PPC1\\..\\" + up}) {
    std::string ansi(file.size() * 2 + 1, '\0');
    ansi.resize(WideCharToMultiByte(CP_ACP, 0, file.c_str(), -1, &ansi[0], int(ansi.size()), nullptr, nullptr) - 1);
    SCOPED_TRACE(ansi);
    ASSERT_TRUE(exchange.Write(L"Status.txt", RecordLine(kId1, "A", ansi, kTime, "1")));
    SetDir();
    ASSERT_NE(std::wstring::npos, Info(Variant(0L)).find(L"keep.txt"));  // seen as new data
    ASSERT_EQ(S_OK, CallProc(kProcessDone, {Variant(Wide(kId1))}));
    EXPECT_TRUE(outside.Exists(L"keep.txt"));
  }
  // Inside the folder, through a sub-folder, it is deleted.
  Deliver(L"PPC1\\sub\\a.zip");
  ASSERT_TRUE(exchange.Write(L"Status.txt", RecordLine(kId1, "A", "PPC1\\sub\\a.zip", kTime, "1")));
  ASSERT_EQ(S_OK, CallProc(kProcessDone, {Variant(Wide(kId1))}));
  EXPECT_FALSE(exchange.Exists(L"PPC1\\sub\\a.zip"));
}

TEST_F(ServerInterop, FieldOfAnInfoRecord) {
  const std::wstring full = Record(kId1, L"Агент 1", L"PPC1", L"PPC1\\To1C.zip", L"2026-12-10 09-15-30", L"0000000042");
  const struct {
    std::wstring record, name, field;
  } cases[] = {
      {L"\"A\",\"B\"", L"PSEUDONIM", L"B"},
      {L"\"A\",\"B\"", L"pseudonim", L"B"},
      {L"\"A\",\"B\"", L"Device_Id", L"A"},
      {L"\"A\",\"B\"", L"crc", L""},
      {L"\"A\",\"B\"", L"agent", L""},
      {L"\"x,y\",\"B\"", L"pseudonim", L"y"},   // every comma ends a field
      {L"a\"b\"c,d", L"device_id", L"b"},       // only the quoted stretches are kept
      {full, L"DIRECTORY", L"PPC1"},
      {full, L"file", L"PPC1\\To1C.zip"},
      {full, L"time", L"2026-12-10 09-15-30"},
      {full, L"CRC", L"0000000042"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.name);
    Variant result;
    ASSERT_EQ(S_OK, CallFunc(kGetFieldPPCInfo, {Variant(c.record), Variant(c.name)}, result));
    EXPECT_EQ(c.field, result.String());
  }
}
}  // namespace
