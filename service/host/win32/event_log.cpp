#include <windows.h>

#include <cstdio>
#include <cstring>

#include "host/names.h"
#include "host/shell.h"
#include "host/status.h"

void LogEventError(const char* text) {
    if (debugMode.load()) return;
    lastError.store(GetLastError());
    HANDLE source = RegisterEventSourceA(nullptr, kServiceName);
    if (!source) return;
    // Both strings live in fixed buffers and are cut to fit, whatever the caller passes.
    char first[128];
    std::snprintf(first, sizeof first, "%s error: %lu", kServiceName,
                  static_cast<unsigned long>(lastError.load()));
    char second[1024];
    std::snprintf(second, sizeof second, "%s", text ? text : "");
    const char* strings[2] = {first, second};
    ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 2, 0, strings, nullptr);
    DeregisterEventSource(source);
}
