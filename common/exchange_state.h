// What an administrator needs to see of the exchange folder at a glance: for every device of
// config.xml its last connection, what waits in each direction, a half-finished upload and
// 1C's lock, and the folders that no device uses. Shared by the control panel and the
// velora-devices tool.
//
// Everything is read while the service and 1C go on working: files are opened with every kind
// of sharing and closed at once, no lock is taken, and a file caught half-written (Status.txt,
// Stack.txt, LastConnectionTime, CRC) never makes the read fail: what cannot be parsed is left
// out, and the next read sees the finished file.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A file of the device folder: present or not, its size and last write time (FILETIME units).
struct FileFacts {
    bool present = false;
    std::uint64_t size = 0;
    std::uint64_t writeTime = 0;
};

// A complete upload recorded in Status.txt or Stack.txt whose file is still there, i.e. 1C
// has not taken it yet.
struct WaitingUpload {
    std::string file;        // relative to the exchange folder as recorded, e.g. PPC1\To1C.zip
    std::string recordTime;  // the record's time text, e.g. 2026-12-11 09-30-05
    std::uint32_t crc = 0;   // as recorded
    std::uint64_t size = 0;  // of the file now
};

struct DeviceState {
    std::string agentName;   // PSEUDONIM
    std::string deviceId;    // DEVICE_ID
    std::string directory;   // DIRECTORY
    std::string folderPath;  // the exchange folder joined with DIRECTORY
    bool folderExists = false;

    bool everConnected = false;       // LastConnectionTime could be read
    std::int64_t lastConnection = 0;  // seconds since 1970-01-01 UTC

    FileFacts from1C;                         // From1C.zip: data from 1C for the handheld
    bool deliveredWaiting = false;            // the device's Status.txt record, file present
    WaitingUpload delivered;
    std::vector<WaitingUpload> namedWaiting;  // its Stack.txt records, files present

    bool partialUpload = false;  // download.tmp is there (an upload that can resume)
    std::uint64_t partialSize = 0;
    std::uint32_t partialCrc = 0;  // the CRC file beside it; 0 without one

    bool lockedBy1C = false;  // 1C's lock file is there
};

struct ExchangeState {
    std::string folder;
    // config.xml: read, missing, or there but unparsable (an editor may be saving it).
    enum class Config { Read, Missing, Unparsed } config = Config::Missing;
    std::string configReason;  // the parser's reason when Unparsed (ANSI)
    std::vector<DeviceState> devices;              // config.xml's order
    std::vector<std::string> unconfiguredFolders;  // folders no device's DIRECTORY names
    int incompleteRecords = 0;  // Status.txt/Stack.txt lines left out as half-written
};

// Reads the state of `exchangeFolder` (ANSI, with or without a trailing separator). Never
// fails as a whole: a missing or unparsable config.xml gives no devices and no
// unconfigured folders (without the device list every folder would look unconfigured).
ExchangeState ReadExchangeState(const std::string& exchangeFolder);

// FILETIME units (100 ns since 1601) to seconds since 1970 and back.
std::int64_t FileTimeToUnix(std::uint64_t fileTime);
