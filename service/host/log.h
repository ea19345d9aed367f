// log.txt in the exchange folder: lifecycle lines and traffic lines, appended under one lock.
#pragma once
#include <ctime>
#include <string>

void SetLogPath(const std::string& path);   // set by every configuration load
std::string GetLogPath();
// "%04d-%02d-%02d %02d-%02d-%02d" of a local time; buffer of at least 20 characters.
void FormatTimestamp(const std::tm& localTime, char* buffer);
void FormatNow(char* buffer);               // FormatTimestamp of the current local time
// "<timestamp> ***** <text>"
void LogMessage(const char* text);
// "<timestamp> <label> [OUT |IN ][<tag> ]<text>"; direction -1 OUT, 1 IN, other nothing.
void LogTraffic(const char* label, int direction, const char* tag, const char* format, ...)
    __attribute__((format(printf, 4, 5)));
