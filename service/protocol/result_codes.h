// The result codes every layer of the handheld protocol returns; 0 is success.
#pragma once
#include <string>

typedef int ResultCode;
enum : ResultCode {
    Ok = 0,
    FileIOError = 1,
    Timeout = 2,
    SocketError = 3,
    ConnectError = 4,   // has a name; nothing in the service returns it
    ZeroSocket = 5,
    CRCError = 6,
    Aborted = 7,        // already reported to the handheld and/or the log; no name
    ProtocolError = 8,
    UserBreak = 9,
    DownloadTmpDeny = 10,
    BadFileName = 11,   // an upload name that would leave the device folder
};

// The name written to the log: "" for Ok and Aborted, "Error:%d" for an unknown code.
std::string ResultText(ResultCode code);
