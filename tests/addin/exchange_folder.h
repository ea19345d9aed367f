// A scratch exchange folder for the server interop tests: a Cyrillic-named folder under the
// temporary folder, with helpers that write the service's files into it.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "host_connection.h"

class ExchangeFolder {
 public:
  explicit ExchangeFolder(const wchar_t* stem);
  ~ExchangeFolder();
  ExchangeFolder(const ExchangeFolder&) = delete;
  ExchangeFolder& operator=(const ExchangeFolder&) = delete;

  const std::wstring& Path() const { return path; }  // without a trailing backslash
  std::wstring File(const std::wstring& relative) const { return path + L"\\" + relative; }
  // Writes the bytes as they are (creating missing folders).
  bool Write(const std::wstring& relative, const std::string& bytes) const;
  bool Exists(const std::wstring& relative) const;
  // The file's bytes; empty when it cannot be read.
  std::string Read(const std::wstring& relative) const;
  void Remove(const std::wstring& relative) const;

 private:
  std::wstring path;
};

// A config.xml (UTF-8) naming these devices: {identifier, pseudonim (UTF-8), directory}.
struct ConfigDevice {
  std::string id, pseudonim, directory;
};
std::string ServerConfigXml(const std::vector<ConfigDevice>& devices);
// One line of Status.txt or Stack.txt as the service writes it (ANSI, TABs, CR LF).
std::string RecordLine(const std::string& id, const std::string& agent, const std::string& file,
                       const std::string& time, const std::string& crc);

// The record of the next "VLServer"/"NewDataFromServer" event (timers run meanwhile); empty
// when none comes within `ms`.
std::wstring NextAnnouncement(HostConnection& connection, DWORD ms);
