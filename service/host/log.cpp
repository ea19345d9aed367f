#include "host/log.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "platform/codepage.h"
#include "platform/files.h"

namespace {
// One lock for every append, held from opening the file to closing it, so lines of different
// threads never interleave. It also guards the path, which a reload rewrites.
std::mutex& LogLock() {
    static std::mutex lock;
    return lock;
}
std::string logPath;

// The file is opened in binary mode on every platform and line ends are written as CR LF
// here, so the POSIX build writes the same bytes as the Windows one.
void AppendCrLf(std::string& out, const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
        out.push_back(text[i]);
    }
}

std::string Format(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n <= 0) return std::string();
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(&out[0], out.size(), format, args);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

// Control characters (line breaks above all) that came from the network would forge or break
// lines: they are written as \xNN, so one call always gives exactly one line.
std::string EscapeControls(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) {
            char code[8];
            std::snprintf(code, sizeof code, "\\x%02X", u);
            out += code;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// Writes one complete line; the caller holds the lock.
void WriteLine(const std::string& line) {
    std::FILE* f = logPath.empty() ? nullptr : FileOpen(logPath.c_str(), "ab");
    if (!f) {
        ConsolePrintf("Couldn't open %s for logging\n", logPath.c_str());
        return;
    }
    std::string bytes;
    AppendCrLf(bytes, line);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}
}  // namespace

void SetLogPath(const std::string& path) {
    std::lock_guard<std::mutex> lock(LogLock());
    logPath = path;
}

std::string GetLogPath() {
    std::lock_guard<std::mutex> lock(LogLock());
    return logPath;
}

void FormatTimestamp(const std::tm& t, char* buffer) {
    // 20 characters: "YYYY-MM-DD hh-mm-ss" and the terminator; a year beyond 9999 is cut.
    char full[80];
    std::snprintf(full, sizeof full, "%04d-%02d-%02d %02d-%02d-%02d", t.tm_year + 1900, t.tm_mon + 1,
                  t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
    std::memcpy(buffer, full, 19);
    buffer[19] = '\0';
}

void FormatNow(char* buffer) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    FormatTimestamp(local, buffer);
}

// Stamps and appends one line under the log lock; the stamp is taken inside the lock so
// lines appear in time order.
static void AppendStamped(const std::string& rest) {
    char stamp[20];
    std::lock_guard<std::mutex> lock(LogLock());
    FormatNow(stamp);
    WriteLine(stamp + EscapeControls(rest) + "\n");
}

void LogMessage(const char* text) {
    AppendStamped(std::string(" ***** ") + (text ? text : ""));
}

void LogTraffic(const char* label, int direction, const char* tag, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = Format(format ? format : "", args);
    va_end(args);

    std::string line = " ";
    line += label ? label : "";
    line += " ";
    if (direction == -1) line += "OUT ";
    if (direction == 1) line += "IN ";
    if (tag && *tag) {
        line += tag;
        line += " ";
    }
    line += text;
    AppendStamped(line);
}
