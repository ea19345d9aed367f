#include "schedule.h"

#include <cwctype>
#include <vector>

#include "local_clock.h"

namespace {
const size_t kMaxPiece = 63;
const size_t kMaxDays = 32;
const ULONGLONG kMinute = 60 * kTicksPerSecond;

bool StartsWithNoCase(const std::wstring& text, const wchar_t* prefix) {
  for (size_t i = 0; prefix[i]; ++i)
    if (i >= text.size() || std::towlower(text[i]) != std::towlower(prefix[i])) return false;
  return true;
}

// The comma-separated pieces, spaces around each trimmed, each at most 63 characters.
std::vector<std::wstring> Pieces(const std::wstring& text) {
  std::vector<std::wstring> pieces;
  size_t start = 0;
  for (;;) {
    size_t comma = text.find(L',', start);
    std::wstring piece = text.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
    size_t first = piece.find_first_not_of(L" \t"), last = piece.find_last_not_of(L" \t");
    piece = first == std::wstring::npos ? std::wstring() : piece.substr(first, last - first + 1);
    pieces.push_back(piece.substr(0, kMaxPiece));
    if (comma == std::wstring::npos) return pieces;
    start = comma + 1;
  }
}

// A decimal number at the start of the piece, as atoi reads it (0 when there is none).
long LeadingNumber(const std::wstring& piece) {
  size_t i = 0;
  bool negative = false;
  if (i < piece.size() && (piece[i] == L'-' || piece[i] == L'+')) negative = piece[i++] == L'-';
  long value = 0;
  for (; i < piece.size() && piece[i] >= L'0' && piece[i] <= L'9'; ++i) {
    value = value * 10 + (piece[i] - L'0');
    if (value > 100000) break;  // far beyond any day; no overflow
  }
  return negative ? -value : value;
}

// Digits at `i`; false when there are none.
bool Digits(const std::wstring& text, size_t& i, unsigned& value) {
  size_t begin = i;
  value = 0;
  while (i < text.size() && text[i] >= L'0' && text[i] <= L'9' && i - begin < 4) value = value * 10 + (text[i++] - L'0');
  return i > begin;
}

// Hours, then optionally one separator and minutes, then another separator and seconds;
// an empty piece is 0.
bool ParseTimeOfDay(const std::wstring& piece, ULONGLONG& out) {
  out = 0;
  if (piece.empty()) return true;
  unsigned parts[3] = {0, 0, 0};
  size_t i = 0;
  for (int k = 0; k < 3; ++k) {
    if (k > 0) {
      if (i >= piece.size()) break;
      ++i;  // any one separator character
    }
    if (!Digits(piece, i, parts[k])) return false;
  }
  if (i != piece.size()) return false;
  if (parts[0] > 23 || parts[1] > 59 || parts[2] > 59) return false;
  out = (ULONGLONG(parts[0]) * 3600 + parts[1] * 60 + parts[2]) * kTicksPerSecond;
  return true;
}
}  // namespace

long ParseSchedule(const std::wstring& name, const std::wstring& period, const std::wstring& times, long confirm,
                   Schedule& s) {
  s = Schedule();
  s.startOfDay = kNoTime;
  s.endOfDay = kNoTime;
  if (name.size() < 2 || name.size() > 127 || name.find(L'\0') != std::wstring::npos) return kScheduleBadName;
  name.copy(s.name, name.size());

  long maxDay = 0;
  if (StartsWithNoCase(period, L"DayOfWeek")) s.periodKind = 1, maxDay = 7;
  else if (StartsWithNoCase(period, L"DayOfMonth")) s.periodKind = 2, maxDay = 31;
  else return kScheduleBadPeriod;
  size_t dayCount = 0;
  for (const std::wstring& piece : Pieces(period)) {
    long day = LeadingNumber(piece);
    if (day <= 0) continue;
    if (day > maxDay) return kScheduleBadDay;
    if (dayCount < kMaxDays) s.days[dayCount] = BYTE(day);
    ++dayCount;
  }
  if (dayCount > size_t(maxDay)) return kScheduleTooManyDays;

  std::vector<std::wstring> pieces = Pieces(times);
  if (!ParseTimeOfDay(pieces[0], s.startOfDay)) return kScheduleBadTime;
  bool endGiven = pieces.size() > 1 && !pieces[1].empty();
  if (endGiven) {
    bool duration = pieces[1][0] == L'+';
    ULONGLONG value = 0;
    if (!ParseTimeOfDay(duration ? pieces[1].substr(1) : pieces[1], value)) return kScheduleBadTime;
    s.endOfDay = duration ? s.startOfDay + value : value;
    if (s.endOfDay != 0 && s.endOfDay < s.startOfDay) return kScheduleBadTime;
  }
  if (pieces.size() > 2 && !ParseTimeOfDay(pieces[2], s.interval)) return kScheduleBadInterval;

  s.confirm = confirm;
  if (confirm != 0) {
    // Events closer than a minute apart cannot each wait for a confirmation.
    if (s.interval > 0 && s.interval < kMinute) s.confirm = 0;
    else if (s.startOfDay > 0 && !endGiven) s.endOfDay = s.startOfDay + kMinute;
  }
  return kScheduleOk;
}
