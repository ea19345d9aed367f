#include "utf16_convert.h"

#include <vector>

namespace {
const UINT kUtf16Le = 1200, kUtf16Be = 1201;
const DWORD kWideBlock = 256, kNarrowBlock = 128;

bool IsUtf16(UINT codePage) { return codePage == kUtf16Le || codePage == kUtf16Be; }

class File {
 public:
  explicit File(HANDLE h) : handle(h) {}
  ~File() {
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  }
  File(const File&) = delete;
  File& operator=(const File&) = delete;
  bool Open() const { return handle != INVALID_HANDLE_VALUE; }
  // Bytes read (0 at the end); -1 on failure.
  long Read(void* buffer, DWORD size) {
    DWORD n = 0;
    return ReadFile(handle, buffer, size, &n, nullptr) ? long(n) : -1;
  }
  bool Write(const void* data, size_t size) {
    DWORD n = 0;
    return size == 0 || (WriteFile(handle, data, DWORD(size), &n, nullptr) && n == size);
  }
  HANDLE handle;
};

void SwapBytes(wchar_t* text, size_t n) {
  for (size_t i = 0; i < n; ++i) text[i] = wchar_t(((text[i] & 0xFF) << 8) | ((text[i] >> 8) & 0xFF));
}

// For UTF-8 the system is asked to refuse what does not convert, so a bad block fails
// instead of turning into replacement characters; other code pages convert as they always do.
DWORD ToWideFlags(UINT codePage) { return codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0; }
DWORD ToNarrowFlags(UINT codePage) { return codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0; }

// How many bytes at the end of `bytes` begin a character that the next block completes.
size_t IncompleteTail(UINT codePage, const unsigned char* bytes, size_t n) {
  if (codePage == CP_UTF8) {
    // Back over continuation bytes to the lead byte; incomplete when it wants more of them.
    size_t i = n, back = 0;
    while (i > 0 && back < 3 && (bytes[i - 1] & 0xC0) == 0x80) --i, ++back;
    if (i == 0) return 0;
    unsigned char lead = bytes[i - 1];
    size_t want = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    return want > back + 1 ? back + 1 : 0;
  }
  CPINFO info;
  if (!GetCPInfo(codePage, &info) || info.MaxCharSize != 2) return 0;
  // Double-byte code pages: walk the characters from the start of the block.
  size_t i = 0;
  while (i < n) {
    if (IsDBCSLeadByteEx(codePage, bytes[i])) {
      if (i + 1 == n) return 1;
      i += 2;
    } else {
      ++i;
    }
  }
  return 0;
}

bool WideToNarrow(File& in, File& out, bool bigEndian, UINT codePage) {
  std::vector<unsigned char> block(kWideBlock + 4);
  size_t carried = 0;  // bytes of the last block that wait for the next: an odd byte, a high surrogate
  std::vector<char> narrow;
  for (;;) {
    long n = in.Read(block.data() + carried, kWideBlock);
    if (n < 0) return false;
    bool end = n == 0;
    size_t have = carried + size_t(n);
    if (end && have < 2) return have == 0;  // a dangling odd byte is half a character
    size_t units = have / 2;
    std::vector<wchar_t> text(units);
    for (size_t i = 0; i < units; ++i) text[i] = wchar_t(block[2 * i] | (block[2 * i + 1] << 8));
    if (bigEndian) SwapBytes(text.data(), units);
    // A high surrogate waits for its pair in the next block (at the end it goes as it is).
    size_t keep = !end && units > 0 && text[units - 1] >= 0xD800 && text[units - 1] <= 0xDBFF ? 1 : 0;
    size_t convert = units - keep;
    if (convert > 0) {
      int size = WideCharToMultiByte(codePage, ToNarrowFlags(codePage), text.data(), int(convert), nullptr, 0,
                                     nullptr, nullptr);
      if (size <= 0) return false;
      narrow.resize(size_t(size));
      if (WideCharToMultiByte(codePage, ToNarrowFlags(codePage), text.data(), int(convert), narrow.data(), size,
                              nullptr, nullptr) != size ||
          !out.Write(narrow.data(), narrow.size()))
        return false;
    }
    size_t consumed = convert * 2;
    carried = have - consumed;
    if (end) return carried == 0;
    for (size_t i = 0; i < carried; ++i) block[i] = block[consumed + i];
  }
}

bool NarrowToWide(File& in, File& out, UINT codePage, bool bigEndian, bool georgian) {
  std::vector<unsigned char> block(kNarrowBlock + 4);
  size_t carried = 0;  // the start of a multibyte character cut by the block's end
  std::vector<wchar_t> text;
  for (;;) {
    long n = in.Read(block.data() + carried, kNarrowBlock);
    if (n < 0) return false;
    bool end = n == 0;
    size_t have = carried + size_t(n);
    if (have == 0) return true;
    // The start of a character cut by the block's end waits for the next block; at the
    // end of the file it goes as it is.
    size_t keep = end ? 0 : IncompleteTail(codePage, block.data(), have);
    size_t convert = have - keep;
    if (convert > 0) {
      const char* bytes = reinterpret_cast<const char*>(block.data());
      int size = MultiByteToWideChar(codePage, ToWideFlags(codePage), bytes, int(convert), nullptr, 0);
      if (size <= 0) return false;
      text.resize(size_t(size));
      if (MultiByteToWideChar(codePage, ToWideFlags(codePage), bytes, int(convert), text.data(), size) != size)
        return false;
      if (georgian)
        for (wchar_t& c : text) c = GeorgianLetter(c);
      if (bigEndian) SwapBytes(text.data(), text.size());
      if (!out.Write(text.data(), text.size() * sizeof(wchar_t))) return false;
    }
    if (end) return true;
    carried = keep;
    for (size_t i = 0; i < carried; ++i) block[i] = block[convert + i];
  }
}
}  // namespace

