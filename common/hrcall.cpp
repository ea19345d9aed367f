#include "hrcall.h"

#include <cstdio>

std::string FormatHrCall(int line, const char* text, XmlResult hr, const char* call) {
    char message[1024];  // snprintf cuts a longer message at 1023 characters
    std::snprintf(message, sizeof message, "%s:%d  HRCALL Failed: %s\n  0x%.8x = %s\n", "MyXML", line, text,
                  static_cast<unsigned>(hr), call);
    return message;
}
