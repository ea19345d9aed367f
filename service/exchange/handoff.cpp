// The device folder's hand-off files: the lock of 1C, the connection stamp, the announcement,
// and the download (211) and upload (212) commands with their resumption rules.
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>

#include "exchange/file_ops.h"
#include "exchange/records.h"
#include "exchange/upload_name.h"
#include "host/log.h"
#include "platform/files.h"
#include "protocol/frames.h"
#include "protocol/protocol.h"

namespace {
const char kTransName[] = "From1C_trans.zip";
const char kPartialName[] = "download.tmp";
const char kNamedPartialName[] = "dwnldclt.tmp";

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::tm UtcNow() {
    std::time_t now = std::time(nullptr);
    std::tm t{};
#ifdef _WIN32
    gmtime_s(&t, &now);
#else
    gmtime_r(&now, &t);
#endif
    return t;
}
}  // namespace

bool CProtocol::IsLockedBy1C(const std::string& folder) {
    std::string lock = folder + "lock";
    for (int waits = 0;; ++waits) {
        if (!FileOpens(lock, nullptr)) return false;
        if (waits >= 20 || Cancelled()) return true;
        Sleep(500);
    }
}

void CProtocol::WriteLastConnectionTime(const std::string& folder, const char* id, const char* agent) {
    FILE* f = FileOpen((folder + "LastConnectionTime").c_str(), "wb");
    if (!f) return;
    std::fprintf(f, "%s|%s|%lu", id, agent,
                 static_cast<unsigned long>(static_cast<std::uint32_t>(std::time(nullptr))));
    std::fclose(f);
}

ResultCode CProtocol::AnnounceData(const DirEntry& entry, bool& hasData, bool syncTime) {
    std::string folder = JoinPath(exchangeFolder, entry.name);
    std::uint64_t partialSize = 0;
    bool partial = FileOpens(JoinPath(folder, kPartialName), &partialSize);
    std::int32_t partialField = partial ? static_cast<std::int32_t>(static_cast<std::uint32_t>(partialSize)) : 0;
    std::int32_t storedCrc = partial && FileExists(JoinPath(folder, "CRC"))
                                 ? static_cast<std::int32_t>(ReadCrcFile(folder)) : 0;
    const DirEntry* data = DirListing::FindChild(entry, downloadName, 'f');
    hasData = data != nullptr;
    char numbers[96];
    int code;
    if (hasData) {
        std::int32_t size = static_cast<std::int32_t>(static_cast<std::uint32_t>(data->findData.size));
        std::snprintf(numbers, sizeof numbers, "%d,%d,%d,%d,%d There is data from 1C", 0, size,
                      partialField, 0, storedCrc);
        code = 210;
    } else {
        std::snprintf(numbers, sizeof numbers, "%d,%d,%d No data file from 1C", partialField, 0,
                      storedCrc);
        code = 220;
    }
    char text[160];
    if (syncTime) {
        std::tm t = UtcNow();
        std::snprintf(text, sizeof text, "%02d.%02d.%04d %02d:%02d %s", t.tm_mday, t.tm_mon + 1,
                      t.tm_year + 1900, t.tm_hour, t.tm_min, numbers);
        code += 30;
    } else {
        std::snprintf(text, sizeof text, "%s", numbers);
    }
    return SendStatus(code, text);
}

