#include "service_params.h"

#include <cstring>

#include "platform/params.h"

namespace {
const char kServiceName[] = "VeloraService";  // the key the Service Control Manager made
const char kExchange[] = "Exchange";

bool CopyOut(const std::string& text, char* buffer, std::size_t size) {
    if (!buffer || size == 0) return false;
    if (text.size() + 1 > size) {
        buffer[0] = '\0';
        return false;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return true;
}
}  // namespace

std::string FormatParametersKey(const char* subkey) {
    std::string key = std::string("SYSTEM\\CurrentControlSet\\Services\\") + kServiceName + "\\Parameters";
    if (subkey) key += std::string("\\") + subkey;
    return key;
}

bool FormatParametersKey(char* buffer, std::size_t size, const char* subkey) {
    return CopyOut(FormatParametersKey(subkey), buffer, size);
}

bool SetExchFolder(const char* text) {
    return ParamsWriteString(FormatParametersKey(kExchange).c_str(), "ExchFolder", text ? text : "");
}

bool GetExchFolder(char* buffer, std::size_t size) {
    return ParamsReadString(FormatParametersKey(kExchange).c_str(), "ExchFolder", buffer, size);
}

bool SetErrorText(const char* text) {
    std::string key = FormatParametersKey("");
    std::string value = text ? text : "";
    if (value.size() > kErrorTextSize - 1) value.resize(kErrorTextSize - 1);
    char current[kErrorTextSize];
    if (!ParamsReadString(key.c_str(), "Error", current, sizeof current)) current[0] = '\0';
    if (current[0] != '\0' && !value.empty()) return true;  // the first error of the run stands
    return ParamsWriteString(key.c_str(), "Error", value.c_str());
}

bool GetErrorText(char* buffer, std::size_t size) {
    if (!buffer || size == 0) return false;
    buffer[0] = '\0';
    char current[kErrorTextSize];
    if (!ParamsReadString(FormatParametersKey("").c_str(), "Error", current, sizeof current)) return false;
    // A caller with a smaller buffer gets the start of the text rather than nothing.
    std::size_t n = std::strlen(current);
    if (n > size - 1) n = size - 1;
    std::memcpy(buffer, current, n);
    buffer[n] = '\0';
    return true;
}

bool SetUserCount(std::uint32_t count) {
    return ParamsWriteDword(FormatParametersKey(kExchange).c_str(), "UserCount", count);
}

std::uint32_t GetUserCount() {
    std::uint32_t n = 0;
    return ParamsReadDword(FormatParametersKey(kExchange).c_str(), "UserCount", &n) ? n : 0;
}

bool SetVersion(std::uint32_t version) {
    return ParamsWriteDword(FormatParametersKey(nullptr).c_str(), "Version", version);
}

std::uint32_t GetVersion() {
    std::uint32_t n = 0;
    return ParamsReadDword(FormatParametersKey(nullptr).c_str(), "Version", &n) ? n : 0xFFFFFFFFu;
}

ConnectionLimits GetConnectionLimits() {
    ConnectionLimits limits;
    std::string key = FormatParametersKey(nullptr);
    struct {
        const char* name;
        std::uint32_t* field;
    } values[] = {{"MaxConnections", &limits.maxConnections},
                  {"MaxConnectionsPerAddress", &limits.maxPerAddress},
                  {"AuthTimeout", &limits.authTimeoutSec},
                  {"DrainTimeout", &limits.drainTimeoutSec}};
    for (auto& v : values) {
        std::uint32_t n = 0;
        if (ParamsReadDword(key.c_str(), v.name, &n) && n != 0) *v.field = n;
    }
    return limits;
}
