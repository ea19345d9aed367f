// The component's names, counts, defaults and result flags as 1C sees them through
// ILanguageExtender, and the two dispatchers' answers.
#include <set>

#include "addin_fixture.h"

namespace {
struct Row {
  long number;
  const wchar_t* alias0;
  const wchar_t* alias1;
  long params;
  bool result;
};

const Row kRows[] = {
    {0, L"Enable", L"Включить", 0, false},
    {1, L"Disable", L"Выключить", 0, false},
    {2, L"ShowInStatusLine", L"ПоказатьВСтрокеСтатуса", 1, false},
    {3, L"StartTimer", L"ВключитьТаймер", 0, false},
    {4, L"StopTimer", L"ВыключитьТаймер", 0, false},
    {5, L"CePutFile", L"КпкОтправитьФайл", 2, true},
    {6, L"CeGetFile", L"КпкПолучитьФайл", 2, true},
    {7, L"CeDeleteFile", L"КпкУдалитьФайл", 1, true},
    {8, L"CeFileExists", L"КпкСуществуетФайл", 1, true},
    {9, L"CeErrDescription", L"КпкОписаниеОшибки", 1, true},
    {10, L"CeGuestOnly", L"КпкВсегдаГость", 1, true},
    {11, L"КонвертироватьУТФ16", L"ConvertUTF16", 4, true},
    {12, L"CeSetFileBuffSize", L"КпкУстРазмФБуфера", 1, true},
    {13, L"CeExecute", L"КпкВыполнить", 2, true},
    {14, L"CeRapiInit", L"КпкИнициализировать", 0, true},
    {15, L"CeRapiUnInit", L"КпкДеинициализировать", 0, true},
    {16, L"CeRegQueryValue", L"КпкРегПолучитьЗначение", 3, true},
    {17, L"CeRegSetValue", L"КпкРегУстЗначение", 4, true},
    {18, L"CeGetVersionOS", L"КпкВерсияОС", 4, true},
    {19, L"CeFindWndOnClass", L"КпкНайтиОкноПоКлассу", 1, true},
    {20, L"ZipPack", L"АрхУпаковать", 2, true},
    {21, L"ZipUnPack", L"АрхРаспаковать", 2, true},
    {22, L"ZipSetPassword", L"АрхУстПароль", 1, false},
    {23, L"АрхОчистить", L"ZipClear", 0, false},
    {24, L"ZipAdd", L"АрхДобавить", 2, true},
    {25, L"EncryptFile", L"ЗашифроватьФайл", 2, true},
    {26, L"DecryptFile", L"РасшифроватьФайл", 2, true},
    {27, L"SetCryptPassword", L"ШифрУстПароль", 1, false},
    {28, L"FtpSetProxy", L"ФтпУстПрокси", 3, false},
    {29, L"FtpOpenSession", L"ФтпОткрытьСессию", 0, true},
    {30, L"FtpCloseSession", L"ФтпЗакрытьСессию", 0, false},
    {31, L"FtpConnect", L"ФтпПодключиться", 3, true},
    {32, L"FtpGetFile", L"ФтпПолучитьФайл", 2, true},
    {33, L"FtpSetCurDir", L"ФтпУстТекКаталог", 1, true},
    {34, L"FtpDeleteFile", L"ФтпУдалитьФайл", 1, true},
    {35, L"FtpPutFile", L"ФтпОтправитьФайл", 2, true},
    {36, L"FtpCreateDirectory", L"ФтпСоздатьКаталог", 1, true},
    {37, L"FtpFileExists", L"ФтпСуществуетФайл", 1, true},
    {38, L"FtpGetFileSize", L"ФтпРазмерФайла", 1, true},
    {39, L"FtpSetBufferSize", L"ФтпУстРазмерБуфера", 1, false},
    {40, L"VlsSetServerAddress", L"ВлсУстАдресСервера", 1, false},
    {41, L"VlsGetPPCInfo", L"ВлсПолучитьКПКИнфо", 1, true},
    {42, L"VlsGetPPCCount", L"ВлсПолучитьКоличествоКПК", 0, true},
    {43, L"VlsSrvNote", L"ВлсСообщитьСерверу", 2, false},
    {44, L"VlsProcessDone", L"ВлсПроцессЗавершен", 1, false},
    {45, L"VlsSetExchangeDir", L"ВлсУстПапкуОбмена", 1, false},
    {46, L"VlsGetExchangeDir", L"ВлсПапкаОбмена", 0, true},
    {47, L"VlsEnableServer", L"ВлсВключитьСервер", 1, false},
    {48, L"VlsDisableServer", L"ВлсОтключитьСервер", 0, false},
    {49, L"VlsAddPPCId", L"ВлсДобавитьИдКПК", 1, false},
    {50, L"VlsClearPPCId", L"ВлсОчиститьИдКПК", 0, false},
    {51, L"VlsGetFieldPPCInfo", L"ВлсПолучитьПолеКПКИнфо", 2, true},
    {52, L"WinSetClipboard", L"СисВБуфОбмена", 1, false},
    {53, L"GpsSetMap", L"ГпсУстановитьКарту", 9, true},
    {54, L"GpsShowMap", L"ГпсПоказатьКарту", 1, true},
    {55, L"GpsRouteAddPoint", L"ГпсМаршрутДобавитьТочку", 4, false},
    {56, L"GpsRouteClearPoints", L"ГпсМаршрутОчиститьТочки", 0, false},
    {57, L"GpsRouteAddFlag", L"ГпсМаршрутДобавитьФлажок", 7, false},
    {58, L"GpsRouteClearFlags", L"ГпсМаршрутОчиститьФлажки", 0, false},
    {59, L"GpsRouteAddTrack", L"ГпсМаршрутДобавитьТочкуТрека", 3, false},
    {60, L"GpsRouteClearTrack", L"ГпсМаршрутОчиститьТрек", 0, false},
    {61, L"GpsRouteSetColor", L"ГпсМаршрутУстановитьЦвет", 3, false},
    {62, L"GpsSetAttachView", L"ГпсПоказыватьТочкиПривязки", 1, false},
    {63, L"GpsSetTrackLIne", L"ГпсПоказыватьЛинииТрека", 1, false},
    {64, L"GpsDistance", L"ГпсРасстояние", 4, true},
    {65, L"AddSignature", L"ДобавитьПодпись", 3, true},
    {66, L"VerifySignature", L"ПроверитьПодпись", 2, true},
    {67, L"Map9EnableInterop", L"Map9ВключитьВзаимодействие", 0, true},
    {68, L"Map9DisableInterop", L"Map9ВыключитьВзаимодействие", 0, true},
    {69, L"Map9EndOperation", L"Map9ЗавершитьОперацию", 1, true},
    {70, L"GUIDПолучитьИзКода", L"GUIDGetFromCode", 1, true},
    {71, L"GUIDПолучитьКод", L"GUIDGetCode", 1, true},
    {72, L"Версия", L"Version", 0, true},
    {73, L"Помощь", L"Help", 2, true},
    {74, L"GUIDПолучитьПодч", L"GUIDGetSub", 3, true},
    {75, L"ЛогВключить", L"LogOn", 1, false},
    {76, L"ЛогДобавить", L"LogAdd", 2, true},
    {77, L"РасписаниеУстановить", L"SheduleSet", 4, true},
    {78, L"РасписаниеУдалить", L"SheduleRemove", 1, true},
    {79, L"РасписаниеВключить", L"SheduleEnable", 2, true},
    {80, L"РасписаниеПодтвердить", L"SheduleConfirm", 1, true},
    {81, L"Корень", L"Sqrt", 1, true},
    {82, L"Ждать", L"Sleep", 1, false},
    {83, L"СоздатьGUID", L"CreateGUID", 0, true},
    {84, L"ВыбратьЦвет", L"ChooseColor", 1, true},
};

struct PropRow {
  const wchar_t* alias0;
  const wchar_t* alias1;
  bool writable;
};
const PropRow kProps[] = {
    {L"IsEnabled", L"Включен", true},
    {L"IsTimerPresent", L"ЕстьТаймер", false},
    {L"CeCpyWinVisible", L"ВидимоеОкноКпр", true},
    {L"CeIsRapiInited", L"КпкИнициализирован", false},
};

class MethodTable : public AddInTest {};

TEST_F(MethodTable, CountsAndExtensionName) {
  long count = 0;
  EXPECT_EQ(S_OK, Ext()->GetNMethods(&count));
  EXPECT_EQ(85, count);
  EXPECT_EQ(S_OK, Ext()->GetNProps(&count));
  EXPECT_EQ(4, count);
  EXPECT_EQ(L"CeDataExch", component.ExtensionName());
  EXPECT_EQ(2000, component.Version());
}

TEST_F(MethodTable, EveryMethodRoundTripsWithItsCountAndResultFlag) {
  ASSERT_EQ(85u, sizeof(kRows) / sizeof(kRows[0]));
  for (const Row& row : kRows) {
    SCOPED_TRACE(row.number);
    HRESULT hr;
    EXPECT_EQ(row.alias0, MethodName(row.number, 0, &hr));
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(row.alias1, MethodName(row.number, 1, &hr));
    EXPECT_EQ(row.number, FindMethod(row.alias0, &hr));
    EXPECT_EQ(S_OK, hr);
    EXPECT_EQ(row.number, FindMethod(row.alias1, &hr));
    long params = -1;
    EXPECT_EQ(S_OK, Ext()->GetNParams(row.number, &params));
    EXPECT_EQ(row.params, params);
    BOOL result = 77;
    EXPECT_EQ(S_OK, Ext()->HasRetVal(row.number, &result));
    EXPECT_EQ(row.result ? TRUE : FALSE, result);
  }
}

TEST_F(MethodTable, EveryPropertyRoundTrips) {
  for (long i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    for (long alias = 0; alias < 2; ++alias) {
      BSTR name = nullptr;
      EXPECT_EQ(S_OK, Ext()->GetPropName(i, alias, &name));
      std::wstring text = Bstr(name);
      EXPECT_EQ(alias ? kProps[i].alias1 : kProps[i].alias0, text);
      long number = -5;
      name = SysAllocString(text.c_str());
      EXPECT_EQ(S_OK, Ext()->FindProp(name, &number));
      SysFreeString(name);
      EXPECT_EQ(i, number);
    }
    BOOL flag = 77;
    EXPECT_EQ(S_OK, Ext()->IsPropReadable(i, &flag));
    EXPECT_EQ(TRUE, flag);
    EXPECT_EQ(S_OK, Ext()->IsPropWritable(i, &flag));
    EXPECT_EQ(kProps[i].writable ? TRUE : FALSE, flag);
  }
}

TEST_F(MethodTable, NumbersOutsideTheTable) {
  for (long number : {85L, 86L, -1L, 1000000L}) {
    SCOPED_TRACE(number);
    HRESULT hr;
    EXPECT_EQ(L"", MethodName(number, 0, &hr));
    EXPECT_EQ(S_FALSE, hr);
    long count = 9;
    EXPECT_EQ(S_FALSE, Ext()->GetNParams(number, &count));
    EXPECT_EQ(0, count);
    BOOL flag = 77;
    EXPECT_EQ(S_FALSE, Ext()->HasRetVal(number, &flag));
    EXPECT_EQ(77, flag);  // left as it was
  }
  for (long number : {4L, -1L}) {
    BSTR name = nullptr;
    EXPECT_EQ(S_FALSE, Ext()->GetPropName(number, 0, &name));
    EXPECT_EQ(L"", Bstr(name));
    BOOL flag = 77;
    EXPECT_EQ(S_FALSE, Ext()->IsPropReadable(number, &flag));
    EXPECT_EQ(S_FALSE, Ext()->IsPropWritable(number, &flag));
  }
  // An alias other than 0 and 1 is the empty name of a known entry.
  HRESULT hr;
  EXPECT_EQ(L"", MethodName(0, 2, &hr));
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ(L"", MethodName(0, -1, &hr));
  EXPECT_EQ(S_OK, hr);
}

TEST_F(MethodTable, ErrDescriptionAliasesAndExactNames) {
  HRESULT hr;
  for (const wchar_t* name : {L"ErrDescription", L"ОписаниеОшибки", L"КпкОписаниеОшибки", L"CeErrDescription"}) {
    EXPECT_EQ(9, FindMethod(name, &hr)) << name;
    EXPECT_EQ(S_OK, hr);
  }
  EXPECT_EQ(L"CeErrDescription", MethodName(9, 0));
  EXPECT_EQ(L"КпкОписаниеОшибки", MethodName(9, 1));
  // Names match exactly: case, spaces and prefixes matter.
  for (const wchar_t* name : {L"enable", L"ENABLE", L"Enable ", L" Enable", L"Enabl", L"включить", L"",
                              L"Enable,Включить", L"errdescription"}) {
    EXPECT_EQ(-1, FindMethod(name, &hr)) << name;
    EXPECT_EQ(S_FALSE, hr);
  }
  long number = 5;
  EXPECT_EQ(S_FALSE, Ext()->FindMethod(nullptr, &number));
  EXPECT_EQ(-1, number);
  EXPECT_EQ(S_FALSE, Ext()->FindProp(nullptr, &number));
  BSTR name = SysAllocString(L"isenabled");
  EXPECT_EQ(S_FALSE, Ext()->FindProp(name, &number));
  SysFreeString(name);
  EXPECT_EQ(-1, number);
}

TEST_F(MethodTable, ParameterDefaults) {
  struct Case {
    long method, param;
    HRESULT hr;
    VARTYPE type;
    long value;
  } cases[] = {
      {47, 0, S_OK, VT_I4, 5000}, {20, 1, S_OK, VT_I4, 0},  {20, 0, S_OK, VT_EMPTY, 0},
      {24, 0, S_OK, VT_I4, 0},    {24, 1, S_OK, VT_EMPTY, 0}, {76, 1, S_OK, VT_I4, 0},
      {78, 0, S_OK, VT_I4, 0},    {0, 0, S_OK, VT_EMPTY, 0},  {83, 0, S_OK, VT_EMPTY, 0},
      {47, 1, S_OK, VT_EMPTY, 0}, {77, 0, S_FALSE, VT_EMPTY, 0}, {79, 0, S_FALSE, VT_EMPTY, 0},
      {80, 0, S_FALSE, VT_EMPTY, 0}, {81, 0, S_FALSE, VT_EMPTY, 0}, {82, 0, S_FALSE, VT_EMPTY, 0},
      {84, 0, S_FALSE, VT_EMPTY, 0}, {85, 0, S_FALSE, VT_EMPTY, 0}, {-1, 0, S_FALSE, VT_EMPTY, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.method << "/" << c.param);
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = 12345;  // the component starts from an empty value
    EXPECT_EQ(c.hr, Ext()->GetParamDefValue(c.method, c.param, &value));
    EXPECT_EQ(c.type, V_VT(&value));
    if (c.type == VT_I4) {
      EXPECT_EQ(c.value, V_I4(&value));
    }
  }
}

// Which dispatcher carries out which method: CallAsProc the methods without a result
// (StartTimer excepted), CallAsFunc those with one; every other combination is S_FALSE
// and leaves the result alone. Methods answer their own results for no parameters (the
// handheld methods without rapi.dll, which is not on this test's search path).
TEST_F(MethodTable, DispatchersSplitTheTable) {
  for (long n = -1; n <= 86; ++n) {
    SCOPED_TRACE(n);
    const Row* row = n >= 0 && n < 85 ? &kRows[n] : nullptr;
    bool byProc = row && !row->result && n != 3;
    bool byFunc = row && row->result;
    EXPECT_EQ(byProc ? S_OK : S_FALSE, CallProc(n, {}));
    SAFEARRAY* array = ParamArray({});
    VARIANT result;
    VariantInit(&result);
    V_VT(&result) = VT_I4;
    V_I4(&result) = 777;
    EXPECT_EQ(byFunc ? S_OK : S_FALSE, Ext()->CallAsFunc(n, &result, &array));
    SafeArrayDestroy(array);
    if (!byFunc) {
      EXPECT_EQ(VT_I4, V_VT(&result));
      EXPECT_EQ(777, V_I4(&result));
    } else if (n == 16) {
      EXPECT_EQ(VT_BSTR, V_VT(&result));  // no registry value
    } else if (n >= 5 && n <= 19 && n != 9 && n != 11) {
      EXPECT_EQ(VT_I4, V_VT(&result));
      // paths that are no strings; the library missing; the buffer size; nothing to act on
      const long codes[] = {111, 8, 8, 8, 0, 100, 0, 131072, 8, 8, 100, 0, 8, 100, 100};
      EXPECT_EQ(codes[n - 5], V_I4(&result));
    } else if (n == 9 || n == 41 || n == 46 || n == 51 || n == 70 || n == 71 || n == 72 || n == 74 || n == 83) {
      EXPECT_EQ(VT_BSTR, V_VT(&result));
    } else if (n == 81 || n == 64) {
      EXPECT_EQ(VT_R8, V_VT(&result));  // the root of nothing, the distance from 0 to 0: 0.0
      EXPECT_EQ(0.0, V_R8(&result));
    } else if (n >= 67 && n <= 69) {
      EXPECT_EQ(VT_EMPTY, V_VT(&result));  // the Map9 methods set no value
    } else if (n == 53 || n == 54) {
      EXPECT_EQ(VT_I4, V_VT(&result));
      // GpsSetMap reads no file; GpsShowMap cannot calibrate on anchors that are all 0
      EXPECT_EQ(n == 53 ? 0 : 1, V_I4(&result));
    } else if (n == 11 || n == 42 || n == 73 || n == 76 || n == 84) {
      EXPECT_EQ(VT_I4, V_VT(&result));
      // no conversion without files; no devices before an exchange folder is set; Help
      // answers 0; no log file set; no colour is -1
      EXPECT_EQ(n == 84 ? -1 : n == 76 ? 90 : 0, V_I4(&result));
    } else if (n == 25 || n == 26 || n == 65 || n == 66) {
      EXPECT_EQ(VT_I4, V_VT(&result));
      EXPECT_EQ(75, V_I4(&result));  // encryption and signatures: the parameters are no strings
    } else if (n >= 29 && n <= 38) {
      EXPECT_EQ(VT_I4, V_VT(&result));
      // FTP: the session opens; Connect has no server string; no connection for the rest,
      // and no size without one
      EXPECT_EQ(n == 29 ? 0 : n == 31 ? 75 : n == 38 ? 0 : 78, V_I4(&result));
    } else if (n >= 77 && n <= 80) {
      EXPECT_EQ(VT_I4, V_VT(&result));
      EXPECT_EQ(111, V_I4(&result));  // schedules: no parameters of the right type
    } else {
      EXPECT_EQ(VT_I4, V_VT(&result));
      EXPECT_EQ(100, V_I4(&result));
    }
    VariantClear(&result);
  }
}

TEST_F(MethodTable, ErrorTexts) {
  struct Text {
    long code;
    const wchar_t* text;
  } texts[] = {
    {0, L"Ошибок нет"},
    {1, L"Файл-источник не существует"},
    {2, L"Файл-источник является директорией"},
    {3, L"Подключение не инициализировано"},
    {4, L"Не возможно открыть файл-источник"},
    {5, L"Не возможно записать файл в КПК"},
    {6, L"Ошибка записи файла-получателя"},
    {7, L"Ошибка чтения файла-источника"},
    {8, L"Не найдена библиотека rapi.dll, установите MS ActiveSync! Обмен данными с КПК невозможен!"},
    {51, L"Ошибка добавления в архив"},
    {52, L"Ошибка закрытия архива"},
    {53, L"Ошибка в параметре имен файлов"},
    {54, L"Ошибка открытия архива"},
    {55, L"Неправильный пароль"},
    {57, L"Значение не найдено"},
    {75, L"Неверный тип параметра"},
    {76, L"Сессия не открыта"},
    {77, L"Отмена пользователем"},
    {78, L"Не подключен к серверу"},
    {79, L"Неверный пароль или имя пользователя"},
    {80, L"Неверное имя пользователя"},
    {81, L"Ошибка подключения к сети Интернет"},
    {82, L"Сервер не найден"},
    {90, L"Не задан файл ведения лога"},
    {91, L"Ошибка открытия файла лога"},
    {100, L"Общая ошибка"},
    {111, L"Неверный тип параметра"},
    {112, L"Неправильное значение наименования расписания"},
    {113, L"Неправильное значение периода расписания"},
    {114, L"Неправильное значение дней в периоде расписания"},
    {115, L"Количество дней в периоде расписания превышает максимально допустимое"},
    {116, L"Неправильное значение времени расписания"},
    {117, L"Неправильное значение интервала расписания"},
    {118, L"Не удалось создать новое расписание"},
    {119, L"Не найдено заданное расписание"},
      {50, L"Ошибка создания архива"},
      {56, L""},  // nothing has failed to encrypt yet
      {42, L"Неизвестная ошибка (код 42)"},
      {-1, L"Неизвестная ошибка (код -1)"},
  };
  for (const Text& t : texts) {
    Variant result;
    ASSERT_EQ(S_OK, CallFunc(9, {Variant(t.code)}, result));
    ASSERT_EQ(VT_BSTR, result.Type()) << t.code;
    EXPECT_EQ(t.text, result.String()) << t.code;
  }
  // The other aliases reach the same method.
  std::vector<Variant> args = {Variant(100L)};
  Variant result;
  ASSERT_EQ(S_OK, component.CallByName(L"ОписаниеОшибки", args, result, nullptr));
  EXPECT_EQ(L"Общая ошибка", result.String());
  ASSERT_EQ(S_OK, component.CallByName(L"ErrDescription", args, result, nullptr));
  EXPECT_EQ(L"Общая ошибка", result.String());
  // A code that is not a VT_I4 gives the empty string.
  for (Variant bad : {Variant(L"3"), Variant(3.0), Variant()}) {
    ASSERT_EQ(S_OK, CallFunc(9, {bad}, result));
    EXPECT_EQ(VT_BSTR, result.Type());
    EXPECT_EQ(L"", result.String());
  }
}
}  // namespace
