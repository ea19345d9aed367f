// The Map9 interop through the stand-in map program (velora-map9) and the host emulator:
// requests become "Map9" events raised from the listener thread and queued by the host,
// answers go back through the shared memory.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <thread>

#include "addin_fixture.h"

namespace {
const long kEnable = 67, kDisable = 68, kEnd = 69;

std::wstring Map9Exe() {
  std::wstring path = ExeDir();
  for (const char* p = VELORA_MAP9_EXE; *p; ++p) path += *p == '/' ? L'\\' : wchar_t(*p);
  return L"\"" + path + L"\"";
}

size_t ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  size_t count = 0;
  for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
    if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
  CloseHandle(snapshot);
  return count;
}

// The thread count once it has settled at `expected`, or what it is after `ms`.
size_t ThreadCountSettling(size_t expected, DWORD ms) {
  DWORD start = GetTickCount();
  size_t n = ThreadCount();
  while (n != expected && GetTickCount() - start < ms) {
    Sleep(50);
    n = ThreadCount();
  }
  return n;
}

// The stand-in program, run on a thread of its own while the test plays 1C.
class MapProgram {
 public:
  explicit MapProgram(const std::wstring& arguments, DWORD ms = 20000)
      : worker([this, arguments, ms] { result = RunProcess(Map9Exe() + L" " + arguments, ms); }) {}
  ProcessResult Finish() {
    worker.join();
    return result;
  }

 private:
  ProcessResult result;
  std::thread worker;
};

class Map9 : public AddInTest {
 protected:
  void SetUp() override {
    HostOptions options;
    options.eventBufferDepth = 16;
    Start(options);
    baseThreads = ThreadCount();
  }
  void Call(long method, std::vector<Variant> args = {}) {
    Variant result;
    EXPECT_EQ(S_OK, CallFunc(method, std::move(args), result));
    EXPECT_EQ(VT_EMPTY, result.Type());  // these methods set no value
  }
  bool NextEvent(HostEvent& event, DWORD ms) {
    DWORD start = GetTickCount();
    while (!connection->PopEvent(event)) {
      if (GetTickCount() - start > ms) return false;
      WaitForSingleObject(connection->EventSignal(), 50);
    }
    return true;
  }
  size_t baseThreads = 0;
};

TEST_F(Map9, RequestRaisesEventAndGetsTheAnswer) {
  Call(kEnable);
  MapProgram program(L"ПоказатьКонтрагента \"Код 000123; склад №2\"");
  HostEvent event;
  ASSERT_TRUE(NextEvent(event, 15000));
  EXPECT_EQ(L"Map9", event.source);
  EXPECT_EQ(L"ПоказатьКонтрагента", event.message);
  EXPECT_EQ(L"Код 000123; склад №2", event.data);
  Call(kEnd, {Variant(42)});
  ProcessResult r = program.Finish();
  EXPECT_EQ(0u, r.exitCode) << r.output;
  EXPECT_NE(std::string::npos, r.output.find("result: 42")) << r.output;

  // The listener goes on: a second request, answered with a negative number.
  MapProgram second(L"Второй");
  ASSERT_TRUE(NextEvent(event, 15000));
  EXPECT_EQ(L"Второй", event.message);
  EXPECT_EQ(L"", event.data);
  Call(kEnd, {Variant(-7)});
  EXPECT_NE(std::string::npos, second.Finish().output.find("result: -7"));
  Call(kDisable);
}

TEST_F(Map9, EndOperationWithoutRequestOnlySignals) {
  HANDLE answer = OpenEventW(SYNCHRONIZE, FALSE, L"Map9ReturnEvent");
  ASSERT_NE(nullptr, answer);
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 64, L"Map9FileMapping");
  ASSERT_NE(nullptr, mapping);
  auto* view = static_cast<DWORD*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
  view[0] = 0x12345678;
  Call(kEnd, {Variant(5)});
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(answer, 0));
  EXPECT_EQ(0x12345678u, view[0]);  // no request open: the memory is not touched
  UnmapViewOfFile(view);
  CloseHandle(mapping);
  CloseHandle(answer);
}

TEST_F(Map9, EnablingTwiceLeavesOneListener) {
  Call(kEnable);
  Call(kEnable);
  // The second listener gives up after waiting 1000 ms for the mutex.
  EXPECT_EQ(baseThreads + 1, ThreadCountSettling(baseThreads + 1, 3000));
  Sleep(300);
  EXPECT_EQ(baseThreads + 1, ThreadCount());
  MapProgram program(L"Один");
  HostEvent event;
  ASSERT_TRUE(NextEvent(event, 15000));
  Call(kEnd, {Variant(3)});
  EXPECT_NE(std::string::npos, program.Finish().output.find("result: 3"));
  EXPECT_FALSE(NextEvent(event, 300)) << "a second listener raised the request again";
  Call(kDisable);
  EXPECT_EQ(baseThreads, ThreadCountSettling(baseThreads, 3000));
}

// Requests that cannot be taken are answered at once with no event, and the listener goes
// on: shared memory that cannot be opened, and strings without their zeros (read only
// within the view, never past it).
TEST_F(Map9, RequestsThatCannotBeTakenAreAnswered) {
  Call(kEnable);
  for (const wchar_t* arguments : {L"--no-mapping Пусто", L"--no-zeros --size 4096 Длинный"}) {
    SCOPED_TRACE(arguments);
    MapProgram program(arguments);
    ProcessResult r = program.Finish();
    EXPECT_EQ(0u, r.exitCode) << r.output;
    HostEvent event;
    EXPECT_FALSE(NextEvent(event, 300)) << "event " << event.message.size();
  }
  MapProgram program(L"ПослеОшибок данные");
  HostEvent event;
  ASSERT_TRUE(NextEvent(event, 15000));
  EXPECT_EQ(L"ПослеОшибок", event.message);
  Call(kEnd, {Variant(0)});
  EXPECT_NE(std::string::npos, program.Finish().output.find("result: 0"));
  Call(kDisable);
}

TEST_F(Map9, DisableDuringRequestAnswersOne) {
  Call(kEnable);
  MapProgram program(L"Ждёт");
  HostEvent event;
  ASSERT_TRUE(NextEvent(event, 15000));
  Call(kDisable);
  ProcessResult r = program.Finish();
  EXPECT_NE(std::string::npos, r.output.find("result: 1")) << r.output;
  EXPECT_EQ(baseThreads, ThreadCountSettling(baseThreads, 3000));
  // Disabled: a request finds no listener and goes unanswered.
  ProcessResult late = MapProgram(L"--timeout 500 Поздно").Finish();
  EXPECT_EQ(2u, late.exitCode) << late.output;
}

TEST_F(Map9, DestroyingTheObjectEndsTheListener) {
  Call(kEnable);
  EXPECT_EQ(baseThreads + 1, ThreadCountSettling(baseThreads + 1, 3000));
  Stop();
  EXPECT_EQ(baseThreads, ThreadCountSettling(baseThreads, 3000));
  // A new object takes the session's listener over.
  Start(HostOptions());
  Call(kEnable);
  MapProgram program(L"Снова");
  HostEvent event;
  ASSERT_TRUE(NextEvent(event, 15000));
  Call(kEnd, {Variant(9)});
  EXPECT_NE(std::string::npos, program.Finish().output.find("result: 9"));
}
}  // namespace
