#include "registry_script.h"

#include <cwctype>

namespace {
struct Token {
  enum Kind { kWord, kString, kOpen, kClose, kEquals, kEnd } kind;
  std::wstring text;
};

class Lexer {
 public:
  explicit Lexer(const std::wstring& s) : text(s) {}

  bool Next(Token& token, std::wstring& error) {
    while (pos < text.size() && std::iswspace(text[pos])) ++pos;
    token.text.clear();
    if (pos >= text.size()) {
      token.kind = Token::kEnd;
      return true;
    }
    wchar_t c = text[pos];
    bool alone = pos + 1 >= text.size() || std::iswspace(text[pos + 1]);
    if ((c == L'{' || c == L'}') && alone) {
      token.kind = c == L'{' ? Token::kOpen : Token::kClose;
      ++pos;
      return true;
    }
    if (c == L'=') {
      token.kind = Token::kEquals;
      ++pos;
      return true;
    }
    if (c == L'\'') {
      token.kind = Token::kString;
      for (++pos;; ++pos) {
        if (pos >= text.size()) {
          error = L"unterminated string";
          return false;
        }
        if (text[pos] == L'\'') {
          if (pos + 1 < text.size() && text[pos + 1] == L'\'') {
            token.text += L'\'';
            ++pos;
            continue;
          }
          ++pos;
          return true;
        }
        token.text += text[pos];
      }
    }
    token.kind = Token::kWord;
    while (pos < text.size() && !std::iswspace(text[pos]) && text[pos] != L'=') token.text += text[pos++];
    return true;
  }

 private:
  const std::wstring& text;
  size_t pos = 0;
};

class Parser {
 public:
  explicit Parser(const std::wstring& s) : lexer(s) {}

  bool Script(std::vector<RegistryScriptRoot>& roots) {
    if (!Advance()) return false;
    while (token.kind != Token::kEnd) {
      RegistryScriptRoot root;
      if (token.kind != Token::kWord || !(root.root = RootKey(token.text)))
        return Fail(L"unknown root key '" + token.text + L"'");
      if (!Advance() || !Expect(Token::kOpen)) return false;
      while (token.kind != Token::kClose) {
        RegistryScriptKey key;
        if (!Key(key)) return false;
        root.keys.push_back(key);
      }
      if (!Advance()) return false;
      roots.push_back(root);
    }
    return true;
  }

  std::wstring error;

