// Schedules: SheduleSet's answers through the host emulator; the parsed records and the
// firing rules with a clock the test sets and steps, on the component's linked code with
// the host's connection receiving the events; and one run with the real clock and timer.
#include <cstring>

#include "addin.h"
#include "addin_fixture.h"
#include "schedule_list.h"
#include "server_link.h"

namespace {
enum { kEnableServer = 47, kDisableServer = 48, kSet = 77, kRemove = 78, kEnable = 79, kConfirm = 80 };
const ULONGLONG kSecond = kTicksPerSecond;

long CallLong(ILanguageExtender* extender, long method, const std::vector<Variant>& args) {
  SAFEARRAY* array = MakeParamArray(args);
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(S_OK, extender->CallAsFunc(method, &result, &array));
  SafeArrayDestroy(array);
  EXPECT_EQ(VT_I4, V_VT(&result));
  long value = V_VT(&result) == VT_I4 ? V_I4(&result) : -12345;
  VariantClear(&result);
  return value;
}

class ScheduleCodes : public AddInTest {
 protected:
  long Call(long method, const std::vector<Variant>& args) { return CallLong(Ext(), method, args); }
};

TEST_F(ScheduleCodes, SheduleSetAnswersEachCodeForItsInput) {
  std::wstring month32 = L"DayOfMonth";
  for (int d = 1; d <= 31; ++d) month32 += L"," + std::to_wstring(d);
  const struct {
    Variant name, period, times, confirm;
    long code;
  } cases[] = {
      {Variant(L"ok"), Variant(L"DayOfWeek,1,2"), Variant(L"8:00"), Variant(0L), 0},
      {Variant(std::wstring(127, L'я')), Variant(L"dayofmonth, 1"), Variant(L"8"), Variant(1L), 0},
      {Variant(5L), Variant(L"DayOfWeek,1"), Variant(L"8:00"), Variant(0L), 111},
      {Variant(L"ok"), Variant(1L), Variant(L"8:00"), Variant(0L), 111},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(8L), Variant(0L), 111},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(L"8:00"), Variant(L"1"), 111},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(L"8:00"), Variant(), 111},
      {Variant(L"x"), Variant(L"DayOfWeek,1"), Variant(L"8:00"), Variant(0L), 112},
      {Variant(std::wstring(128, L'a')), Variant(L"DayOfWeek,1"), Variant(L"8:00"), Variant(0L), 112},
      {Variant(L"ok"), Variant(L"Weekly,1"), Variant(L"8:00"), Variant(0L), 113},
      {Variant(L"ok"), Variant(L" DayOfWeek,1"), Variant(L"8:00"), Variant(0L), 113},
      {Variant(L"ok"), Variant(L"DayOfWeek,8"), Variant(L"8:00"), Variant(0L), 114},
      {Variant(L"ok"), Variant(L"DayOfMonth,32"), Variant(L"8:00"), Variant(0L), 114},
      {Variant(L"ok"), Variant(month32 + L",1"), Variant(L"8:00"), Variant(0L), 115},
      {Variant(L"ok"), Variant(L"DayOfWeek,1,2,3,4,5,6,7,1"), Variant(L"8:00"), Variant(0L), 115},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(L"24:00"), Variant(0L), 116},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(L"8:60"), Variant(0L), 116},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(L"8:00:60"), Variant(0L), 116},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(L"eight"), Variant(0L), 116},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(L"8:00,7:59"), Variant(0L), 116},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(L"8:00,+24"), Variant(0L), 116},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(L"8:00,9:00,0:61"), Variant(0L), 117},
      {Variant(L"ok"), Variant(L"DayOfWeek,1"), Variant(L"8:00,9:00,often"), Variant(0L), 117},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name.Text() + L" " + c.period.Text() + L" " + c.times.Text() + L" " + c.confirm.Text());
    EXPECT_EQ(c.code, Call(kSet, {c.name, c.period, c.times, c.confirm}));
  }
}

