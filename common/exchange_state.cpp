#include "exchange_state.h"

#include <cstdlib>
#include <memory>

#include "exchange/text_table.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "platform/shared_read.h"
#include "platform/xml.h"

namespace {
constexpr std::int64_t kUnixEpochInFileTime = 116444736000000000LL;  // 1970-01-01 in 100 ns since 1601
constexpr std::size_t kSmallFile = 1024;                             // LastConnectionTime, CRC
constexpr std::size_t kRecordsLimit = 64u << 20;                     // Status.txt, Stack.txt

bool SameText(const std::string& a, const std::string& b) { return AnsiCompareNoCase(a.c_str(), b.c_str()) == 0; }

// Whole unsigned decimal text, nothing else; false for anything half-written or garbled.
bool ParseUnsigned(const std::string& text, std::uint64_t limit, std::uint64_t* out) {
    if (text.empty() || text.size() > 20) return false;
    std::uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        std::uint64_t next = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (next / 10 != v || next > limit) return false;
        v = next;
    }
    *out = v;
    return true;
}

// A recorded path (PPC1\To1C.zip) on this system's separators.
std::string LocalRelative(std::string relative) {
    for (char& c : relative)
        if (c == '\\' || c == '/') c = kPathSep;
    return relative;
}

// The folder part of a recorded path: the device's DIRECTORY.
std::string RecordedDirectory(const std::string& relative) {
    std::size_t sep = relative.find_first_of("\\/");
    return sep == std::string::npos ? std::string() : relative.substr(0, sep);
}

struct Record {
    std::string deviceId;
    WaitingUpload upload;
};

// The complete records of Status.txt or Stack.txt. A line counts only when its line end has
// been written and it has the five fields with a decimal CRC: the service may be rewriting
// the file at this moment, and a cut line must not pass for a record.
std::vector<Record> ReadRecords(const std::string& path, int* incomplete) {
    std::vector<Record> records;
    std::string content;
    if (!ReadSharedFile(path, kRecordsLimit, &content)) return records;
    std::size_t start = 0;
    while (start < content.size()) {
        std::size_t nl = content.find('\n', start);
        if (nl == std::string::npos) {  // no line end yet: half-written
            ++*incomplete;
            break;
        }
        std::string line = content.substr(start, nl - start);
        start = nl + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        Record r;
        r.deviceId = TextTable::GetField(line, 0);
        r.upload.file = TextTable::GetField(line, 2);
        r.upload.recordTime = TextTable::GetField(line, 3);
        std::uint64_t crc = 0;
        if (r.deviceId.empty() || r.upload.file.empty() || !ParseUnsigned(TextTable::GetField(line, 4), 0xFFFFFFFFu, &crc)) {
            ++*incomplete;
            continue;
        }
        r.upload.crc = static_cast<std::uint32_t>(crc);
        records.push_back(r);
    }
    return records;
}

// A record's file, when 1C has not taken it away yet.
bool StillWaiting(const std::string& exchangeFolder, WaitingUpload* upload) {
    FileItem item;
    if (!GetFileItem(JoinPath(exchangeFolder, LocalRelative(upload->file)), &item) || item.IsFolder()) return false;
    upload->size = item.size;
    return true;
}

// "id|agent|seconds": the seconds after the last '|'.
bool ReadLastConnection(const std::string& folder, std::int64_t* seconds) {
    std::string text;
    if (!ReadSharedFile(JoinPath(folder, "LastConnectionTime"), kSmallFile, &text)) return false;
    std::size_t bar = text.rfind('|');
    std::uint64_t v = 0;
    if (bar == std::string::npos || !ParseUnsigned(text.substr(bar + 1), 0xFFFFFFFFu, &v)) return false;
    *seconds = static_cast<std::int64_t>(v);
    return true;
}

// The CRC file as the service reads it back: the decimal digits at its start; 0 otherwise.
std::uint32_t ReadStoredCrc(const std::string& folder) {
    std::string text;
    if (!ReadSharedFile(JoinPath(folder, "CRC"), 31, &text)) return 0;
    return static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
}

FileFacts Facts(const std::string& path) {
    FileFacts f;
    FileItem item;
    if (GetFileItem(path, &item) && !item.IsFolder()) {
        f.present = true;
        f.size = item.size;
        f.writeTime = item.lastWriteTime;
    }
    return f;
}

std::string Attribute(XmlElement& node, const char16_t* name, bool* found) {
    std::u16string value;
    if (XmlFailed(node.GetAttribute(name, &value))) {
        *found = false;
        return std::string();
    }
    return Utf16ToAnsi(value);
}

