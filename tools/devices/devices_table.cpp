#include "devices_table.h"

#include <algorithm>

namespace {
std::string Title(int column) { return ColumnTitle(column, RowLanguage::English); }

std::string CsvField(const std::string& text) {
    if (text.find_first_of(";\"\r\n") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}
}  // namespace

std::string FormatTextTable(const std::vector<DeviceRow>& rows) {
    std::size_t width[kColumnCount];
    for (int c = 0; c < kColumnCount; ++c) {
        width[c] = Title(c).size();
        for (const DeviceRow& r : rows) width[c] = std::max(width[c], r.cells[c].size());
    }
    auto line = [&](auto cell) {
        std::string out;
        for (int c = 0; c < kColumnCount; ++c) {
            std::string text = cell(c);
            out += text;
            if (c + 1 < kColumnCount) out += std::string(width[c] - text.size() + 2, ' ');
        }
        while (!out.empty() && out.back() == ' ') out.pop_back();
        return out + "\n";
    };
    std::string out = line([](int c) { return Title(c); });
    out += line([&](int c) { return std::string(width[c], '-'); });
    for (const DeviceRow& r : rows) out += line([&](int c) { return r.cells[c]; });
    return out;
}

std::string FormatCsv(const std::vector<DeviceRow>& rows) {
    std::string out;
    for (int c = 0; c < kColumnCount; ++c) out += (c ? ";" : "") + CsvField(Title(c));
    out += "\r\n";
    for (const DeviceRow& r : rows) {
        for (int c = 0; c < kColumnCount; ++c) out += (c ? ";" : "") + CsvField(r.cells[c]);
        out += "\r\n";
    }
    return out;
}
