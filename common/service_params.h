// The service's values under its registry key, shared by the service and the control panel:
//   ...\Parameters            Version     (DWORD, written at install)
//   ...\Parameters\           Error       (first error text of a run)
//   ...\Parameters\Exchange   ExchFolder  (exchange folder), UserCount (DWORD)
// No operation reports to the user: a failed write keeps the old value, a failed read gives
// "", 0 or 0xFFFFFFFF.
// GetVersion has the name of a Windows function: a source that includes <windows.h> cannot
// include this header as well.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// The most the service reads back from Error, terminator included; longer texts are cut.
constexpr std::size_t kErrorTextSize = 1024;

// "SYSTEM\CurrentControlSet\Services\VeloraService\Parameters" without a subkey, else that
// path, a backslash and the subkey (also for "", which gives the path ending in "\").
std::string FormatParametersKey(const char* subkey);
// The same into a buffer; false (and "") when it does not fit.
bool FormatParametersKey(char* buffer, std::size_t size, const char* subkey);

bool SetExchFolder(const char* text);
bool GetExchFolder(char* buffer, std::size_t size);
// Keeps the first error since the last clear: a non-empty text is written only while the
// stored one is empty; "" always clears. Texts longer than kErrorTextSize - 1 are cut.
bool SetErrorText(const char* text);
// The stored error text, cut to fit `size`; "" on failure.
bool GetErrorText(char* buffer, std::size_t size);
bool SetUserCount(std::uint32_t count);
std::uint32_t GetUserCount();  // 0 on failure
bool SetVersion(std::uint32_t version);
std::uint32_t GetVersion();  // 0xFFFFFFFF on failure

// Bounds on connections, DWORD values of the parameters key (a missing or zero value gives
// the default):
//   MaxConnections            connections held at once in all (256)
//   MaxConnectionsPerAddress  connections held at once from one peer address (32)
//   AuthTimeout               seconds a connection has to present its device code (30)
//   DrainTimeout              seconds stop and pause wait for sessions before cancelling them (30)
struct ConnectionLimits {
    std::uint32_t maxConnections = 256;
    std::uint32_t maxPerAddress = 32;
    std::uint32_t authTimeoutSec = 30;
    std::uint32_t drainTimeoutSec = 30;
};
ConnectionLimits GetConnectionLimits();
