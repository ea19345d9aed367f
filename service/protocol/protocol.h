// The service's side of one conversation with a handheld: authorization, commands, transfers.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "exchange/dir_listing.h"
#include "protocol/rdwr.h"
#include "protocol/result_codes.h"

struct DeviceTable;
class DeviceSessions;

// One data block in memory; the block owns its data.
struct Block {
    std::uint32_t number = 0;
    std::uint32_t length = 0;
    std::uint32_t crc = 0;
    std::vector<std::uint8_t> data;
};

class CProtocol {
public:
    CProtocol(CRdWr* rdwr, const char* peerLabel);
    virtual ~CProtocol();

    // Events; each prints one console line (seen in debug mode).
    virtual void OnError(ResultCode result, int clientCode, const char* clientComment);
    virtual void OnBlockReceived(std::uint32_t length, std::uint32_t number, std::uint32_t received);
    virtual void OnBlockSent(std::uint32_t length, std::uint32_t number, std::uint32_t sent);
    virtual void OnReceiveStarted(std::uint32_t size, std::uint32_t position);
    virtual void OnSendStarted(std::uint32_t size, std::uint32_t position);
    virtual void OnAuthStarted(bool client);
    virtual void OnAuthFinished(bool success);
    virtual void OnDisconnected(int resultState);
    virtual void OnSend(ResultCode status, int code, const char* text);
    virtual void OnReceive(ResultCode status, int code, const char* text);

    // The device table to authorize against (a snapshot; null refuses every device) and the
    // register of running sessions by device folder (null: no check).
    void SetDevices(std::shared_ptr<const DeviceTable> table) { devices = std::move(table); }
    void SetSessionRegister(DeviceSessions* sessions, NetSocket ownSocket, std::atomic<bool>* cancel) {
        sessionRegister = sessions;
        socket = ownSocket;
        cancelFlag = cancel;
    }
    bool Cancelled() const { return cancelFlag && cancelFlag->load(); }

    ResultCode RunSession(const std::string& exchangeFolder, bool syncTime);
    ResultCode Authorize(const std::string& exchangeFolder, int& direction, char* deviceId,
                         bool syncTime);
    ResultCode RequestDeviceCode(std::uint8_t buffer[36]);
    ResultCode FindDevice(const std::string& exchangeFolder, const char* code, std::size_t length,
                          const DirEntry*& entry, char* agentName);
    ResultCode CommandLoop(const std::string& deviceFolder, const char* deviceId,
                           const char* agentName, const std::string& exchangeFolder,
                           const char* directoryName, int& direction);
    ResultCode ReceiveCommand(int& code, char* text, std::size_t capacity, const char* deviceId);

    // Framing.
    ResultCode SendStatus(int code, const char* text);
    ResultCode ReceiveStatus(int& code, char* text, std::size_t capacity);
    ResultCode SendNumbers(int code, std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d);
    Block MakeBlock(const void* data, std::uint32_t length, std::uint32_t number);
    ResultCode SendBlock(const Block& block);
    ResultCode ReceiveBlock(Block& block);  // the block is filled only on success
    ResultCode SendBlockHeader(std::uint32_t number, std::uint32_t length, std::uint32_t crc);
    ResultCode ReceiveBlockHeader(std::uint32_t& number, std::uint32_t& length, std::uint32_t& crc);
    std::uint32_t Crc32(const void* data, std::size_t length);
    std::uint32_t FileCrc32(const std::string& path);

    // Block transfer.
    ResultCode SendFile(const std::string& folder, const char* name, std::uint32_t position,
                        int& deleteAfter, std::uint32_t blockSize);
    // With ackFinal false the final empty block is not acknowledged here: the caller sends the
    // +150 once it has handed the file on (AcknowledgeFinalBlock), so a handheld that saw it
    // knows its file is delivered.
    ResultCode ReceiveFile(const std::string& folder, const char* name, const char* mode,
                           std::uint32_t position, std::uint32_t* total, bool ackFinal = true);
    ResultCode AcknowledgeFinalBlock() { return SendStatus(150, "OK"); }

    // The device folder and the hand-off to 1C.
    bool IsLockedBy1C(const std::string& deviceFolder);
    void WriteLastConnectionTime(const std::string& deviceFolder, const char* deviceId,
                                 const char* agentName);
    ResultCode AnnounceData(const DirEntry& entry, bool& hasData, bool syncTime);
    ResultCode HandleDownload(const char* text, int& direction);
    ResultCode HandleUpload(const char* text, int& direction, bool& uploadSeen);
    // How long a finished upload waits for 1C's lock to go and for a busy target to let go
    // (10 s, as the lock wait at authorization); process-wide, tests shorten it.
    static std::atomic<int> handOffWaitMs;

    int LastClientCode() const { return lastClientCode; }
    const char* LastClientComment() const { return lastClientComment; }
    bool stopFlag = false;
    // Seconds from the connection to its device code (0: the connection's time-out).
    int authTimeoutSec = 0;

    // Whether the events print their console lines (on by default; tests and benchmarks may
    // turn them off for the whole process).
    static void SetConsoleEvents(bool on);

    // Bounds on one block's retransmissions (the protocol itself has none).
    static constexpr int kMaxRetransmissions = 100;

protected:
    bool WaitForHandOff();
    ResultCode RefuseUpload(const char* format, unsigned long a, unsigned long b);
    ResultCode HandOffFailed(const char* name);
    ResultCode FinishUpload(const std::string& name);

    CRdWr* rdwr;
    DirListing listing;
    int lastClientCode = 0;
    char lastClientComment[256] = {};
    char downloadName[128] = "From1C.zip";
    char uploadName[128] = "To1C.zip";
    std::string peerLabel;

    // The session's device, for the handlers and the records.
    std::string exchangeFolder;
    std::string deviceFolder;   // ends with a separator
    std::string directoryName;
    std::string deviceId;
    std::string agentName;

    std::shared_ptr<const DeviceTable> devices;
    DeviceSessions* sessionRegister = nullptr;
    NetSocket socket = 0;
    std::atomic<bool>* cancelFlag = nullptr;  // raised when a newer session of the device takes over
    std::vector<std::uint8_t> sendBuffer;  // header and data of one block, sent in one write
};
