#include "exchange/records.h"

#include <cstdint>
#include <ctime>
#include <memory>
#include <mutex>

#include "exchange/text_table.h"
#include "host/log.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "protocol/crc32.h"

namespace {
// Serialises every rewrite of Status.txt and Stack.txt and the replacement of the queue.
std::mutex& ExchangeLock() {
    static std::mutex lock;
    return lock;
}
std::unique_ptr<TextTable> handoffQueue;

// The queue to work with while the lock is held; a session that outlives a configuration
// release still gets a table of its own rather than a null one.
TextTable& Queue(std::unique_ptr<TextTable>& fallback) {
    if (handoffQueue) return *handoffQueue;
    fallback.reset(new TextTable);
    return *fallback;
}

// Record paths use the office's separator; on POSIX the file system wants '/'.
std::string LocalPath(const std::string& relative) {
    std::string p = relative;
    for (char& c : p)
        if (c == '\\' || c == '/') c = kPathSep;
    return p;
}

bool SamePath(const std::string& a, const std::string& b) {
    return AnsiCompareNoCase(a.c_str(), b.c_str()) == 0;
}
}  // namespace

void InitExchangeLock() { ExchangeLock(); }

void RecreateHandoffQueue() {
    std::lock_guard<std::mutex> hold(ExchangeLock());
    handoffQueue.reset(new TextTable);
}

void ReleaseHandoffQueue() {
    std::lock_guard<std::mutex> hold(ExchangeLock());
    handoffQueue.reset();
}

void CleanStack(const std::string& exchangeFolder) {
    std::lock_guard<std::mutex> hold(ExchangeLock());
    std::string stackPath = JoinPath(exchangeFolder, "Stack.txt");
    if (!FileExists(stackPath)) return;
    std::unique_ptr<TextTable> fallback;
    TextTable& table = Queue(fallback);
    if (!table.Load(stackPath)) return;
    table.Select(0);
    while (!table.AtEnd()) {
        std::string relative = TextTable::GetField(table.Current(), 2);
        if (!relative.empty() && FileExists(JoinPath(exchangeFolder, LocalPath(relative)))) {
            if (!table.Next()) break;
        } else {
            table.DeleteCurrent();
        }
    }
    if (table.Count() == 0) {
        table.Clear();
        RemoveFile(stackPath);
    } else if (!table.Save()) {
        LogMessage("Could not write Stack.txt");
    }
}

bool RecordTransfer(const char* deviceId, const char* agentName, const std::string& exchangeFolder,
                    const char* directoryName, const char* fileName, int direction,
                    const char* peerLabel) {
    std::string relative = std::string(directoryName) + "\\" + fileName;
    std::string full = JoinPath(JoinPath(exchangeFolder, directoryName), fileName);
    std::uint32_t crc = FileCrc32(full);
    FileItem item;
    std::uint32_t size = GetFileItem(full, &item) && !item.IsFolder()
                             ? static_cast<std::uint32_t>(item.size) : 0;
    char stamp[32];
    FormatNow(stamp);

    const char* failed = nullptr;  // the record file that could not be written
    if (direction == 1) {
        std::lock_guard<std::mutex> hold(ExchangeLock());
        std::unique_ptr<TextTable> fallback;
        TextTable& table = Queue(fallback);
        table.Load(JoinPath(exchangeFolder, "Status.txt"));
        std::string row;
        bool differs = false;
        int i = table.Find(0, deviceId, -1);
        if (i >= 0) {
            table.Select(i);
            row = table.Current();
            differs = !SamePath(TextTable::GetField(row, 2), relative);
        }
        row = TextTable::SetField(row, 0, deviceId);
        row = TextTable::SetField(row, 1, agentName);
        row = TextTable::SetField(row, 2, relative);
        row = TextTable::SetField(row, 3, stamp);
        row = TextTable::SetField(row, 4, std::to_string(crc));
        if (differs) {
            table.Clear();  // Status.txt keeps its record of the device's default upload
            table.Load(JoinPath(exchangeFolder, "Stack.txt"));
            int found = -1;
            for (int j = table.Find(0, deviceId, -1); j >= 0; j = table.Find(0, deviceId, j)) {
                table.Select(j);
                if (SamePath(TextTable::GetField(table.Current(), 2), relative)) {
                    found = j;
                    break;
                }
            }
            if (found < 0) table.Append();
            table.SetCurrent(row);
            if (!table.Save()) failed = "Stack.txt";
        } else {
            if (i < 0) table.Append();
            table.SetCurrent(row);
            if (!table.Save()) failed = "Status.txt";
        }
    }
    if (failed) {
        LogTraffic(peerLabel, direction, deviceId, "Could not write %s: record of %s not written",
                   failed, relative.c_str());
        return false;
    }
    LogTraffic(peerLabel, direction, deviceId, "%s %s %s %lu %lu", agentName, relative.c_str(),
               stamp, static_cast<unsigned long>(crc), static_cast<unsigned long>(size));
    return true;
}
