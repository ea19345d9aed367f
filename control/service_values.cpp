#include "service_values.h"

#include "service_params.h"

bool WriteExchFolderValue(const char* folder) { return SetExchFolder(folder); }
void ReadExchFolderValue(char* buffer, std::size_t size) { GetExchFolder(buffer, size); }
void ReadErrorValue(char* buffer, std::size_t size) { GetErrorText(buffer, size); }
std::uint32_t ReadUserCountValue() { return GetUserCount(); }
bool WriteVersionValue(std::uint32_t version) { return SetVersion(version); }
std::uint32_t ReadVersionValue() { return GetVersion(); }