// The PPC children of config.xml's root that carry all three attributes, in file order.
void ReadDevices(ExchangeState* state) {
    std::string path = JoinPath(state->folder, "config.xml");
    if (!FileExists(path)) return;  // Config::Missing
    state->config = ExchangeState::Config::Unparsed;
    std::unique_ptr<XmlDocument> doc;
    if (XmlFailed(XmlCreateDocument(&doc)) || !doc) return;
    doc->SetAsync(false);
    doc->SetValidateOnParse(false);
    doc->SetResolveExternals(false);
    bool loaded = false;
    if (XmlFailed(doc->Load(AnsiToUtf16(path), &loaded))) return;
    if (!loaded) {
        std::unique_ptr<XmlParseError> error;
        std::u16string reason;
        if (!XmlFailed(doc->GetParseError(&error)) && error && !XmlFailed(error->GetReason(&reason)))
            state->configReason = Utf16ToAnsi(reason);
        return;
    }
    std::unique_ptr<XmlElement> root;
    std::unique_ptr<XmlNodeList> nodes;
    long count = 0;
    if (XmlFailed(doc->GetDocumentElement(&root)) || !root || XmlFailed(root->SelectNodes(u"PPC", &nodes)) || !nodes ||
        XmlFailed(nodes->GetLength(&count)))
        return;
    for (long i = 0; i < count; ++i) {
        std::unique_ptr<XmlElement> node;
        if (XmlFailed(nodes->GetItem(i, &node)) || !node) continue;
        bool found = true;
        DeviceState d;
        d.deviceId = Attribute(*node, u"DEVICE_ID", &found);
        d.agentName = Attribute(*node, u"PSEUDONIM", &found);
        d.directory = Attribute(*node, u"DIRECTORY", &found);
        if (found) state->devices.push_back(d);
    }
    state->config = ExchangeState::Config::Read;
}

void ReadDeviceFolder(const std::string& exchangeFolder, DeviceState* d) {
    d->folderPath = JoinPath(exchangeFolder, d->directory);
    d->folderExists = FolderExists(d->folderPath);
    if (!d->folderExists) return;
    d->everConnected = ReadLastConnection(d->folderPath, &d->lastConnection);
    d->from1C = Facts(JoinPath(d->folderPath, "From1C.zip"));
    FileFacts partial = Facts(JoinPath(d->folderPath, "download.tmp"));
    d->partialUpload = partial.present;
    d->partialSize = partial.size;
    // As the service announces it: the stored CRC counts only beside download.tmp.
    if (partial.present && FileExists(JoinPath(d->folderPath, "CRC"))) d->partialCrc = ReadStoredCrc(d->folderPath);
    d->lockedBy1C = FileExists(JoinPath(d->folderPath, "lock"));
}

// Records belong to a device by identifier and folder: a DIRECTORY renamed in config.xml
// leaves old records that name another folder.
bool RecordOf(const Record& r, const DeviceState& d) {
    return SameText(r.deviceId, d.deviceId) && SameText(RecordedDirectory(r.upload.file), d.directory);
}

void MatchRecords(ExchangeState* state) {
    std::vector<Record> status = ReadRecords(JoinPath(state->folder, "Status.txt"), &state->incompleteRecords);
    std::vector<Record> stack = ReadRecords(JoinPath(state->folder, "Stack.txt"), &state->incompleteRecords);
    for (DeviceState& d : state->devices) {
        for (Record& r : status) {
            if (!RecordOf(r, d)) continue;
            if (StillWaiting(state->folder, &r.upload)) {
                d.deliveredWaiting = true;
                d.delivered = r.upload;
            }
            break;  // one Status.txt record per device
        }
        for (Record& r : stack)
            if (RecordOf(r, d) && StillWaiting(state->folder, &r.upload)) d.namedWaiting.push_back(r.upload);
    }
}

void FindUnconfiguredFolders(ExchangeState* state) {
    std::vector<FileItem> items;
    ListFolder(state->folder, &items);
    for (const FileItem& item : items) {
        if (!item.IsFolder()) continue;
        bool used = false;
        for (const DeviceState& d : state->devices) used = used || SameText(d.directory, item.name);
        if (!used) state->unconfiguredFolders.push_back(item.name);
    }
}
}  // namespace

std::int64_t FileTimeToUnix(std::uint64_t fileTime) {
    return (static_cast<std::int64_t>(fileTime) - kUnixEpochInFileTime) / 10000000;
}

ExchangeState ReadExchangeState(const std::string& exchangeFolder) {
    ExchangeState state;
    state.folder = exchangeFolder;
    while (state.folder.size() > 1 && IsPathSep(state.folder.back())) state.folder.pop_back();
    ReadDevices(&state);
    if (state.config != ExchangeState::Config::Read) return state;
    for (DeviceState& d : state.devices) ReadDeviceFolder(state.folder, &d);
    MatchRecords(&state);
    FindUnconfiguredFolders(&state);
    return state;
}
