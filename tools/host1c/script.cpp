#include "script.h"

#include <cerrno>
#include <cwchar>
#include <cwctype>

namespace {
bool IsNameChar(wchar_t c) { return c >= 0x80 || std::iswalnum(c) || c == L'_'; }

std::wstring Lower(std::wstring text) {
  for (wchar_t& c : text) c = wchar_t(std::towlower(c));
  return text;
}

std::wstring Quote(const std::wstring& text) { return Variant(text).Text(); }
}  // namespace

std::wstring EventText(const HostEvent& event) {
  return L"event " + Quote(event.source) + L" " + Quote(event.message) + L" " + Quote(event.data);
}

ScriptRunner::ScriptRunner(HostComponent& c, std::function<void(const std::wstring&)> o)
    : component(c), out(std::move(o)) {}

int ScriptRunner::Fail(int number, const std::wstring& message) {
  out(L"line " + std::to_wstring(number) + L": " + message);
  return kScriptError;
}

bool ScriptRunner::Tokenize(const std::wstring& line, std::vector<Token>& tokens, std::wstring& error) {
  size_t i = 0;
  while (i < line.size()) {
    wchar_t c = line[i];
    if (std::iswspace(c)) {
      ++i;
    } else if (c == L'#' || (c == L'/' && i + 1 < line.size() && line[i + 1] == L'/')) {
      break;
    } else if (c == L'(' || c == L')' || c == L',' || c == L'=') {
      Token::Kind kind = c == L'(' ? Token::kOpen : c == L')' ? Token::kClose : c == L',' ? Token::kComma : Token::kEquals;
      tokens.push_back(Token{kind, std::wstring(1, c)});
      ++i;
    } else if (c == L'"') {
      std::wstring text;
      for (++i;; ++i) {
        if (i >= line.size()) {
          error = L"unterminated string";
          return false;
        }
        if (line[i] == L'"') {
          if (i + 1 < line.size() && line[i + 1] == L'"') {
            text += L'"';
            ++i;
            continue;
          }
          ++i;
          break;
        }
        text += line[i];
      }
      tokens.push_back(Token{Token::kString, text});
    } else if (std::iswdigit(c) || ((c == L'-' || c == L'+') && i + 1 < line.size() && std::iswdigit(line[i + 1]))) {
      size_t start = i++;
      while (i < line.size() && (std::iswdigit(line[i]) || line[i] == L'.')) ++i;
      tokens.push_back(Token{Token::kNumber, line.substr(start, i - start)});
    } else if (IsNameChar(c)) {
      size_t start = i;
      while (i < line.size() && IsNameChar(line[i])) ++i;
      tokens.push_back(Token{Token::kName, line.substr(start, i - start)});
    } else {
      error = L"unexpected character '" + std::wstring(1, c) + L"'";
      return false;
    }
  }
  tokens.push_back(Token{Token::kEnd, L""});
  return true;
}

// A literal, a variable, or a property of the component.
bool ScriptRunner::Value(const Token& token, Variant& value, std::wstring& error) {
  if (token.kind == Token::kString) {
    value = Variant(token.text);
    return true;
  }
  if (token.kind == Token::kNumber) {
    wchar_t* end = nullptr;
    if (token.text.find(L'.') != std::wstring::npos) {
      value = Variant(wcstod(token.text.c_str(), &end));
    } else {
      errno = 0;
      long number = wcstol(token.text.c_str(), &end, 10);
      if (errno == ERANGE) {
        error = L"number out of range: " + token.text;
        return false;
      }
      value = Variant(number);
    }
    if (*end) {
      error = L"bad number " + token.text;
      return false;
    }
    return true;
  }
  if (token.kind == Token::kName) {
    auto variable = variables.find(token.text);
    if (variable != variables.end()) {
      value = variable->second;
      return true;
    }
    long prop = component.FindProp(token.text);
    if (prop >= 0) {
      HRESULT hr = component.GetProp(prop, value);
      if (hr != S_OK) {
        error = L"property " + token.text + L" cannot be read";
        return false;
      }
      return true;
    }
    error = L"unknown name " + token.text;
    return false;
  }
  error = L"a value is expected, not '" + token.text + L"'";
  return false;
}

int ScriptRunner::CallStatement(const std::vector<Token>& tokens, size_t first, const std::wstring* target,
                                int number) {
  const std::wstring& name = tokens[first].text;
  std::vector<Variant> args;
  std::vector<std::wstring> argVariables;  // the variable behind each argument, if any
  size_t i = first + 2;
  std::wstring error;
  if (tokens[i].kind != Token::kClose) {
    for (;;) {
      Variant value;
      if (!Value(tokens[i], value, error)) return Fail(number, error);
      args.push_back(value);
      argVariables.push_back(tokens[i].kind == Token::kName && variables.count(tokens[i].text) ? tokens[i].text
                                                                                               : std::wstring());
      ++i;
      if (tokens[i].kind == Token::kComma) {
        ++i;
        continue;
      }
      if (tokens[i].kind == Token::kClose) break;
      return Fail(number, L"',' or ')' expected");
    }
  }
  if (tokens[i + 1].kind != Token::kEnd) return Fail(number, L"unexpected text after ')'");
  std::vector<Variant> before = args;
  Variant result;
  HRESULT hr = component.CallByName(name, args, result, &error);
  if (hr == E_INVALIDARG && !error.empty()) return Fail(number, error);
  if (hr == S_FALSE) {
    out(L"  the component did not carry out " + name + L" (S_FALSE)");
  } else if (FAILED(hr)) {
    wchar_t code[16];
    swprintf(code, 16, L"0x%08lX", static_cast<unsigned long>(hr));
    return Fail(number, name + L" failed with " + code);
  }
  long method = component.FindMethod(name);
  BOOL hasResult = FALSE;
  component.Extender()->HasRetVal(method, &hasResult);
  if (hasResult && hr == S_OK) {
    if (target) {
      variables[*target] = result;
      out(L"  " + *target + L" = " + result.Text());
    } else {
      out(L"  = " + result.Text());
    }
  }
  for (size_t a = 0; a < before.size(); ++a) {
    if (args[a].Text() == before[a].Text() && args[a].Type() == before[a].Type()) continue;
    if (a < argVariables.size() && !argVariables[a].empty()) {
      variables[argVariables[a]] = args[a];
      out(L"  " + argVariables[a] + L" = " + args[a].Text());
    } else {
      out(L"  parameter " + std::to_wstring(a + 1) + L" = " + args[a].Text());
    }
  }
  return kScriptOk;
}

