// Properties, the methods of the object itself, and calls with parameters that 1C (or a
// careless 1C programmer) might pass: none of them may crash the host.
#include "addin_fixture.h"

namespace {
class Dispatch : public AddInTest {
 protected:
  long PropLong(long number) {
    Variant value;
    EXPECT_EQ(S_OK, component.GetProp(number, value));
    EXPECT_EQ(VT_I4, value.Type());
    return value.Long();
  }
};

TEST_F(Dispatch, PropertyValuesAfterInit) {
  EXPECT_EQ(0, PropLong(0));  // no profile value yet
  EXPECT_EQ(1, PropLong(1));
  EXPECT_EQ(1, PropLong(2));
  EXPECT_EQ(0, PropLong(3));  // no ActiveSync connection
  for (long number : {4L, -1L}) {
    VARIANT value;
    VariantInit(&value);
    V_VT(&value) = VT_I4;
    V_I4(&value) = 5;
    EXPECT_EQ(S_FALSE, Ext()->GetPropVal(number, &value));
    EXPECT_EQ(VT_EMPTY, V_VT(&value));
  }
}

TEST_F(Dispatch, SettingProperties) {
  struct Case {
    long number;
    Variant value;
    HRESULT hr;
    long enabledAfter, visibleAfter;
  } cases[] = {
      {0, Variant(7L), S_OK, 1, 1},        {0, Variant(L"1"), S_FALSE, 1, 1},
      {0, Variant(0.0), S_FALSE, 1, 1},    {0, Variant(), S_FALSE, 1, 1},
      {0, Variant(0L), S_OK, 0, 1},        {2, Variant(0L), S_OK, 0, 0},
      {2, Variant(L"x"), S_FALSE, 0, 0},   {2, Variant(-3L), S_OK, 0, 1},
      {1, Variant(0L), S_OK, 0, 1},        {1, Variant(L"x"), S_FALSE, 0, 1},
      {3, Variant(1L), S_FALSE, 0, 1},     {4, Variant(1L), S_FALSE, 0, 1},
      {-1, Variant(1L), S_FALSE, 0, 1},
  };
  for (Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.number << " " << int(c.value.Type()));
    EXPECT_EQ(c.hr, Ext()->SetPropVal(c.number, c.value.Get()));
    EXPECT_EQ(c.enabledAfter, PropLong(0));
    EXPECT_EQ(c.visibleAfter, PropLong(2));
    EXPECT_EQ(1, PropLong(1));
  }
  EXPECT_EQ(S_FALSE, Ext()->SetPropVal(0, nullptr));
  // Setting IsEnabled is not the property page: no event.
  EXPECT_EQ(0u, connection->PendingEvents());
}

TEST_F(Dispatch, EnableAndDisableRaiseNoEvent) {
  EXPECT_EQ(S_OK, CallProc(0, {}));
  EXPECT_EQ(1, PropLong(0));
  EXPECT_EQ(S_OK, CallProc(1, {}));
  EXPECT_EQ(0, PropLong(0));
  EXPECT_EQ(0u, connection->PendingEvents());
}

TEST_F(Dispatch, NullOutPointersAreRefused) {
  EXPECT_EQ(E_POINTER, Ext()->GetNMethods(nullptr));
  EXPECT_EQ(E_POINTER, Ext()->GetNProps(nullptr));
  EXPECT_EQ(E_POINTER, Ext()->RegisterExtensionAs(nullptr));
  EXPECT_EQ(E_POINTER, Ext()->FindMethod(nullptr, nullptr));
  EXPECT_EQ(E_POINTER, Ext()->GetMethodName(0, 0, nullptr));
  EXPECT_EQ(E_POINTER, Ext()->GetPropVal(0, nullptr));
  EXPECT_EQ(E_POINTER, Ext()->GetParamDefValue(47, 0, nullptr));
  EXPECT_EQ(E_POINTER, Ext()->HasRetVal(0, nullptr));
  SAFEARRAY* array = ParamArray({Variant(3L)});
  EXPECT_EQ(E_POINTER, Ext()->CallAsFunc(9, nullptr, &array));
  SafeArrayDestroy(array);
  EXPECT_EQ(E_POINTER, component.InitDone()->GetInfo(nullptr));
}