wchar_t GeorgianLetter(wchar_t c) {
  // Four Cyrillic letters have no Georgian counterpart in the font: З, О, Х and в.
  static const struct {
    wchar_t first, last, to;
  } kRanges[] = {
      {0x0410, 0x0416, 0x10D0}, {0x0418, 0x041D, 0x10D7}, {0x041F, 0x0424, 0x10DD},
      {0x0426, 0x0431, 0x10E3}, {0x0433, 0x0434, 0x10EF},
  };
  for (const auto& r : kRanges)
    if (c >= r.first && c <= r.last) return wchar_t(r.to + (c - r.first));
  return c;
}

bool ConvertUtf16File(const Utf16Conversion& c) {
  if (c.source.empty() || c.destination.empty() || c.sourceCodePage < 1 || c.destinationCodePage < 1) return false;
  DWORD attributes = GetFileAttributesW(c.source.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return false;
  std::wstring destination = c.destination;
  DWORD destAttributes = GetFileAttributesW(destination.c_str());
  if (destAttributes != INVALID_FILE_ATTRIBUTES && (destAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    if (destination.back() != L'\\' && destination.back() != L'/') destination += L'\\';
    size_t slash = c.source.find_last_of(L"\\/:");
    destination += slash == std::wstring::npos ? c.source : c.source.substr(slash + 1);
  }

  File in(CreateFileW(c.source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!in.Open()) return false;
  unsigned char mark[2] = {};
  long marked = in.Read(mark, 2);
  if (marked < 0) return false;
  bool le = marked == 2 && mark[0] == 0xFF && mark[1] == 0xFE;
  bool be = marked == 2 && mark[0] == 0xFE && mark[1] == 0xFF;
  bool hasMark = le || be;
  if (!hasMark) {
    le = c.sourceCodePage == kUtf16Le;
    be = c.sourceCodePage == kUtf16Be;
    // Without a mark the first two bytes are text: read them again.
    SetFilePointer(in.handle, 0, nullptr, FILE_BEGIN);
  }
  bool wideSource = le || be;

  File out(CreateFileW(destination.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!out.Open()) return false;
  bool wideDestination = IsUtf16(c.destinationCodePage);
  if (wideSource == wideDestination) return false;  // UTF-16 to UTF-16, narrow to narrow
  if (wideSource) return WideToNarrow(in, out, be, c.destinationCodePage);
  bool bigEndian = c.destinationCodePage == kUtf16Be;
  static const unsigned char kLe[2] = {0xFF, 0xFE}, kBe[2] = {0xFE, 0xFF};
  if (!out.Write(bigEndian ? kBe : kLe, 2)) return false;
  return NarrowToWide(in, out, c.sourceCodePage, bigEndian, c.georgian);
}