TEST_F(ScheduleCodes, EnableRemoveAndConfirmRefuseWhatTheyCannotUse) {
  ASSERT_EQ(0, Call(kSet, {Variant(L"Утро"), Variant(L"DayOfWeek,1"), Variant(L"8:00"), Variant(1L)}));
  EXPECT_EQ(0, Call(kEnable, {Variant(L"утро"), Variant(1L)}));  // names in any case
  EXPECT_EQ(119, Call(kEnable, {Variant(L"вечер"), Variant(1L)}));
  EXPECT_EQ(111, Call(kEnable, {Variant(L"Утро"), Variant(L"1")}));
  EXPECT_EQ(111, Call(kEnable, {Variant(1L), Variant(1L)}));
  EXPECT_EQ(111, Call(kConfirm, {Variant(1L)}));
  EXPECT_EQ(119, Call(kConfirm, {Variant(L"5E1F0000-0000-4000-8000-000000000001")}));
  EXPECT_EQ(119, Call(kConfirm, {Variant(L"no identifier")}));
  EXPECT_EQ(111, Call(kRemove, {Variant(1.5)}));
  EXPECT_EQ(119, Call(kRemove, {Variant(L"вечер")}));
  EXPECT_EQ(0, Call(kRemove, {Variant(L"УТРО")}));
  EXPECT_EQ(119, Call(kEnable, {Variant(L"Утро"), Variant(1L)}));
}

// A local clock the test sets and steps.
class TestClock : public LocalClock {
 public:
  ULONGLONG Now() const override { return now; }
  void Set(WORD day, WORD hour, WORD minute, WORD second) {  // of December 2026 (the 6th a Sunday)
    SYSTEMTIME t = {};
    t.wYear = 2026, t.wMonth = 12, t.wDay = day, t.wHour = hour, t.wMinute = minute, t.wSecond = second;
    now = LocalTimeToCount(t);
  }
  ULONGLONG now = 0;
};

struct Fired {
  std::wstring name, data;
  ULONGLONG at;
};

// The component from the linked code, Init with the host's connection, and the test clock.
class ScheduleRules : public ::testing::Test {
 protected:
  void SetUp() override {
    HostOptions options;
    options.eventBufferDepth = 1000;
    connection = HostConnection::Create(options);
    addIn = new CAddIn();
    ASSERT_EQ(S_OK, addIn->Init(connection));
    addIn->schedules->clock = &clock;
  }
  void TearDown() override {
    addIn->Done();
    addIn->Release();
    connection->Release();
  }
  long Call(long method, const std::vector<Variant>& args) { return CallLong(addIn, method, args); }
  void Proc(long method, const std::vector<Variant>& args) {
    SAFEARRAY* array = MakeParamArray(args);
    EXPECT_EQ(S_OK, addIn->CallAsProc(method, &array));
    SafeArrayDestroy(array);
  }
  long Set(const wchar_t* name, const wchar_t* period, const wchar_t* times, long confirm = 0) {
    return Call(kSet, {Variant(name), Variant(period), Variant(times), Variant(confirm)});
  }
  void Enable(const wchar_t* name) { ASSERT_EQ(0, Call(kEnable, {Variant(name), Variant(1L)})); }
  const Schedule& Record(const wchar_t* name) {
    static Schedule none = {};
    Schedule* s = addIn->schedules->Find(name);
    EXPECT_NE(nullptr, s) << "no schedule";
    return s ? *s : none;
  }
  // One timer check at the clock's time; the events it raised.
  std::vector<Fired> Check() {
    addIn->schedules->Check();
    std::vector<Fired> fired;
    HostEvent e;
    while (connection->PopEvent(e)) {
      EXPECT_EQ(L"VLShedule", e.source);
      fired.push_back({e.message, e.data, clock.now});
    }
    return fired;
  }
  // Checks every five seconds from now until `seconds` have passed (the first at now + 5 s).
  std::vector<Fired> Run(ULONGLONG seconds) {
    std::vector<Fired> all;
    for (ULONGLONG t = 0; t < seconds; t += 5) {
      clock.now += 5 * kSecond;
      for (const Fired& f : Check()) all.push_back(f);
    }
    return all;
  }
  ULONGLONG At(WORD day, WORD hour, WORD minute, WORD second) {
    TestClock t;
    t.Set(day, hour, minute, second);
    return t.now;
  }

  TestClock clock;
  CAddIn* addIn = nullptr;
  HostConnection* connection = nullptr;
};

