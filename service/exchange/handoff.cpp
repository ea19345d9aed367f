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
    FileHandle f(FileOpen((folder + "LastConnectionTime").c_str(), "wb"));
    if (!f) return;
    std::fprintf(f.get(), "%s|%s|%lu", id, agent,
                 static_cast<unsigned long>(static_cast<std::uint32_t>(std::time(nullptr))));
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
    // The handheld's part is of another file, or longer than this one: start over. (A position
    // beyond the end would send only the final block and count as a delivery.)
    if (position != 0 && (fileCrc != crc || position > size)) position = 0;
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

bool CProtocol::WaitForHandOff() {
    // 1C holds the folder while it works on the files there: the finished upload must not
    // replace the file it is processing. Bounded like the lock wait at authorization.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(handOffWaitMs.load());
    std::string lock = deviceFolder + "lock";
    while (FileOpens(lock, nullptr)) {
        if (Cancelled() || std::chrono::steady_clock::now() >= deadline) return false;
        Sleep(100);
    }
    return true;
}

ResultCode CProtocol::RefuseUpload(const char* format, unsigned long a, unsigned long b) {
    char why[160];
    std::snprintf(why, sizeof why, format, a, b);
    LogTraffic(peerLabel.c_str(), 1, deviceId.c_str(), "Upload refused: %s", why);
    SendStatus(-140, "Command received with error(s)");
    return Aborted;
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

    // Nothing is written before these checks: one small command must not make the service
    // create a file of zeros up to the position, nor start a file the disk cannot hold.
    std::string partial = deviceFolder + kPartialName;
    std::uint64_t stored = 0;
    if (!named) FileOpens(partial, &stored);
    if (!named && size != 0 && position > size)
        return RefuseUpload("position %lu beyond the declared size %lu", position, size);
    if (!named && position > stored)
        return RefuseUpload("position %lu beyond the %lu bytes held", position, static_cast<unsigned long>(stored));
    std::uint64_t free = 0;
    std::uint32_t needed = named ? size : size - (position < size ? position : size);
    if (FreeDiskSpace(deviceFolder, &free) && needed > free)
        return RefuseUpload("%lu bytes declared, %lu free on the disk", needed,
                            static_cast<unsigned long>(free > 0xFFFFFFFFu ? 0xFFFFFFFFu : free));

    if (named) {
        OnReceiveStarted(size, 0);
        ResultCode result = ReceiveFile(deviceFolder, kNamedPartialName, "wb", 0, nullptr, false);
        if (result != Ok) return result;
        std::string namedPartial = deviceFolder + kNamedPartialName;
        if (crc != 0 && crc != FileCrc32(namedPartial)) return CRCError;  // unacknowledged
        std::string collected = deviceFolder + name + ".clt";
        // Both steps leave their target as it was when they fail, so a retry of the same
        // upload neither appends twice nor finds the previous file gone.
        if (!WaitForHandOff() || !AppendFile(namedPartial, collected))
            return HandOffFailed(name.c_str());
        if (!CopyFileOver(collected, deviceFolder + name)) return HandOffFailed(name.c_str());
        RemoveFile(namedPartial);
        return FinishUpload(name);
    }

    bool resumable = FileExists(partial) && FileExists(deviceFolder + "CRC");
    std::uint32_t storedCrc = 0;
    if (resumable) {
        bool available = false;
        for (int tries = 0; tries < 30; ++tries) {
            if (TryOpenExclusive(partial)) {
                available = true;
                break;
            }
            if (Cancelled()) return SocketError;
            if (tries + 1 < 30) Sleep(1000);
        }
        if (!available) return DownloadTmpDeny;
        storedCrc = ReadCrcFile(deviceFolder);
    }
    WriteCrcFile(deviceFolder, crc);
    const char* mode = storedCrc == crc && position != 0 && crc != 0 ? "a+b" : "wb";
    OnReceiveStarted(size, position);
    ResultCode result = ReceiveFile(deviceFolder, kPartialName, mode, position, nullptr, false);
    if (result != Ok) return result;
    if (crc != 0 && crc != FileCrc32(partial)) {
        // Not acknowledged: the handheld must not take it as delivered. Without its CRC the
        // partial file is offered for no resume, so the next upload starts over instead of
        // meeting the same mismatch again.
        RemoveFile(deviceFolder + "CRC");
        return CRCError;
    }
    // The complete file replaces the previous one in one step before the handheld hears of
    // it; until then the partial file and its CRC stay for a resume at the next session.
    // A target held open (1C reading it) refuses the rename for a while too.
    if (!WaitForHandOff() ||
        !ReplaceWaiting(partial, deviceFolder + name, handOffWaitMs.load(), [this] { return Cancelled(); }))
        return HandOffFailed(name.c_str());
    RemoveFile(deviceFolder + "CRC");
    return FinishUpload(name);
}

ResultCode CProtocol::HandOffFailed(const char* name) {
    LogTraffic(peerLabel.c_str(), 1, deviceId.c_str(),
               "%s could not be handed to 1C; the upload is kept for the next session", name);
    return FileIOError;
}

ResultCode CProtocol::FinishUpload(const std::string& name) {
    if (!RecordTransfer(deviceId.c_str(), agentName.c_str(), exchangeFolder, directoryName.c_str(),
                        name.c_str(), 1, peerLabel.c_str()))
        return FileIOError;  // logged; unacknowledged, so the handheld sends the file again
    // Only now is the final block acknowledged: the file is where 1C takes it.
    AcknowledgeFinalBlock();
    return Ok;
}
