// The handheld's side of the protocol, played against any Velora service: for the tests, the
// benchmarks and for administrators checking an installation.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/net.h"

struct HandheldFaults {
    int closeAfterBlocks = 0;   // close the connection after this many data blocks (0: never)
    int corruptBlock = 0;       // upload: corrupt the data of this block once; download: reject it once
    int skipBlock = 0;          // upload: leave this block number out (out of sequence)
    bool hugeBlock = false;     // upload: announce a block of 999 999 999 bytes
    bool wrongFileCrc = false;  // upload: announce a whole-file CRC that does not match
};

struct Announcement {
    int code = 0;               // 210, 220, 240 or 250
    std::string text;
    bool hasData = false;
    std::uint32_t dataSize = 0;       // size of From1C.zip (210/240)
    std::uint32_t partialSize = 0;    // bytes of an interrupted upload already held
    std::uint32_t partialCrc = 0;     // CRC of the whole file of that upload
    std::string time;                 // "dd.mm.yyyy hh:mm" of 240/250, else ""
};

class Handheld {
public:
    explicit Handheld(std::function<void(const std::string&)> print = nullptr);
    ~Handheld();

    int timeoutSec = 30;
    HandheldFaults faults;

    bool Connect(const std::string& host, std::uint16_t port);
    // Sends the device code after +100; text form unless binary (GUID form needed then).
    // False when the service refused (the reply is in lastCode/lastText) or on a failure.
    bool Authorize(const std::string& deviceId, bool binary, int version);
    // Only waits after +100 without answering, and reports what the service sends then.
    bool StaySilent();
    const Announcement& Announced() const { return announcement; }

    // 211: From1C.zip into localPath. With resume, a partial local copy is continued from its
    // size when crcOfWhole (the CRC the service gave for the whole file before) still matches.
    bool Download(const std::string& localPath, std::uint32_t blockSize, bool resume,
                  std::uint32_t crcOfWhole);
    // 212: localPath as To1C.zip (name empty) or under a name (named = true). With resume the
    // upload continues from the announced size when the announced CRC is this file's.
    bool Upload(const std::string& localPath, const std::string& name, bool named,
                std::uint32_t blockSize, bool resume);
    bool SendCommand(int code, const std::string& text);   // any status message
    bool SendRaw(const std::string& bytes);                 // e.g. a malformed frame
    bool ReadStatus(int& code, std::string& text);          // one status message
    bool End();                                             // command 1
    void Close();
    bool PeerClosed(int waitSec);  // true when the service closed the connection within waitSec

    // What the last download received.
    std::uint32_t downloadSize = 0, downloadCrc = 0, downloadPosition = 0;
    std::uint32_t uploadedBytes = 0;  // data bytes of the last upload
    std::vector<std::uint32_t> blockNumbers;  // numbers of the blocks of the last transfer
    // Of a transfer that broke off: the data bytes acknowledged (download: held in the local
    // file) from its start position, and those of the unacknowledged block already on the way.
    std::uint32_t acknowledgedBytes = 0, unacknowledgedBytes = 0;
    int lastCode = 0;
    std::string lastText;
    std::string error;
    double seconds = 0;  // duration of the last transfer

private:
    bool SendAllBytes(const void* data, std::size_t length);
    bool ReadAllBytes(void* data, std::size_t length);
    bool SendStatusMessage(int code, const std::string& text);
    bool Fail(const std::string& why);
    bool BrokenOff(std::uint32_t position);
    void Print(const std::string& line);

    NetSocket socket = 0;
    std::vector<std::uint8_t> inBuffer;
    std::size_t inStart = 0, inEnd = 0;
    std::size_t readDone = 0;  // bytes the last ReadAllBytes got, also when it failed
    Announcement announcement;
    std::function<void(const std::string&)> print;
};

std::uint32_t HandheldFileCrc(const std::string& path);
