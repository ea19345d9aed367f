#include "exchange/text_table.h"

#include <cstdio>

#include "exchange/file_ops.h"
#include "platform/files.h"

namespace {
const char kPlaceholder[] = "\x01";

std::vector<std::string> SplitFields(const std::string& row) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (i < row.size()) {
        while (i < row.size() && row[i] == '\t') ++i;
        if (i >= row.size()) break;
        std::size_t end = row.find('\t', i);
        if (end == std::string::npos) end = row.size();
        fields.push_back(row.substr(i, end - i));
        i = end;
    }
    return fields;
}
}  // namespace

bool TextTable::Load(const std::string& path) {
    Clear();
    path_ = path;
    FileHandle f(FileOpen(path.c_str(), "rb"));
    if (!f) return false;
    std::string content;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f.get())) > 0) content.append(buffer, n);
    f.reset();

    // Lines of any length are kept whole: a record cut in two would be rewritten as two
    // broken records.
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t nl = content.find('\n', start);
        std::string line;
        if (nl == std::string::npos) {
            line = content.substr(start);
            start = content.size();
        } else {
            line = content.substr(start, nl - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();  // CR LF is one line end
            line.push_back('\n');
            start = nl + 1;
        }
        // One trailing control character is the line end (or stray control byte) to cut.
        if (!line.empty()) {
            unsigned char last = static_cast<unsigned char>(line.back());
            if (last >= 10 && last <= 31) line.pop_back();
        }
        lines_.push_back(line);
    }
    return true;
}

bool TextTable::Save() {
    std::string content;
    for (const std::string& line : lines_) {
        content += line;
        content += "\r\n";
    }
    // A new file replaces the old one in one step: a failed write (full disk) keeps every
    // record the old file had instead of leaving it cut short.
    bool ok = !path_.empty() && ReplaceFileContent(path_, content);
    lines_.clear();
    current_ = 0;
    return ok;
}

int TextTable::Find(int field, const std::string& value, int after) const {
    std::size_t start = after < 0 ? 0 : static_cast<std::size_t>(after) + 1;
    for (std::size_t i = start; i < lines_.size(); ++i)
        if (GetField(lines_[i], field) == value) return static_cast<int>(i);
    return -1;
}

void TextTable::Select(int index) {
    if (lines_.empty()) return;
    long long n = static_cast<long long>(lines_.size());
    long long i = index % n;
    if (i < 0) i += n;
    current_ = static_cast<std::size_t>(i);
}

const std::string& TextTable::Current() const {
    static const std::string empty;
    return current_ < lines_.size() ? lines_[current_] : empty;
}

void TextTable::SetCurrent(const std::string& text) {
    if (current_ < lines_.size()) lines_[current_] = text;
}

void TextTable::Append() {
    lines_.emplace_back();
    current_ = lines_.size() - 1;
}

bool TextTable::Next() {
    if (current_ + 1 < lines_.size()) {
        ++current_;
        return true;
    }
    current_ = lines_.size();
    return false;
}

bool TextTable::AtEnd() const { return lines_.empty() || current_ >= lines_.size(); }

void TextTable::DeleteCurrent() {
    if (current_ < lines_.size()) lines_.erase(lines_.begin() + static_cast<long>(current_));
}

void TextTable::Clear() {
    lines_.clear();
    current_ = 0;
}

std::string TextTable::GetField(const std::string& row, int index) {
    if (index < 0) return std::string();
    std::vector<std::string> fields = SplitFields(row);
    if (static_cast<std::size_t>(index) >= fields.size()) return std::string();
    const std::string& f = fields[static_cast<std::size_t>(index)];
    return f == kPlaceholder ? std::string() : f;
}

std::string TextTable::SetField(const std::string& row, int index, const std::string& value) {
    if (index < 0) return row;
    std::vector<std::string> fields = SplitFields(row);
    while (fields.size() <= static_cast<std::size_t>(index)) fields.push_back(kPlaceholder);
    // A TAB or line end inside a value would split the record; they become spaces.
    std::string clean = value;
    for (char& c : clean)
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    fields[static_cast<std::size_t>(index)] = clean.empty() ? std::string(kPlaceholder) : clean;
    std::string out;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i) out.push_back('\t');
        out += fields[i];
    }
    return out;
}