TEST_F(ScheduleRules, SetParsesPeriodsTimesAndConfirmation) {
  const ULONGLONG h = 3600 * kSecond, m = 60 * kSecond;
  ASSERT_EQ(0, Set(L"week", L"DayOfWeek, 1, 3 ,5,x,-2", L"8:30,+1:15"));
  const Schedule& week = Record(L"week");
  EXPECT_EQ(1, week.periodKind);
  EXPECT_EQ(0, std::memcmp(week.days, "\x01\x03\x05\0", 4));
  EXPECT_EQ(8 * h + 30 * m, week.startOfDay);
  EXPECT_EQ(9 * h + 45 * m, week.endOfDay);
  EXPECT_EQ(0u, week.interval);

  ASSERT_EQ(0, Set(L"month", L"DAYOFMONTH,31,15", L"8.00.30,12-00,0:30", 1));
  const Schedule& month = Record(L"month");
  EXPECT_EQ(2, month.periodKind);
  EXPECT_EQ(0, std::memcmp(month.days, "\x1F\x0F\0", 3));
  EXPECT_EQ(8 * h + 30 * kSecond, month.startOfDay);
  EXPECT_EQ(12 * h, month.endOfDay);
  EXPECT_EQ(30 * m, month.interval);
  EXPECT_EQ(1, month.confirm);

  // Confirmation: cleared by an interval under a minute; a minute's window without an end.
  ASSERT_EQ(0, Set(L"fast", L"DayOfWeek,1", L"8:00,9:00,0:0:59", 1));
  EXPECT_EQ(0, Record(L"fast").confirm);
  ASSERT_EQ(0, Set(L"slow", L"DayOfWeek,1", L"8:00,9:00,0:1", 1));
  EXPECT_EQ(1, Record(L"slow").confirm);
  ASSERT_EQ(0, Set(L"open", L"DayOfWeek,1", L"8:00", 1));
  EXPECT_EQ(8 * h + m, Record(L"open").endOfDay);
  ASSERT_EQ(0, Set(L"unconfirmed", L"DayOfWeek,1", L"8:00"));
  EXPECT_EQ(kNoTime, Record(L"unconfirmed").endOfDay);
  ASSERT_EQ(0, Set(L"midnight", L"DayOfWeek,1", L",,1", 1));  // start 0: no window added
  EXPECT_EQ(0u, Record(L"midnight").startOfDay);
  EXPECT_EQ(kNoTime, Record(L"midnight").endOfDay);
  EXPECT_EQ(h, Record(L"midnight").interval);

  // The same name in another case replaces the schedule and leaves it disabled.
  clock.Set(7, 9, 0, 0);  // Monday, inside 8:30 to 9:45
  Enable(L"week");
  EXPECT_TRUE(Record(L"week").enabled);
  EXPECT_NE(0u, Record(L"week").nextFire);
  unsigned count = addIn->schedules->Count();
  ASSERT_EQ(0, Set(L"WEEK", L"DayOfWeek,2", L"9:00"));
  EXPECT_EQ(count, addIn->schedules->Count());
  EXPECT_FALSE(Record(L"week").enabled);
  EXPECT_EQ(0u, Record(L"week").nextFire);
  EXPECT_EQ(2, Record(L"week").days[0]);
  EXPECT_TRUE(Check().empty());
}

TEST_F(ScheduleRules, WithoutAListEveryMethodAnswers100) {
  delete addIn->schedules;
  addIn->schedules = nullptr;
  EXPECT_EQ(100, Set(L"name", L"DayOfWeek,1", L"8:00"));
  EXPECT_EQ(100, Call(kEnable, {Variant(L"name"), Variant(1L)}));
  EXPECT_EQ(100, Call(kRemove, {Variant(L"name")}));
  EXPECT_EQ(100, Call(kConfirm, {Variant(L"name")}));
  EXPECT_EQ(111, Call(kSet, {Variant(1L), Variant(L"DayOfWeek,1"), Variant(L"8:00"), Variant(0L)}));  // types first
}

TEST_F(ScheduleRules, DaySevenIsSundayAndDaysOfTheMonthCount) {
  ASSERT_EQ(0, Set(L"sunday", L"DayOfWeek,7", L"8:00,18:00"));
  ASSERT_EQ(0, Set(L"the 7th", L"DayOfMonth,7", L"8:00,18:00"));
  // Monday to Saturday: its unused seventh entry (0) must not stand for Sunday.
  ASSERT_EQ(0, Set(L"not sunday", L"DayOfWeek,1,2,3,4,5,6", L"8:00,18:00"));
  const struct {
    WORD day;
    bool sunday, seventh;
  } days[] = {{5, false, false}, {6, true, false}, {7, false, true}, {13, true, false}};
  for (const auto& d : days) {
    SCOPED_TRACE(d.day);
    clock.Set(d.day, 9, 0, 0);
    Enable(L"sunday");
    Enable(L"the 7th");
    Enable(L"not sunday");
    std::vector<Fired> fired = Check();
    std::vector<std::wstring> names;
    for (const Fired& f : fired) names.push_back(f.name);
    std::vector<std::wstring> expected;
    if (d.sunday) expected.push_back(L"sunday");
    if (d.seventh) expected.push_back(L"the 7th");
    if (!d.sunday) expected.push_back(L"not sunday");
    EXPECT_EQ(expected, names);
  }
}

