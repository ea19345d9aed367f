#include "exchange/upload_name.h"

#include "platform/codepage.h"

namespace {
bool IsDeviceName(const std::string& name) {
    // Windows maps these to devices whatever the extension ("nul.txt" is NUL).
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$",
                                           "CLOCK$"};
    for (const char* d : kDevices)
        if (AnsiCompareNoCase(stem.c_str(), d) == 0) return true;
    if (stem.size() == 4) {
        std::string prefix = stem.substr(0, 3);
        char digit = stem[3];
        bool port = AnsiCompareNoCase(prefix.c_str(), "COM") == 0 ||
                    AnsiCompareNoCase(prefix.c_str(), "LPT") == 0;
        if (port && digit >= '0' && digit <= '9') return true;
    }
    return false;
}
}  // namespace

bool IsSafeUploadName(const std::string& name) {
    if (name.empty() || name.size() > 200) return false;
    for (char c : name) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) return false;
        switch (c) {
            case '\\': case '/': case ':': case '*': case '?': case '"': case '<': case '>':
            case '|':
                return false;
            default:
                break;
        }
    }
    if (name == "." || name == ".." || name.back() == '.' || name.back() == ' ') return false;
    if (IsDeviceName(name)) return false;
    static const char* const kServiceFiles[] = {"lock",        "CRC",          "download.tmp",
                                                "dwnldclt.tmp", "From1C.zip",  "From1C_trans.zip",
                                                "LastConnectionTime"};
    for (const char* f : kServiceFiles)
        if (AnsiCompareNoCase(name.c_str(), f) == 0) return false;
    return true;
}
