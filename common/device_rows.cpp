#include "device_rows.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "platform/codepage.h"
#include "platform/files.h"

namespace {
struct ColumnInfo {
    const char* russian;
    const char* english;
    bool numeric;
};
const ColumnInfo kColumns[kColumnCount] = {
    {"Агент", "Agent", false},
    {"Идентификатор КПК", "Device ID", false},
    {"Папка", "Folder", false},
    {"Подключение", "Last connection", false},
    {"Из 1С, байт", "From 1C, bytes", true},
    {"Из 1С, время", "From 1C, time", false},
    {"Для 1С", "For 1C", false},
    {"Для 1С, байт", "For 1C, bytes", true},
    {"Для 1С, CRC", "For 1C, CRC", true},
    {"Именованные", "Named uploads", true},
    {"Недокачано, байт", "Partial, bytes", true},
    {"Недокачано, CRC", "Partial, CRC", true},
    {"Блокировка 1С", "1C lock", false},
};

const char* Say(RowLanguage language, const char* russian, const char* english) {
    return language == RowLanguage::Russian ? russian : english;
}

bool LocalTime(std::int64_t unixSeconds, std::tm* out) {
    std::time_t t = static_cast<std::time_t>(unixSeconds);
#ifdef _WIN32
    return localtime_s(out, &t) == 0;
#else
    return localtime_r(&t, out) != nullptr;
#endif
}

void SetNumber(DeviceRow* row, int column, std::uint64_t value) {
    row->cells[column] = std::to_string(value);
    row->keys[column] = static_cast<std::int64_t>(value);
}

// The file name of a recorded path: PPC1\report.dat gives report.dat.
std::string FileName(const std::string& relative) {
    std::size_t sep = relative.find_last_of("\\/");
    return sep == std::string::npos ? relative : relative.substr(sep + 1);
}

DeviceRow DeviceRowOf(const DeviceState& d, std::int64_t now, RowLanguage language) {
    DeviceRow row;
    std::fill(std::begin(row.keys), std::end(row.keys), -1);
    row.cells[kColAgent] = d.agentName;
    row.cells[kColDeviceId] = d.deviceId;
    row.cells[kColFolder] = d.directory;
    row.folderPath = d.folderPath;
    if (!d.folderExists) {
        row.cells[kColLastConnection] = Say(language, "нет папки", "no folder");
    } else if (d.everConnected) {
        row.cells[kColLastConnection] = FormatLocalTime(d.lastConnection);
        row.keys[kColLastConnection] = d.lastConnection;
        row.connectedToday = SameLocalDay(d.lastConnection, now);
    } else {
        row.cells[kColLastConnection] = Say(language, "никогда", "never");
    }
    if (d.from1C.present) {
        SetNumber(&row, kColFrom1CSize, d.from1C.size);
        std::int64_t t = FileTimeToUnix(d.from1C.writeTime);
        row.cells[kColFrom1CTime] = FormatLocalTime(t);
        row.keys[kColFrom1CTime] = t;
    }
    if (d.deliveredWaiting) {
        row.cells[kColFor1CFile] = FileName(d.delivered.file);
        SetNumber(&row, kColFor1CSize, d.delivered.size);
        SetNumber(&row, kColFor1CCrc, d.delivered.crc);
    }
    if (!d.namedWaiting.empty()) {
        std::string names;
        for (const WaitingUpload& u : d.namedWaiting)
            names += (names.empty() ? "" : ", ") + FileName(u.file) + " (" + std::to_string(u.size) + ")";
        row.cells[kColNamed] = names;
        row.keys[kColNamed] = static_cast<std::int64_t>(d.namedWaiting.size());
    }
    if (d.partialUpload) {
        SetNumber(&row, kColPartialSize, d.partialSize);
        SetNumber(&row, kColPartialCrc, d.partialCrc);
    }
    if (d.lockedBy1C) row.cells[kColLock] = Say(language, "да", "yes");
    return row;
}

DeviceRow FolderRowOf(const ExchangeState& state, const std::string& name, RowLanguage language) {
    DeviceRow row;
    std::fill(std::begin(row.keys), std::end(row.keys), -1);
    row.configured = false;
    row.cells[kColAgent] = Say(language, "(нет в config.xml)", "(not in config.xml)");
    row.cells[kColFolder] = name;
    row.folderPath = JoinPath(state.folder, name);
    return row;
}

// Morning order: not connected today, connected today, unconfigured; by agent, then folder.
int MorningRank(const DeviceRow& r) { return !r.configured ? 2 : r.connectedToday ? 1 : 0; }

int CompareMorning(const DeviceRow& a, const DeviceRow& b) {
    if (MorningRank(a) != MorningRank(b)) return MorningRank(a) < MorningRank(b) ? -1 : 1;
    int c = AnsiCompareNoCase(a.cells[kColAgent].c_str(), b.cells[kColAgent].c_str());
    return c ? c : AnsiCompareNoCase(a.cells[kColFolder].c_str(), b.cells[kColFolder].c_str());
}

int CompareColumn(const DeviceRow& a, const DeviceRow& b, int column) {
    // Times sort by their moment, numbers by value; an empty cell comes before any value.
    if (IsNumericColumn(column) || column == kColLastConnection || column == kColFrom1CTime) {
        if (a.keys[column] != b.keys[column]) return a.keys[column] < b.keys[column] ? -1 : 1;
        if (a.keys[column] >= 0) return 0;
    }
    return AnsiCompareNoCase(a.cells[column].c_str(), b.cells[column].c_str());
}
}  // namespace

const char* ColumnTitle(int column, RowLanguage language) {
    if (column < 0 || column >= kColumnCount) return "";
    return Say(language, kColumns[column].russian, kColumns[column].english);
}

bool IsNumericColumn(int column) { return column >= 0 && column < kColumnCount && kColumns[column].numeric; }

std::vector<DeviceRow> BuildDeviceRows(const ExchangeState& state, std::int64_t now, RowLanguage language) {
    std::vector<DeviceRow> rows;
    for (const DeviceState& d : state.devices) rows.push_back(DeviceRowOf(d, now, language));
    for (const std::string& name : state.unconfiguredFolders) rows.push_back(FolderRowOf(state, name, language));
    return rows;
}

void SortDeviceRows(std::vector<DeviceRow>* rows, int column, bool descending) {
    std::stable_sort(rows->begin(), rows->end(), [&](const DeviceRow& a, const DeviceRow& b) {
        int c = column >= 0 && column < kColumnCount ? CompareColumn(a, b, column) : 0;
        if (c) return descending ? c > 0 : c < 0;
        return CompareMorning(a, b) < 0;
    });
}

std::string FormatLocalTime(std::int64_t unixSeconds) {
    std::tm tm = {};
    if (!LocalTime(unixSeconds, &tm)) return std::string();
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

bool SameLocalDay(std::int64_t a, std::int64_t b) {
    std::tm ta = {}, tb = {};
    if (!LocalTime(a, &ta) || !LocalTime(b, &tb)) return false;
    return ta.tm_year == tb.tm_year && ta.tm_yday == tb.tm_yday;
}
