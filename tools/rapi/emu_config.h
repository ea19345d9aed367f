// What the emulated device is and how its connection behaves, read from one INI file (UTF-8):
// the file that VELORA_RAPI_CONFIG names, else rapi.ini next to rapi.dll. A missing file
// gives a docked device in a folder "device" beside it, with no faults.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

enum class ConnectMode { kUp, kNever, kFail };

struct EmuConfig {
  std::wstring file;        // the INI file read (it need not exist)
  std::wstring root;        // PC folder that is the device's "\"
  std::wstring logFile;     // what the emulator records
  ConnectMode connect = ConnectMode::kUp;
  bool dropAfter = false;   // the connection drops once dropBytes have been written
  std::uint64_t dropBytes = 0;
  DWORD dropError = ERROR_GEN_FAILURE;  // the device's error for the write that fails
  DWORD writeDelayMs = 0;   // a slow device: pause before every write
  std::vector<std::wstring> missing;  // entry points the library does not export
  std::vector<std::wstring> windows;  // class names of the top-level windows, in order
  DWORD major = 5, minor = 2, build = 1236, platform = 3;  // platform 3: Windows CE
  std::wstring servicePack;
};

EmuConfig ReadEmuConfig(HMODULE self);

// Pieces of a list separated by ';' or ',', trimmed, empty ones dropped.
std::vector<std::wstring> SplitList(const std::wstring& text);
// The bytes of a file, at most 16 MiB; empty when it cannot be read.
std::string ReadFileBytes(const std::wstring& path);
// UTF-8 <-> UTF-16.
std::wstring FromUtf8(const std::string& text);
std::string ToUtf8(const std::wstring& text);