ResultCode CProtocol::HandleDownload(const char* text, int& direction) {
    direction = -1;
    std::vector<std::string> fields = SplitCommandFields(text);
    std::uint32_t position = CommandNumber(fields, 0);
    std::uint32_t crc = CommandNumber(fields, 2);
    std::uint32_t blockSize = CommandNumber(fields, 3);

    std::string source = deviceFolder + downloadName;
    std::string trans = deviceFolder + kTransName;
    std::uint32_t size = 0;
    FileItem copied;
    bool haveCopy = false;
    std::uint64_t sourceSize = 0;
    if (FileOpens(source, &sourceSize) && GetFileItem(source, &copied)) {
        size = static_cast<std::uint32_t>(sourceSize);
        haveCopy = CopyFileOver(source, trans);
        if (!haveCopy) {
            LogTraffic(peerLabel.c_str(), -1, deviceId.c_str(), "Cannot copy %s", downloadName);
            size = 0;
        }
    } else {
        LogTraffic(peerLabel.c_str(), -1, deviceId.c_str(), "No data file from 1C");
    }
    // A copy left over from an interrupted run is no data of 1C's (From1C.zip is gone, so it
    // was delivered or withdrawn): it must not be sent again.
    if (!haveCopy) RemoveFile(trans);

    std::uint32_t fileCrc = FileCrc32(trans);
    if (position != 0 && fileCrc != crc) position = 0;  // the handheld's part is of another file
    ResultCode result = SendNumbers(214, position, size, fileCrc, 0);
    if (result != Ok) {
        RemoveFile(trans);
        return result;
    }
    OnSendStarted(size, position);
    int deleteAfter = 0;
    if (blockSize == 0) blockSize = 2048;
    result = SendFile(deviceFolder, kTransName, position, deleteAfter, blockSize);
    if (deleteAfter == 1) {
        RecordTransfer(deviceId.c_str(), agentName.c_str(), exchangeFolder, directoryName.c_str(),
                       downloadName, -1, peerLabel.c_str());
        // 1C may have put a new file in place during the transfer: delete only what was sent.
        FileItem now;
        if (GetFileItem(source, &now) && now.size == copied.size &&
            now.lastWriteTime == copied.lastWriteTime) {
            RemoveFile(source);
        } else if (FileExists(source)) {
            LogTraffic(peerLabel.c_str(), -1, deviceId.c_str(),
                       "%s was replaced during the transfer and is kept", downloadName);
        }
    }
    RemoveFile(trans);
    return result;
}

ResultCode CProtocol::HandleUpload(const char* text, int& direction, bool& uploadSeen) {
    std::vector<std::string> fields = SplitCommandFields(text);
    std::uint32_t position = CommandNumber(fields, 0);
    std::uint32_t size = CommandNumber(fields, 1);
    std::uint32_t crc = CommandNumber(fields, 2);
    bool named = CommandNumber(fields, 3) != 0;
    std::string name = CommandField(fields, 4);
    std::size_t space = name.find(' ');
    if (space != std::string::npos) name.resize(space);
    if (name.empty()) {
        named = false;
        name = uploadName;
    }
    uploadSeen = true;
    direction = 1;
    if (!IsSafeUploadName(name)) {
        // The folder stays untouched; the handheld learns its command was refused.
        LogTraffic(peerLabel.c_str(), 1, deviceId.c_str(), "Upload name refused: %s", name.c_str());
        SendStatus(-140, "Command received with error(s)");
        return BadFileName;
    }

    if (named) {
        OnReceiveStarted(size, 0);
        ResultCode result = ReceiveFile(deviceFolder, kNamedPartialName, "wb", 0, nullptr);
        if (result != Ok) return result;
        std::string partial = deviceFolder + kNamedPartialName;
        if (crc != 0 && crc != FileCrc32(partial)) return CRCError;
        std::string collected = deviceFolder + name + ".clt";
        if (!AppendFile(partial, collected) || !CopyFileOver(collected, deviceFolder + name))
            return FileIOError;
        RemoveFile(partial);
        RecordTransfer(deviceId.c_str(), agentName.c_str(), exchangeFolder, directoryName.c_str(),
                       name.c_str(), 1, peerLabel.c_str());
        return Ok;
    }

    std::string partial = deviceFolder + kPartialName;
    bool resumable = FileExists(partial) && FileExists(deviceFolder + "CRC");
    std::uint32_t storedCrc = 0;
    if (resumable) {
        bool free = false;
        for (int tries = 0; tries < 30; ++tries) {
            if (TryOpenExclusive(partial)) {
                free = true;
                break;
            }
            if (Cancelled()) return SocketError;
            if (tries + 1 < 30) Sleep(1000);
        }
        if (!free) return DownloadTmpDeny;
        storedCrc = ReadCrcFile(deviceFolder);
    }
    WriteCrcFile(deviceFolder, crc);
    const char* mode = storedCrc == crc && position != 0 && crc != 0 ? "a+b" : "wb";
    OnReceiveStarted(size, position);
    ResultCode result = ReceiveFile(deviceFolder, kPartialName, mode, position, nullptr);
    if (result != Ok) return result;
    if (crc != 0 && crc != FileCrc32(partial)) return CRCError;
    // The complete file replaces the previous one in one step; until that has worked the
    // partial file and its CRC stay, so nothing is reported as delivered that is not there.
    if (!RenameReplace(partial, deviceFolder + name)) return FileIOError;
    RemoveFile(deviceFolder + "CRC");
    RecordTransfer(deviceId.c_str(), agentName.c_str(), exchangeFolder, directoryName.c_str(),
                   name.c_str(), 1, peerLabel.c_str());
    return Ok;
}
