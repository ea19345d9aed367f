#include "config_template.h"

#include <cstdio>
#include <string>

#include "platform/files.h"

namespace {
const char16_t* const kLines[] = {
    u"<?xml version=\"1.0\" encoding=\"UTF-16\"?>",
    u"<VeloraServer VERSION=\"1.0\">",
    u"\t<ServerConfig PortExternal=\"5555\" ConfigID=\"11111111-1111-1111-1111-111111111111\" />",
    u"\t<!-- PortExternal - номер порта для запросов от КПК -->",
    u"\t<!-- Образец описания настроек для КПК: -->",
    u"\t<PPC DEVICE_ID=\"00000000-0000-0000-0000-000000000000\" PSEUDONIM=\"Agent1\" DIRECTORY=\"PPC1\" />",
    u"</VeloraServer>",
};

void Put(std::string* out, char16_t unit) {
    out->push_back(static_cast<char>(unit & 0xFF));  // little-endian on every build
    out->push_back(static_cast<char>(unit >> 8));
}
}  // namespace

bool WriteConfigTemplate(const char* path) {
    if (!path) return false;
    std::string bytes;
    Put(&bytes, 0xFEFF);
    for (const char16_t* line : kLines) {
        for (const char16_t* p = line; *p; ++p) Put(&bytes, *p);
        Put(&bytes, u'\r');
        Put(&bytes, u'\n');
    }
    std::FILE* file = FileOpen(path, "wb");
    if (!file) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    ok = std::fclose(file) == 0 && ok;
    return ok;
}
