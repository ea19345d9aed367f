// The service's registry values as the control panel uses them. The shared unit's GetVersion
// clashes with the Windows function of that name, so only service_values.cpp, which does not
// include <windows.h>, sees it; the rest of the control panel calls these.
#pragma once
#include <cstddef>
#include <cstdint>

bool WriteExchFolderValue(const char* folder);
void ReadExchFolderValue(char* buffer, std::size_t size);  // "" when missing
void ReadErrorValue(char* buffer, std::size_t size);       // "" when missing
std::uint32_t ReadUserCountValue();                         // 0 when missing
bool WriteVersionValue(std::uint32_t version);
std::uint32_t ReadVersionValue();                           // 0xFFFFFFFF when missing