 private:
  static HKEY RootKey(const std::wstring& name) {
    if (name == L"HKCR" || name == L"HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
    if (name == L"HKLM" || name == L"HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
    if (name == L"HKCU" || name == L"HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
    return nullptr;
  }

  bool Advance() { return lexer.Next(token, error); }

  bool Fail(const std::wstring& message) {
    if (error.empty()) error = message;
    return false;
  }

  bool Expect(Token::Kind kind) {
    if (token.kind != kind) return Fail(L"unexpected '" + token.text + L"'");
    return Advance();
  }

  // "= s 'text'" or "= d 'number'" after a key or value name.
  bool Assignment(RegistryScriptValue& value) {
    if (!Expect(Token::kEquals)) return false;
    if (token.kind != Token::kWord || (token.text != L"s" && token.text != L"d"))
      return Fail(L"value type must be s or d");
    value.isNumber = token.text == L"d";
    if (!Advance()) return false;
    if (token.kind != Token::kString) return Fail(L"value must be a quoted string");
    value.text = token.text;
    if (value.isNumber) {
      wchar_t* end = nullptr;
      value.number = DWORD(wcstoul(value.text.c_str(), &end, 0));
      if (value.text.empty() || *end) return Fail(L"bad number '" + value.text + L"'");
    }
    return Advance();
  }

  bool Key(RegistryScriptKey& key) {
    if (token.kind == Token::kWord && token.text == L"NoRemove") key.noRemove = true;
    else if (token.kind == Token::kWord && token.text == L"ForceRemove") key.forceRemove = true;
    else if (token.kind == Token::kWord && token.text == L"Delete") key.remove = true;
    if ((key.noRemove || key.forceRemove || key.remove) && !Advance()) return false;
    if (token.kind != Token::kWord && token.kind != Token::kString) return Fail(L"key name expected");
    key.name = token.text;
    if (!Advance()) return false;
    if (token.kind == Token::kEquals) {
      RegistryScriptValue value;
      if (!Assignment(value)) return false;
      key.values.push_back(value);
    }
    if (token.kind != Token::kOpen) return true;
    if (!Advance()) return false;
    while (token.kind != Token::kClose) {
      if (token.kind == Token::kEnd) return Fail(L"missing '}'");
      if (token.kind == Token::kWord && token.text == L"val") {
        if (!Advance()) return false;
        RegistryScriptValue value;
        if (token.kind != Token::kWord && token.kind != Token::kString) return Fail(L"value name expected");
        value.name = token.text;
        if (!Advance() || !Assignment(value)) return false;
        key.values.push_back(value);
      } else {
        RegistryScriptKey sub;
        if (!Key(sub)) return false;
        key.subkeys.push_back(sub);
      }
    }
    return Advance();
  }

  Lexer lexer;
  Token token{Token::kEnd, L""};
};

LONG DeleteTree(HKEY parent, const std::wstring& name) {
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  wchar_t sub[256];
  for (;;) {
    DWORD length = 256;
    if (RegEnumKeyExW(key, 0, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
    if ((rc = DeleteTree(key, sub)) != ERROR_SUCCESS) break;
  }
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS) return rc;
  rc = RegDeleteKeyW(parent, name.c_str());
  return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

LONG WriteKey(HKEY parent, const RegistryScriptKey& spec) {
  LONG rc;
  if (spec.remove) return DeleteTree(parent, spec.name);
  if (spec.forceRemove && (rc = DeleteTree(parent, spec.name)) != ERROR_SUCCESS) return rc;
  HKEY key = nullptr;
  rc = RegCreateKeyExW(parent, spec.name.c_str(), 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr);
  if (rc != ERROR_SUCCESS) return rc;
  for (const RegistryScriptValue& v : spec.values) {
    const wchar_t* name = v.name.empty() ? nullptr : v.name.c_str();
    if (v.isNumber)
      rc = RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v.number), sizeof(DWORD));
    else
      rc = RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(v.text.c_str()),
                          DWORD((v.text.size() + 1) * sizeof(wchar_t)));
    if (rc != ERROR_SUCCESS) break;
  }
  for (size_t i = 0; rc == ERROR_SUCCESS && i < spec.subkeys.size(); ++i) rc = WriteKey(key, spec.subkeys[i]);
  RegCloseKey(key);
  return rc;
}

LONG RemoveKey(HKEY parent, const RegistryScriptKey& spec) {
  if (!spec.noRemove) return DeleteTree(parent, spec.name);
  HKEY key = nullptr;
  LONG rc = RegOpenKeyExW(parent, spec.name.c_str(), 0, KEY_READ | KEY_WRITE, &key);
  if (rc == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
  if (rc != ERROR_SUCCESS) return rc;
  for (size_t i = 0; rc == ERROR_SUCCESS && i < spec.subkeys.size(); ++i) rc = RemoveKey(key, spec.subkeys[i]);
  RegCloseKey(key);
  return rc;
}
}  // namespace

std::wstring ExpandRegistryScript(const std::wstring& script,
                                  const std::vector<std::pair<std::wstring, std::wstring>>& vars) {
  std::wstring out;
  for (size_t i = 0; i < script.size(); ++i) {
    if (script[i] != L'%') {
      out += script[i];
      continue;
    }
    size_t end = script.find(L'%', i + 1);
    if (end == std::wstring::npos) {
      out += script.substr(i);
      break;
    }
    std::wstring name = script.substr(i + 1, end - i - 1);
    bool known = name.empty();
    if (name.empty()) out += L'%';
    for (const auto& var : vars) {
      if (var.first != name) continue;
      for (wchar_t c : var.second) {
        out += c;
        if (c == L'\'') out += L'\'';
      }
      known = true;
      break;
    }
    if (!known) out += script.substr(i, end - i + 1);
    i = end;
  }
  return out;
}

bool ParseRegistryScript(const std::wstring& script, std::vector<RegistryScriptRoot>& roots,
                         std::wstring& error) {
  Parser parser(script);
  roots.clear();
  if (parser.Script(roots)) return true;
  error = parser.error;
  roots.clear();
  return false;
}

HRESULT RegisterScript(const std::vector<RegistryScriptRoot>& roots) {
  for (const RegistryScriptRoot& root : roots)
    for (const RegistryScriptKey& key : root.keys) {
      LONG rc = WriteKey(root.root, key);
      if (rc != ERROR_SUCCESS) return HRESULT_FROM_WIN32(rc);
    }
  return S_OK;
}

HRESULT UnregisterScript(const std::vector<RegistryScriptRoot>& roots) {
  HRESULT result = S_OK;
  for (const RegistryScriptRoot& root : roots)
    for (const RegistryScriptKey& key : root.keys) {
      LONG rc = RemoveKey(root.root, key);
      if (rc != ERROR_SUCCESS && result == S_OK) result = HRESULT_FROM_WIN32(rc);
    }
  return result;
}
