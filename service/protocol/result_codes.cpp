#include "protocol/result_codes.h"

std::string ResultText(ResultCode code) {
    switch (code) {
        case Ok: return "";
        case FileIOError: return "FileIOError";
        case Timeout: return "Timeout";
        case SocketError: return "SocketError";
        case ConnectError: return "ConnectError";
        case ZeroSocket: return "ZeroSocket";
        case CRCError: return "CRCError";
        case Aborted: return "";
        case ProtocolError: return "ProtocolError";
        case UserBreak: return "UserBreak";
        case DownloadTmpDeny: return "DownloadTmpDeny";
        case BadFileName: return "BadFileName";
        default: return "Error:" + std::to_string(code);
    }
}
