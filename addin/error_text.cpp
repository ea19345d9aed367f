#include "error_text.h"

#include <cwchar>

#include "addin.h"
#include "names.h"

namespace {
struct CodeText {
  long code;
  unsigned stringId;    // text from the string table, or
  const wchar_t* text;  // text held here
};

const CodeText kTexts[] = {
    {0, 120, nullptr},
    {1, 121, nullptr},
    {2, 122, nullptr},
    {3, 123, nullptr},
    {4, 124, nullptr},
    {5, 125, nullptr},
    {6, 126, nullptr},
    {7, 127, nullptr},
    {8, 169, nullptr},
    {50, 0, L"Ошибка создания архива"},
    {51, 143, nullptr},
    {52, 142, nullptr},
    {53, 144, nullptr},
    {54, 145, nullptr},
    {55, 165, nullptr},
    {57, 181, nullptr},
    {75, 152, nullptr},
    {76, 151, nullptr},
    {77, 150, nullptr},
    {78, 153, nullptr},
    {79, 159, nullptr},
    {80, 160, nullptr},
    {81, 161, nullptr},
    {82, 162, nullptr},
    {90, 0, L"Не задан файл ведения лога"},
    {91, 0, L"Ошибка открытия файла лога"},
    {100, 128, nullptr},
    {111, 0, L"Неверный тип параметра"},
    {112, 0, L"Неправильное значение наименования расписания"},
    {113, 0, L"Неправильное значение периода расписания"},
    {114, 0, L"Неправильное значение дней в периоде расписания"},
    {115, 0, L"Количество дней в периоде расписания превышает максимально допустимое"},
    {116, 0, L"Неправильное значение времени расписания"},
    {117, 0, L"Неправильное значение интервала расписания"},
    {118, 0, L"Не удалось создать новое расписание"},
    {119, 0, L"Не найдено заданное расписание"},
};
}  // namespace

std::wstring ErrDescription(const CAddIn& addIn, long code) {
  if (code == 56) {
    // The last failed encryption's own text; the field is a fixed buffer, so read it
    // bounded even if it was filled to the brim.
    const wchar_t* text = addIn.lastCryptoError;
    size_t length = wcsnlen(text, sizeof(addIn.lastCryptoError) / sizeof(wchar_t));
    return std::wstring(text, length);
  }
  for (const CodeText& entry : kTexts) {
    if (entry.code != code) continue;
    return entry.text ? std::wstring(entry.text) : LoadText(entry.stringId);
  }
  wchar_t text[64];
  swprintf(text, sizeof(text) / sizeof(text[0]), L"Неизвестная ошибка (код %ld)", code);
  return text;
}