// Parameter lists of every malformed kind, for every method. The values are ones that no
// method may take as valid input (omitted-parameter errors, null objects), so that none
// starts real work; each call must come back with the dispatcher's answer.
TEST_F(Dispatch, MalformedParametersNeverCrash) {
  struct Shape {
    const char* what;
    SAFEARRAY* (*make)(long params);
  };
  static const Shape shapes[] = {
      {"empty array", [](long) { return SafeArrayCreateVector(VT_VARIANT, 0, 0); }},
      {"one element short",
       [](long params) {
         std::vector<Variant> args;
         for (long i = 0; i + 1 < params; ++i) args.push_back(Variant());
         return MakeParamArray(args);
       }},
      {"omitted parameters",
       [](long params) {
         SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 0, ULONG(params));
         for (LONG i = 0; i < params; ++i) {
           VARIANT v;
           VariantInit(&v);
           V_VT(&v) = VT_ERROR;
           V_ERROR(&v) = DISP_E_PARAMNOTFOUND;
           SafeArrayPutElement(a, &i, &v);
         }
         return a;
       }},
      {"null objects",
       [](long params) {
         SAFEARRAY* a = SafeArrayCreateVector(VT_VARIANT, 0, ULONG(params));
         for (LONG i = 0; i < params; ++i) {
           VARIANT v;
           VariantInit(&v);
           V_VT(&v) = (i % 2) ? VT_UNKNOWN : VT_DISPATCH;
           V_UNKNOWN(&v) = nullptr;
           SafeArrayPutElement(a, &i, &v);
         }
         return a;
       }},
      {"array of VT_I4, not VARIANT", [](long params) { return SafeArrayCreateVector(VT_I4, 0, ULONG(params + 1)); }},
      {"two dimensions",
       [](long params) {
         SAFEARRAYBOUND bounds[2] = {{ULONG(params + 1), 0}, {2, 0}};
         return SafeArrayCreate(VT_VARIANT, 2, bounds);
       }},
      {"no array", [](long) { return static_cast<SAFEARRAY*>(nullptr); }},
  };
  for (long n = 0; n < 85; ++n) {
    long params = 0;
    BOOL hasResult = FALSE;
    Ext()->GetNParams(n, &params);
    Ext()->HasRetVal(n, &hasResult);
    for (const Shape& shape : shapes) {
      SCOPED_TRACE(testing::Message() << "method " << n << ", " << shape.what);
      SAFEARRAY* array = shape.make(params);
      if (hasResult) {
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(S_OK, Ext()->CallAsFunc(n, &result, &array));
        // a number, a text, a double from Sqrt and GpsDistance, nothing from the Map9 methods
        EXPECT_TRUE(V_VT(&result) == VT_I4 || V_VT(&result) == VT_BSTR ||
                    ((n == 81 || n == 64) && V_VT(&result) == VT_R8) ||
                    (n >= 67 && n <= 69 && V_VT(&result) == VT_EMPTY))
            << V_VT(&result);
        VariantClear(&result);
      } else {
        EXPECT_EQ(n == 3 ? S_FALSE : S_OK, Ext()->CallAsProc(n, &array));
      }
      if (array) SafeArrayDestroy(array);
    }
    // No array pointer at all.
    VARIANT result;
    VariantInit(&result);
    if (hasResult) {
      EXPECT_EQ(S_OK, Ext()->CallAsFunc(n, &result, nullptr)) << n;
      VariantClear(&result);
    } else {
      EXPECT_EQ(n == 3 ? S_FALSE : S_OK, Ext()->CallAsProc(n, nullptr)) << n;
    }
  }
}

TEST_F(Dispatch, ParametersFromAnArrayStartingAtOne) {
  // Element i of the host's array is parameter i, whatever the lower bound.
  SAFEARRAYBOUND bound = {1, 1};
  SAFEARRAY* array = SafeArrayCreate(VT_VARIANT, 1, &bound);
  LONG index = 1;
  Variant code(3L);
  SafeArrayPutElement(array, &index, code.Get());
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(S_OK, Ext()->CallAsFunc(9, &result, &array));
  Variant text = Variant::Adopt(result);
  EXPECT_EQ(L"Подключение не инициализировано", text.String());
  SafeArrayDestroy(array);
}

TEST_F(Dispatch, ByReferenceParameter) {
  // A parameter that refers to a 1C variable is read through the reference.
  VARIANT target;
  VariantInit(&target);
  V_VT(&target) = VT_I4;
  V_I4(&target) = 7;
  VARIANT reference;
  VariantInit(&reference);
  V_VT(&reference) = VT_BYREF | VT_VARIANT;
  V_VARIANTREF(&reference) = &target;
  SAFEARRAY* array = SafeArrayCreateVector(VT_VARIANT, 0, 1);
  LONG index = 0;
  SafeArrayPutElement(array, &index, &reference);
  VARIANT result;
  VariantInit(&result);
  EXPECT_EQ(S_OK, Ext()->CallAsFunc(9, &result, &array));
  Variant text = Variant::Adopt(result);
  EXPECT_EQ(L"Ошибка чтения файла-источника", text.String());
  SafeArrayDestroy(array);
}
}  // namespace
