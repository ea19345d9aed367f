#include "last_error.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <type_traits>

char* LastErrorText(char* buffer, std::size_t size) {
    if (!buffer || size == 0) return buffer;
    buffer[0] = '\0';
    int code = errno;
    char scratch[256];
    // The GNU strerror_r returns its text (which may not be `scratch`); the XSI one fills it.
    auto result = strerror_r(code, scratch, sizeof scratch);
    const char* text = nullptr;
    if constexpr (std::is_same<decltype(result), char*>::value) {
        text = result;
    } else {
        text = result == 0 ? scratch : nullptr;
    }
    if (text && *text && size >= std::strlen(text) + 14)
        std::snprintf(buffer, size, "%s (0x%x)", text, static_cast<unsigned>(code));
    errno = code;
    return buffer;
}
