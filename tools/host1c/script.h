// The host emulator's script: one statement a line, calls written as in 1C's language.
//   Enable()                        a procedure
//   text = CeErrDescription(3)      a function, its result kept in a variable
//   IsEnabled = 1                   a property (or, for any other name, a variable)
//   print IsEnabled, text, "done"   values of properties, variables and literals
//   wait 2000                       run the message loop (timers fire, events arrive)
//   waitevent 10000                 ... until an event arrives; an error when none does
//   events                          show the events that are waiting
//   reinit                          Done, then Init again with the same connection
// Numbers with a point are VT_R8, others VT_I4; strings are in double quotes ("" for a
// quote). A variable passed to a method receives what the method writes back. Text after
// '#' or "//" is a comment.
#pragma once
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "host_component.h"

enum ScriptResult {
  kScriptOk = 0,
  kScriptError = 1,
  kScriptNoEvent = 3,
};

class ScriptRunner {
 public:
  ScriptRunner(HostComponent& component, std::function<void(const std::wstring&)> out);

  // Runs the statements in order, stopping at the first that fails.
  int Run(const std::vector<std::wstring>& lines);
  int RunLine(const std::wstring& line, int number);

  // Shows every event that is waiting in the connection.
  void ShowEvents();

  const std::map<std::wstring, Variant>& Variables() const { return variables; }

 private:
  struct Token {
    enum Kind { kName, kNumber, kString, kOpen, kClose, kComma, kEquals, kEnd } kind;
    std::wstring text;
  };
  bool Tokenize(const std::wstring& line, std::vector<Token>& tokens, std::wstring& error);
  bool Value(const Token& token, Variant& value, std::wstring& error);
  int Fail(int number, const std::wstring& message);
  int CallStatement(const std::vector<Token>& tokens, size_t first, const std::wstring* target, int number);
  bool Pump(DWORD ms, bool untilEvent);

  HostComponent& component;
  std::function<void(const std::wstring&)> out;
  std::map<std::wstring, Variant> variables;
};

std::wstring EventText(const HostEvent& event);
