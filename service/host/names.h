// The service's fixed names: SCM registration, dispatch table and event source.
#pragma once

constexpr const char* kServiceName = "VeloraService";
constexpr const char* kDisplayName = "Velora Service";
constexpr const wchar_t* kServiceNameW = L"VeloraService";
constexpr const wchar_t* kDisplayNameW = L"Velora Service";
constexpr const char* kServiceDescription = "Velora СОД";  // Windows-1251 at run time
// A double-zero-terminated list with one entry.
constexpr const wchar_t kServiceDependencies[] = L"TCPIP\0";