TEST_F(ScheduleRules, OnceADayFiresOnlyWithinTheFirstMinute) {
  ASSERT_EQ(0, Set(L"daily", L"DayOfWeek,1,2,3,4,5,6,7", L"8:00"));
  // Enabled at 8:00:30: one event, none more that day.
  clock.Set(7, 8, 0, 30);
  Enable(L"daily");
  std::vector<Fired> fired = Check();
  ASSERT_EQ(1u, fired.size());
  EXPECT_EQ(L"daily", fired[0].name);
  EXPECT_EQ(L"", fired[0].data);
  EXPECT_TRUE(Run(16 * 3600 - 60).empty());  // to 23:59:30

  // Enabled at 8:02 it does not fire that day.
  clock.Set(8, 8, 2, 0);
  Enable(L"daily");
  EXPECT_TRUE(Check().empty());
  EXPECT_TRUE(Run(3600).empty());

  // After midnight, a schedule at 0:00 fires in the first minute of the new day.
  ASSERT_EQ(0, Set(L"midnight", L"DayOfWeek,1,2,3,4,5,6,7", L"0:00"));
  clock.Set(8, 23, 59, 0);
  Enable(L"midnight");
  fired = Run(120);
  ASSERT_EQ(1u, fired.size());
  EXPECT_EQ(L"midnight", fired[0].name);
  EXPECT_GE(fired[0].at, At(9, 0, 0, 0));
  EXPECT_LT(fired[0].at, At(9, 0, 1, 0));
}

TEST_F(ScheduleRules, IntervalRepeatsInsideTheWindowAndStopsAtItsEnd) {
  ASSERT_EQ(0, Set(L"every 20 min", L"DayOfWeek,1", L"8:00,9:00,0:20"));
  clock.Set(7, 8, 0, 0);
  Enable(L"every 20 min");
  std::vector<Fired> fired = Check();
  for (const Fired& f : Run(4 * 3600)) fired.push_back(f);
  std::vector<ULONGLONG> times;
  for (const Fired& f : fired) times.push_back(f.at);
  EXPECT_EQ((std::vector<ULONGLONG>{At(7, 8, 0, 0), At(7, 8, 20, 0), At(7, 8, 40, 0), At(7, 9, 0, 0)}), times);
}

TEST_F(ScheduleRules, ConfirmedScheduleRepeatsItsIdentifierUntilConfirmed) {
  ASSERT_EQ(0, Set(L"confirm", L"DayOfWeek,1", L"8:00,9:00", 1));
  clock.Set(7, 8, 0, 0);
  Enable(L"confirm");
  std::vector<Fired> fired = Check();
  for (const Fired& f : Run(15)) fired.push_back(f);
  ASSERT_EQ(4u, fired.size());
  const std::wstring id = fired[0].data;
  ASSERT_EQ(36u, id.size());
  for (const Fired& f : fired) EXPECT_EQ(id, f.data);
  EXPECT_EQ(119, Call(kConfirm, {Variant(L"5E1F0000-0000-4000-8000-000000000001")}));
  EXPECT_EQ(1u, Run(5).size());
  EXPECT_EQ(0, Call(kConfirm, {Variant(id)}));
  EXPECT_EQ(119, Call(kConfirm, {Variant(id)}));
  EXPECT_TRUE(Run(3 * 3600).empty());  // once a day: next time tomorrow

  // With an interval, the confirmation re-arms it: a new identifier an interval later.
  ASSERT_EQ(0, Set(L"confirm", L"DayOfWeek,2", L"8:00,12:00,0:10", 1));
  clock.Set(8, 8, 0, 0);
  Enable(L"confirm");
  fired = Check();
  ASSERT_EQ(1u, fired.size());
  clock.Set(8, 8, 1, 0);
  EXPECT_EQ(0, Call(kConfirm, {Variant(fired[0].data)}));
  std::vector<Fired> later = Run(15 * 60);
  ASSERT_FALSE(later.empty());
  EXPECT_EQ(At(8, 8, 11, 0), later[0].at);
  EXPECT_NE(fired[0].data, later[0].data);
  for (const Fired& f : later) EXPECT_EQ(later[0].data, f.data);
}