bool ScriptRunner::Pump(DWORD ms, bool untilEvent) {
  DWORD start = GetTickCount();
  HostConnection* connection = component.Connection();
  for (;;) {
    DWORD spent = GetTickCount() - start;
    DWORD left = spent >= ms ? 0 : ms - spent;
    HostEvent event;
    if (connection ? WaitForEvent(*connection, left, event) : (PumpMessages(left), false)) {
      out(EventText(event));
      if (untilEvent) return true;
      continue;
    }
    return false;
  }
}

void ScriptRunner::ShowEvents() {
  HostConnection* connection = component.Connection();
  HostEvent event;
  while (connection && connection->PopEvent(event)) out(EventText(event));
  if (connection && connection->DroppedEvents())
    out(L"  events lost to a full buffer so far: " + std::to_wstring(connection->DroppedEvents()));
}

int ScriptRunner::RunLine(const std::wstring& line, int number) {
  std::vector<Token> tokens;
  std::wstring error;
  if (!Tokenize(line, tokens, error)) return Fail(number, error);
  if (tokens[0].kind == Token::kEnd) return kScriptOk;
  out(L"> " + line.substr(line.find_first_not_of(L" \t")));
  if (tokens[0].kind != Token::kName) return Fail(number, L"a statement starts with a name");

  const Token& second = tokens[1];
  std::wstring keyword = Lower(tokens[0].text);
  bool plain = second.kind != Token::kOpen && second.kind != Token::kEquals;
  int result = kScriptOk;

  if (plain && keyword == L"print") {
    std::wstring text;
    for (size_t i = 1; tokens[i].kind != Token::kEnd; ++i) {
      if (tokens[i].kind == Token::kComma) continue;
      Variant value;
      if (!Value(tokens[i], value, error)) return Fail(number, error);
      text += (text.empty() ? L"  " : L" ") + value.Text();
    }
    out(text);
  } else if (plain && (keyword == L"wait" || keyword == L"waitevent")) {
    if (second.kind != Token::kNumber || tokens[2].kind != Token::kEnd)
      return Fail(number, keyword + L" takes a time in milliseconds");
    long ms = wcstol(second.text.c_str(), nullptr, 10);
    if (ms < 0) return Fail(number, L"negative time");
    bool any = Pump(DWORD(ms), keyword == L"waitevent");
    if (keyword == L"waitevent" && !any) {
      out(L"line " + std::to_wstring(number) + L": no event within " + second.text + L" ms");
      return kScriptNoEvent;
    }
  } else if (plain && keyword == L"events" && second.kind == Token::kEnd) {
    // shown below
  } else if (plain && keyword == L"reinit" && second.kind == Token::kEnd) {
    HostConnection* connection = component.Connection();
    if (connection) connection->AddRef();
    HRESULT done = component.Done();
    HRESULT init = component.Init(connection);
    if (connection) connection->Release();
    if (FAILED(done) || FAILED(init)) return Fail(number, L"Done/Init failed");
  } else if (second.kind == Token::kOpen) {
    result = CallStatement(tokens, 0, nullptr, number);
  } else if (second.kind == Token::kEquals) {
    const std::wstring& target = tokens[0].text;
    if (tokens[2].kind == Token::kName && tokens[3].kind == Token::kOpen) {
      result = CallStatement(tokens, 2, &target, number);
    } else {
      Variant value;
      if (!Value(tokens[2], value, error)) return Fail(number, error);
      if (tokens[3].kind != Token::kEnd) return Fail(number, L"unexpected text after the value");
      long prop = variables.count(target) ? -1 : component.FindProp(target);
      if (prop >= 0) {
        if (component.SetProp(prop, value) != S_OK) out(L"  the component did not set " + target + L" (S_FALSE)");
      } else {
        variables[target] = value;
      }
    }
  } else if (second.kind == Token::kEnd) {
    Variant value;
    if (!Value(tokens[0], value, error)) return Fail(number, error);
    out(L"  " + value.Text());
  } else {
    return Fail(number, L"unknown statement");
  }
  if (result == kScriptOk) ShowEvents();
  return result;
}

int ScriptRunner::Run(const std::vector<std::wstring>& lines) {
  for (size_t i = 0; i < lines.size(); ++i) {
    int result = RunLine(lines[i], int(i + 1));
    if (result != kScriptOk) return result;
  }
  return kScriptOk;
}
