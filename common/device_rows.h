// The table of devices that the control panel's window and velora-devices show: one row per
// configured device and per folder that no device uses, with the same cells in both, and the
// orders they can be sorted in.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "exchange_state.h"

enum DeviceColumn {
    kColAgent,
    kColDeviceId,
    kColFolder,
    kColLastConnection,
    kColFrom1CSize,   // From1C.zip waiting for the handheld
    kColFrom1CTime,
    kColFor1CFile,    // the delivered upload waiting for 1C
    kColFor1CSize,
    kColFor1CCrc,
    kColNamed,        // named uploads waiting for 1C
    kColPartialSize,  // download.tmp
    kColPartialCrc,
    kColLock,
    kColumnCount
};

// The window speaks Russian; the console tool English, as the service's console does.
enum class RowLanguage { Russian, English };

struct DeviceRow {
    std::string cells[kColumnCount];  // ANSI; empty when there is nothing to show
    std::int64_t keys[kColumnCount];  // sort keys of the numeric columns; -1 when empty
    bool configured = true;           // false: a folder that no device of config.xml uses
    bool connectedToday = false;
    std::string folderPath;
};

const char* ColumnTitle(int column, RowLanguage language);
bool IsNumericColumn(int column);

// One row per device in config.xml's order, then one per unconfigured folder. `now` (seconds
// since 1970) decides which devices have connected today, in local time.
std::vector<DeviceRow> BuildDeviceRows(const ExchangeState& state, std::int64_t now, RowLanguage language);

// Sorts by `column` (-1: the morning order: devices that have not connected today first, then
// the others, each by agent name; unconfigured folders last). Rows equal in the column keep
// the morning order among themselves.
void SortDeviceRows(std::vector<DeviceRow>* rows, int column, bool descending);

// "YYYY-MM-DD HH:MM:SS" in local time.
std::string FormatLocalTime(std::int64_t unixSeconds);
bool SameLocalDay(std::int64_t a, std::int64_t b);
