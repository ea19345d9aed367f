#include "exchange_folder.h"

#include "host_component.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <system_error>

ExchangeFolder::ExchangeFolder(const wchar_t* stem) {
  static int counter = 0;
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  path = std::wstring(temp) + stem + L"-обмен-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         std::to_wstring(++counter);
  if (path.back() == L'\\') path.pop_back();
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
  std::filesystem::create_directories(path, ignored);
}

ExchangeFolder::~ExchangeFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

bool ExchangeFolder::Write(const std::wstring& relative, const std::string& bytes) const {
  std::wstring full = File(relative);
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(full).parent_path(), ignored);
  HANDLE file = CreateFileW(full.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

bool ExchangeFolder::Exists(const std::wstring& relative) const {
  return GetFileAttributesW(File(relative).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string ExchangeFolder::Read(const std::wstring& relative) const {
  std::string bytes;
  HANDLE file = CreateFileW(File(relative).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  char buffer[65536];
  DWORD n = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0) bytes.append(buffer, n);
  CloseHandle(file);
  return bytes;
}

void ExchangeFolder::Remove(const std::wstring& relative) const { DeleteFileW(File(relative).c_str()); }

std::string ServerConfigXml(const std::vector<ConfigDevice>& devices) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<VeloraServer VERSION=\"1.0\">\r\n"
                    "\t<ServerConfig PortExternal=\"5555\" SyncTime=\"1\" />\r\n";
  for (const ConfigDevice& d : devices)
    xml += "\t<PPC DEVICE_ID=\"" + d.id + "\" PSEUDONIM=\"" + d.pseudonim + "\" DIRECTORY=\"" + d.directory +
           "\" />\r\n";
  return xml + "</VeloraServer>\r\n";
}

std::string RecordLine(const std::string& id, const std::string& agent, const std::string& file,
                       const std::string& time, const std::string& crc) {
  return id + "\t" + agent + "\t" + file + "\t" + time + "\t" + crc + "\r\n";
}

std::wstring NextAnnouncement(HostConnection& connection, DWORD ms) {
  HostEvent event;
  if (!WaitForEvent(connection, ms, event)) return L"";
  EXPECT_EQ(L"VLServer", event.source);
  EXPECT_EQ(L"NewDataFromServer", event.message);
  return event.data;
}
