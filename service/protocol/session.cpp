// One conversation with a handheld: device code, authorization, announcement, commands.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "host/admission.h"
#include "host/log.h"
#include "platform/codepage.h"
#include "protocol/device_code.h"
#include "protocol/device_sessions.h"
#include "protocol/protocol.h"

namespace {
// How long a new session waits for a superseded one of the same device to let go.
constexpr int kSupersedeWaitMs = 30000;

std::atomic<bool> consoleEvents{true};

void EventLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void EventLine(const char* format, ...) {
    if (!consoleEvents.load(std::memory_order_relaxed)) return;
    char line[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    ConsoleWrite(line);
}

bool SameCode(const std::string& configured, const char* code) {
    if (configured.size() < kDeviceCodeSize || std::strlen(code) != kDeviceCodeSize) return false;
    return AnsiCompareNoCase(configured.substr(0, kDeviceCodeSize).c_str(), code) == 0;
}
}  // namespace

std::atomic<int> CProtocol::handOffWaitMs{10000};

CProtocol::CProtocol(CRdWr* r, const char* label) : rdwr(r), peerLabel(label ? label : "") {}

CProtocol::~CProtocol() {}

void CProtocol::SetConsoleEvents(bool on) { consoleEvents.store(on); }

void CProtocol::OnError(ResultCode result, int clientCode, const char* clientComment) {
    EventLine("Error #%d, StatusCode = %d, CommentString = [%s]\n", result, clientCode, clientComment);
}
void CProtocol::OnBlockReceived(std::uint32_t length, std::uint32_t number, std::uint32_t received) {
    EventLine("BS=%lu, BN=%lu, RCVBYTES=%lu\n", static_cast<unsigned long>(length),
                  static_cast<unsigned long>(number), static_cast<unsigned long>(received));
}
void CProtocol::OnBlockSent(std::uint32_t length, std::uint32_t number, std::uint32_t sent) {
    EventLine("BS=%lu, BN=%lu, SNDBYTES=%lu\n", static_cast<unsigned long>(length),
                  static_cast<unsigned long>(number), static_cast<unsigned long>(sent));
}
void CProtocol::OnReceiveStarted(std::uint32_t, std::uint32_t position) {
    EventLine("Receiving started, position %lu\n", static_cast<unsigned long>(position));
}
void CProtocol::OnSendStarted(std::uint32_t, std::uint32_t position) {
    EventLine("Sending started, position %lu\n", static_cast<unsigned long>(position));
}
void CProtocol::OnAuthStarted(bool client) {
    EventLine("Auth started, mode = %s\n", client ? "CLIENT" : "SERVER");
}
void CProtocol::OnAuthFinished(bool success) {
    EventLine("Auth finished, result = %s\n", success ? "SUCCESS" : "FAILED");
}
void CProtocol::OnDisconnected(int resultState) {
    EventLine("Disconnected, ResultState = %d\n", resultState);
}
void CProtocol::OnSend(ResultCode status, int code, const char* text) {
    EventLine("snd: %d:[%s]:%d\n", code, text, status);
}
void CProtocol::OnReceive(ResultCode status, int code, const char* text) {
    EventLine("rcv: %d:[%s]:%d\n", code, text, status);
}

ResultCode CProtocol::RunSession(const std::string& folder, bool syncTime) {
    lastClientCode = 0;
    lastClientComment[0] = '\0';
    int direction = 0;
    char id[kDeviceCodeSize + 1] = {};
    ResultCode result = Authorize(folder, direction, id, syncTime);
    if (result == Ok) return Ok;
    OnError(result, lastClientCode, lastClientComment);
    std::string text = ResultText(result);
    if (lastClientCode != 0) {
        if (!text.empty()) text += ". ";
        LogTraffic(peerLabel.c_str(), direction, id, "%sClient sent code: %d, comment: %s",
                   text.c_str(), lastClientCode, lastClientComment);
    } else if (!text.empty()) {
        LogTraffic(peerLabel.c_str(), direction, id, "%s", text.c_str());
    }
    return result;
}

ResultCode CProtocol::RequestDeviceCode(std::uint8_t buffer[kDeviceCodeSize]) {
    ResultCode status;
    {
        DeadlineScope untilCode(rdwr, authTimeoutSec);
        status = SendStatus(100, "Authorization required");
        if (status != Ok) return status;
        rdwr->Read(buffer, kDeviceCodeSize);
        status = rdwr->GetStatus();
    }
    if (status == Timeout) SendStatus(-130, "Timed out");
    return status;
}

ResultCode CProtocol::Authorize(const std::string& folder, int& direction, char* id, bool syncTime) {
    exchangeFolder = folder;
    std::uint8_t code[kDeviceCodeSize] = {};
    ResultCode status = RequestDeviceCode(code);
    int version = 0;
    DecodeDeviceCode(code, id, &version);
    deviceId = id;
    if (version < 22) syncTime = false;
    if (status != Ok) return Aborted;

    OnAuthStarted(false);
    const DirEntry* entry = nullptr;
    char agent[128] = {};
    if (FindDevice(folder, id, kDeviceCodeSize, entry, agent) != Ok) {
        const char* text = "Bad PPC code or server configuration error";
        SendStatus(-100, text);
        OnAuthFinished(false);
        // Anyone can connect: repeated refusals of one address are summarised.
        if (LogRefusalNow(peerLabel)) LogTraffic(peerLabel.c_str(), direction, id, "%s", text);
        return Aborted;
    }
    OnAuthFinished(true);
    agentName = agent;
    directoryName = entry->name;
    deviceFolder = JoinPath(folder, entry->name);
    deviceFolder.push_back(kPathSep);

    // One session per device folder: a newer connection of the same device wins.
    DeviceClaim claim;
    if (sessionRegister) {
        bool superseded = false;
        std::uint64_t ticket = sessionRegister->Claim(directoryName, socket, cancelFlag, kSupersedeWaitMs, &superseded);
        if (superseded)
            LogTraffic(peerLabel.c_str(), 0, id, "Previous session of this device superseded");
        if (!ticket) {
            const char* text = "Previous session of this device did not end";
            SendStatus(-130, "Timed out");
            LogTraffic(peerLabel.c_str(), 0, id, "%s", text);
            return Aborted;
        }
        claim.Set(sessionRegister, ticket);
    }

    bool locked = IsLockedBy1C(deviceFolder);
    if (Cancelled()) return SocketError;  // superseded while waiting for the lock
    if (locked) {
        const char* text = "Data file exists but is locked by 1C";
        SendStatus(-300, text);
        LogTraffic(peerLabel.c_str(), direction, id, "%s", text);
        return Aborted;
    }
    WriteLastConnectionTime(deviceFolder, id, agent);
    status = SendStatus(110, "Welcome!");
    if (status != Ok) return status;
    bool hasData = false;
    status = AnnounceData(*entry, hasData, syncTime);
    if (status != Ok) return status;
    return CommandLoop(deviceFolder, id, agent, folder, entry->name.c_str(), direction);
}

ResultCode CProtocol::FindDevice(const std::string& folder, const char* code, std::size_t,
                                 const DirEntry*& entry, char* agent) {
    entry = nullptr;
    listing.Clear();
    std::shared_ptr<const DeviceTable> table = devices;
    if (!table) return Aborted;
    // Authorization looks at the top level of the exchange folder and at the device folder's
    // own files only, so nothing deeper is listed: the cost does not grow with the files kept
    // in the device folders.
    // Identifiers are unique, so the one row of this code decides, and a folder named as
    // configured is found without listing every folder. Only when that fails (another letter
    // case on a case-sensitive file system, or no folder) is the top level listed.
    for (int i = 0; i < table->Count(); ++i) {
        std::size_t k = static_cast<std::size_t>(i);
        if (!SameCode(table->deviceIds[k], code)) continue;
        const std::string& dir = table->directories[k];
        // Only a name inside the exchange folder: a listing never shows "", "." or "..".
        if (dir.empty() || dir == "." || dir == "..") break;
        FileItem item;
        if (!GetFileItem(JoinPath(folder, dir), &item) || !item.IsFolder()) break;
        DirEntry e;
        e.name = table->directories[k];
        e.type = 'd';
        e.findData = item;
        DirListing::ListChildren(e, JoinPath(folder, e.name));
        listing.Entries().push_back(std::move(e));
        std::snprintf(agent, 128, "%s", table->agentNames[k].c_str());
        entry = &listing.Entries().back();
        return Ok;
    }
    listing.ListTop(folder);
    for (DirEntry& e : listing.Entries()) {
        if (e.type != 'd') continue;
        for (int i = 0; i < table->Count(); ++i) {
            std::size_t k = static_cast<std::size_t>(i);
            if (AnsiCompareNoCase(e.name.c_str(), table->directories[k].c_str()) != 0) continue;
            if (!SameCode(table->deviceIds[k], code)) continue;
            std::snprintf(agent, 128, "%s", table->agentNames[k].c_str());
            DirListing::ListChildren(e, JoinPath(folder, e.name));
            entry = &e;
            return Ok;
        }
    }
    return Aborted;
}

ResultCode CProtocol::CommandLoop(const std::string& folder, const char* id, const char*,
                                  const std::string&, const char*, int& direction) {
    bool other = false;  // an upload or any other message came
    ResultCode result = Ok;
    for (;;) {
        int code = 1;
        char text[256] = {};
        result = ReceiveCommand(code, text, sizeof text, id);
        if (result == Ok) {
            switch (code) {
                case 1:
                    if (!other) {
                        direction = -1;
                        if (!FileExists(folder + downloadName))
                            LogTraffic(peerLabel.c_str(), direction, id, "No data file from 1C");
                    }
                    break;
                case 211:
                    result = HandleDownload(text, direction);
                    // The handheld's acknowledgement of the final block was taken by the
                    // transfer; it counts as a message of the loop.
                    if (result == Ok) other = true;
                    break;
                case 212:
                    result = HandleUpload(text, direction, other);
                    break;
                default:
                    other = true;  // ignored
                    break;
            }
        }
        if (result != Ok || code == 1 || stopFlag) break;
    }
    return result;
}

ResultCode CProtocol::ReceiveCommand(int& code, char* text, std::size_t capacity, const char*) {
    ResultCode result = ReceiveStatus(code, text, capacity);
    if (result == Ok || result == SocketError || result == ZeroSocket) return result;
    SendStatus(-140, "Command received with error(s)");
    return result;
}
