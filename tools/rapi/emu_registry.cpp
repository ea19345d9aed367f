#include "emu_registry.h"

#include <cwchar>
#include <cwctype>

#include "emu_config.h"
#include "emu_state.h"

namespace {
// A quoted name or text with \" and \\ escapes, starting at text[at] == '"'; `at` ends past
// the closing quote.
bool Quoted(const std::wstring& text, size_t& at, std::wstring& out) {
  if (at >= text.size() || text[at] != L'"') return false;
  out.clear();
  for (++at; at < text.size(); ++at) {
    wchar_t c = text[at];
    if (c == L'"') {
      ++at;
      return true;
    }
    if (c == L'\\' && at + 1 < text.size()) c = text[++at];
    out += c;
  }
  return false;
}

bool HexBytes(const std::wstring& text, std::vector<BYTE>& out) {
  out.clear();
  std::wstring digits;
  for (wchar_t c : text) {
    if (iswxdigit(c)) digits += c;
    else if (c != L',' && c != L' ') return false;
  }
  if (digits.size() % 2) return false;
  for (size_t i = 0; i < digits.size(); i += 2) out.push_back(BYTE(wcstoul(digits.substr(i, 2).c_str(), nullptr, 16)));
  return true;
}

bool ParseValue(const std::wstring& line, RegValue& value) {
  size_t at = 0;
  if (!Quoted(line, at, value.name) || at >= line.size() || line[at] != L'=') return false;
  std::wstring rest = line.substr(at + 1);
  if (!rest.empty() && rest[0] == L'"') {
    std::wstring text;
    size_t pos = 0;
    if (!Quoted(rest, pos, text)) return false;
    value.type = REG_SZ;
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text.c_str());
    value.data.assign(bytes, bytes + (text.size() + 1) * sizeof(wchar_t));
    return true;
  }
  if (rest.compare(0, 6, L"dword:") == 0) {
    wchar_t* end = nullptr;
    DWORD n = DWORD(wcstoul(rest.c_str() + 6, &end, 16));
    if (!end || *end) return false;
    value.type = REG_DWORD;
    value.data.assign(reinterpret_cast<BYTE*>(&n), reinterpret_cast<BYTE*>(&n) + 4);
    return true;
  }
  if (rest.compare(0, 4, L"hex:") == 0) {
    value.type = REG_BINARY;
    return HexBytes(rest.substr(4), value.data);
  }
  if (rest.compare(0, 4, L"hex(") == 0) {
    size_t close = rest.find(L"):");
    if (close == std::wstring::npos) return false;
    value.type = DWORD(wcstoul(rest.substr(4, close - 4).c_str(), nullptr, 16));
    return HexBytes(rest.substr(close + 2), value.data);
  }
  return false;
}

std::wstring Escaped(const std::wstring& text) {
  std::wstring out;
  for (wchar_t c : text) {
    if (c == L'"' || c == L'\\') out += L'\\';
    out += c;
  }
  return out;
}

std::wstring ValueLine(const RegValue& value) {
  std::wstring line = L"\"" + Escaped(value.name) + L"\"=";
  size_t chars = value.data.size() / sizeof(wchar_t);
  const wchar_t* text = reinterpret_cast<const wchar_t*>(value.data.data());
  bool plainText = value.type == REG_SZ && value.data.size() % 2 == 0 && chars > 0 && text[chars - 1] == 0 &&
                   wcsnlen(text, chars) == chars - 1 && std::wstring(text).find_first_of(L"\r\n") == std::wstring::npos;
  if (plainText) return line + L"\"" + Escaped(text) + L"\"";
  if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD n = 0;
    memcpy(&n, value.data.data(), 4);
    wchar_t hex[16];
    swprintf(hex, 16, L"dword:%08x", unsigned(n));
    return line + hex;
  }
  wchar_t head[32];
  if (value.type == REG_BINARY) swprintf(head, 32, L"hex:");
  else swprintf(head, 32, L"hex(%x):", unsigned(value.type));
  line += head;
  for (size_t i = 0; i < value.data.size(); ++i) {
    wchar_t byte[4];
    swprintf(byte, 4, i ? L",%02x" : L"%02x", unsigned(value.data[i]));
    line += byte;
  }
  return line;
}
}  // namespace

std::wstring RegUpper(std::wstring text) {
  for (wchar_t& c : text) c = wchar_t(towupper(c));
  return text;
}

RegTree LoadRegistry(const std::wstring& file) {
  RegTree tree;
  std::string raw = ReadFileBytes(file);
  if (raw.size() >= 3 && raw.compare(0, 3, "\xEF\xBB\xBF") == 0) raw.erase(0, 3);
  std::wstring text = FromUtf8(raw);
  RegKey* key = nullptr;
  size_t at = 0;
  for (int number = 1; at < text.size(); ++number) {
    size_t end = text.find(L'\n', at);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(at, end - at);
    at = end + 1;
    while (!line.empty() && (line.back() == L'\r' || line.back() == L' ')) line.pop_back();
    if (line.empty() || line[0] == L';') continue;
    if (line[0] == L'[' && line.back() == L']') {
      std::wstring path = line.substr(1, line.size() - 2);
      key = &tree[RegUpper(path)];
      if (key->path.empty()) key->path = path;
      continue;
    }
    RegValue value;
    if (key && ParseValue(line, value)) {
      key->values[RegUpper(value.name)] = value;
    } else {
      EmuLog(L"registry.txt line " + std::to_wstring(number) + L" skipped: " + line);
    }
  }
  return tree;
}

bool SaveRegistry(const std::wstring& file, const RegTree& tree) {
  std::wstring text;
  for (const auto& entry : tree) {
    text += L"[" + entry.second.path + L"]\r\n";
    for (const auto& value : entry.second.values) text += ValueLine(value.second) + L"\r\n";
    text += L"\r\n";
  }
  std::string bytes = ToUtf8(text);
  HANDLE out = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (out == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  bool ok = WriteFile(out, bytes.data(), DWORD(bytes.size()), &written, nullptr) && written == bytes.size();
  CloseHandle(out);
  return ok;
}