TEST_F(ScheduleRules, UnconfirmedEventsEndWithTheWindow) {
  // No end given: the window is the first minute.
  ASSERT_EQ(0, Set(L"minute", L"DayOfWeek,1", L"8:00", 1));
  clock.Set(7, 8, 0, 0);
  Enable(L"minute");
  std::vector<Fired> fired = Check();
  for (const Fired& f : Run(600)) fired.push_back(f);
  ASSERT_EQ(13u, fired.size());  // 8:00:00 to 8:01:00
  EXPECT_EQ(At(7, 8, 1, 0), fired.back().at);
  EXPECT_EQ(119, Call(kConfirm, {Variant(fired[0].data)}));  // expired: nothing awaits
}

TEST_F(ScheduleRules, TwentySecondPassArmsAWindowThatOpensLater) {
  ASSERT_EQ(0, Set(L"eight", L"DayOfWeek,1", L"8:00"));
  clock.Set(7, 7, 59, 59);
  Enable(L"eight");
  EXPECT_EQ(0u, Record(L"eight").nextFire);  // its window has not opened
  std::vector<Fired> fired = Check();
  for (const Fired& f : Run(120)) fired.push_back(f);
  ASSERT_EQ(1u, fired.size());
  EXPECT_GT(fired[0].at, At(7, 8, 0, 20));  // armed by a pass 20 s after the last one
  EXPECT_LT(fired[0].at, At(7, 8, 0, 35));
  // A disabled schedule is never armed by the pass.
  ASSERT_EQ(0, Call(kEnable, {Variant(L"eight"), Variant(0L)}));
  clock.Set(14, 7, 59, 59);
  EXPECT_TRUE(Run(120).empty());
}

// The real clock and the real timer: the event reaches the host's IAsyncEvent within two
// checks, and each of polling and schedules leaves the other's timer running.
class ScheduleTimer : public ScheduleRules {
 protected:
  void SetUp() override {
    ScheduleRules::SetUp();
    addIn->schedules->clock = &SystemLocalClock();
  }
};

TEST_F(ScheduleTimer, ScheduleForNowRaisesItsEventAndTheLastRemovalStopsTheTimer) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  if (now.wHour == 23 && now.wMinute == 59) {
    PumpMessages(61000);  // the window would reach into tomorrow
    GetLocalTime(&now);
  }
  wchar_t times[16];
  swprintf(times, 16, L"%d:%d:%d", now.wHour, now.wMinute, now.wSecond);
  ASSERT_EQ(0, Set(L"now", L"DayOfWeek,1,2,3,4,5,6,7", times));
  ASSERT_NE(0u, addIn->timerId);
  Enable(L"now");
  HostEvent event;
  ASSERT_TRUE(WaitForEvent(*connection, 11000, event)) << "no event within two checks";
  EXPECT_EQ(L"VLShedule", event.source);
  EXPECT_EQ(L"now", event.message);

  // Polling joins the running timer; removing the last schedule leaves it to polling.
  UINT_PTR timer = addIn->timerId;
  Proc(kEnableServer, {Variant(200L)});
  EXPECT_EQ(timer, addIn->timerId);
  EXPECT_EQ(0, Call(kRemove, {Variant(L"now")}));
  EXPECT_EQ(timer, addIn->timerId);
  Proc(kDisableServer, {});
  EXPECT_EQ(0u, addIn->timerId);

  // The other way round: polling runs the timer, a schedule keeps it when polling stops.
  Proc(kEnableServer, {Variant(200L)});
  timer = addIn->timerId;
  ASSERT_NE(0u, timer);
  ASSERT_EQ(0, Set(L"later", L"DayOfWeek,1", L"8:00"));
  EXPECT_EQ(timer, addIn->timerId);
  Proc(kDisableServer, {});
  EXPECT_EQ(timer, addIn->timerId);
  unsigned long ticks = addIn->timerTicks;
  PumpMessages(600);
  EXPECT_GT(addIn->timerTicks, ticks);  // still the 200 ms timer
  EXPECT_EQ(0, Call(kRemove, {Variant(0L)}));  // all of them
  EXPECT_EQ(0u, addIn->timerId);
}
}  // namespace
