#include "handheld.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "last_error.h"
#include "protocol/crc32.h"
#include "protocol/device_code.h"
#include "protocol/frames.h"
#include "protocol/rdwr.h"

namespace {
typedef std::chrono::steady_clock Clock;

double Since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

std::uint64_t FileSizeOf(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    std::fseek(f, 0, SEEK_END);
    long n = std::ftell(f);
    std::fclose(f);
    return n > 0 ? static_cast<std::uint64_t>(n) : 0;
}

// The system's text of the socket call that failed last (errno, or the Winsock error).
std::string SystemErrorText() {
    char text[512];
    LastErrorText(text, sizeof text);
    if (text[0]) return text;
    return "socket error " + std::to_string(NetLastError());
}

std::string FailureText(ResultCode status) {
    return status == SocketError ? SystemErrorText() : ResultText(status);
}

// Numbers of an announcement, printed by the service as signed decimals.
std::vector<long long> AnnouncedNumbers(const std::string& text) {
    std::vector<long long> out;
    const char* p = text.c_str();
    while (*p) {
        char* end = nullptr;
        long long v = std::strtoll(p, &end, 10);
        if (end == p) break;
        out.push_back(v);
        p = end;
        if (*p != ',') break;
        ++p;
    }
    return out;
}
}  // namespace

std::uint32_t HandheldFileCrc(const std::string& path) { return FileCrc32(path); }

Handheld::Handheld(std::function<void(const std::string&)> p) : print(std::move(p)) {}

Handheld::~Handheld() { Close(); }

void Handheld::Print(const std::string& line) {
    if (print) print(line);
}

bool Handheld::Fail(const std::string& why) {
    error = why;
    Print("error: " + why);
    return false;
}

// What a resumption must not send again, and what it will: for the benchmarks' accounting.
bool Handheld::BrokenOff(std::uint32_t position) {
    char line[160];
    std::snprintf(line, sizeof line, "broken off: %lu bytes acknowledged from position %lu, %lu unacknowledged",
                  static_cast<unsigned long>(acknowledgedBytes), static_cast<unsigned long>(position),
                  static_cast<unsigned long>(unacknowledgedBytes));
    Print(line);
    return false;
}

void Handheld::Close() {
    if (socket) {
        NetClose(socket);
        socket = 0;
    }
    inStart = inEnd = 0;
}

bool Handheld::Connect(const std::string& host, std::uint16_t port) {
    std::uint32_t ip = 0;
    if (!NetParseAddress(host.c_str(), &ip)) return Fail("bad address " + host);
    socket = NetTcpSocket();
    if (!socket) return Fail("no socket");
    if (!NetConnect(socket, ip, port)) {
        std::string why = SystemErrorText();  // before Close can change it
        Close();
        return Fail("cannot connect to " + host + ":" + std::to_string(port) + ": " + why);
    }
    NetSetNoDelay(socket, true);
    if (!NetSetNonBlocking(socket, true)) return Fail("cannot switch the socket to non-blocking mode");
    return true;
}

bool Handheld::SendAllBytes(const void* data, std::size_t length) {
    ResultCode status = Ok;
    SendAll(data, length, status, socket, timeoutSec, nullptr, false);
    if (status != Ok) return Fail("send failed: " + FailureText(status));
    return true;
}

bool Handheld::ReadAllBytes(void* data, std::size_t length) {
    // Buffered, so that a status message costs one recv rather than one per byte.
    std::uint8_t* out = static_cast<std::uint8_t*>(data);
    readDone = 0;
    Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeoutSec);
    while (length > 0) {
        if (inStart < inEnd) {
            std::size_t n = inEnd - inStart < length ? inEnd - inStart : length;
            std::memcpy(out, inBuffer.data() + inStart, n);
            inStart += n;
            readDone += n;
            out += n;
            length -= n;
            continue;
        }
        long left = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          deadline - Clock::now()).count());
        if (left <= 0) return Fail("read failed: Timeout");
        ResultCode status = Ok;
        inBuffer.resize(64 * 1024);
        std::size_t n = ReceiveOnce(inBuffer.data(), inBuffer.size(), left, status, socket, nullptr, true);
        inStart = 0;
        inEnd = status == Ok ? n : 0;
        if (status != Ok) return Fail("read failed: " + FailureText(status));
        if (n == 0) return Fail("connection closed by the service");
    }
    return true;
}

bool Handheld::SendStatusMessage(int code, const std::string& text) {
    std::string frame = FormatStatus(code, text.c_str());
    return SendAllBytes(frame.data(), frame.size());
}

bool Handheld::ReadStatus(int& code, std::string& text) {
    char head[5];
    if (!ReadAllBytes(head, 5)) return false;
    if (head[4] != ' ') return Fail("malformed status message from the service");
    char digits[5];
    std::memcpy(digits, head, 4);
    digits[4] = '\0';
    code = std::atoi(digits);
    text.clear();
    for (;;) {
        char c;
        if (!ReadAllBytes(&c, 1)) return false;
        if (c == '\0') break;
        text.push_back(c);
        if (text.size() > 65536) return Fail("status text without end");
    }
    lastCode = code;
    lastText = text;
    char line[32];
    std::snprintf(line, sizeof line, "%c%03d ", code < 0 ? '-' : '+', code < 0 ? -code : code);
    Print("recv " + std::string(line) + text);
    return true;
}

bool Handheld::Authorize(const std::string& deviceId, bool binary, int version) {
    int code = 0;
    std::string text;
    if (!ReadStatus(code, text)) return false;
    if (code != 100) return Fail("expected +100, got " + std::to_string(code));
    std::uint8_t bytes[kDeviceCodeSize];
    std::memset(bytes, ' ', sizeof bytes);
    if (binary) {
        if (!EncodeBinaryDeviceCode(deviceId.c_str(), static_cast<std::uint8_t>(version), bytes))
            return Fail("a binary device code needs a GUID: " + deviceId);
    } else {
        std::memcpy(bytes, deviceId.data(), deviceId.size() < 36 ? deviceId.size() : 36);
    }
    if (!SendAllBytes(bytes, sizeof bytes)) return false;
    if (!ReadStatus(code, text)) return false;
    if (code != 110) return Fail("refused: " + std::to_string(code) + " " + text);
    if (!ReadStatus(code, text)) return false;
    announcement = Announcement();
    announcement.code = code;
    announcement.text = text;
    std::string numbers = text;
    if (code == 240 || code == 250) {
        announcement.time = text.substr(0, 16);
        numbers = text.size() > 17 ? text.substr(17) : "";
    }
    std::vector<long long> n = AnnouncedNumbers(numbers);
    n.resize(5, 0);
    if (code == 210 || code == 240) {
        announcement.hasData = true;
        announcement.dataSize = static_cast<std::uint32_t>(n[1]);
        announcement.partialSize = static_cast<std::uint32_t>(n[2]);
        announcement.partialCrc = static_cast<std::uint32_t>(n[4]);
    } else if (code == 220 || code == 250) {
        announcement.partialSize = static_cast<std::uint32_t>(n[0]);
        announcement.partialCrc = static_cast<std::uint32_t>(n[2]);
    } else {
        return Fail("unexpected announcement " + std::to_string(code));
    }
    return true;
}

bool Handheld::StaySilent() {
    int code = 0;
    std::string text;
    if (!ReadStatus(code, text)) return false;
    if (code != 100) return Fail("expected +100, got " + std::to_string(code));
    Print("staying silent");
    int saved = timeoutSec;
    timeoutSec = saved + 60;  // the service's own deadline comes first
    bool got = ReadStatus(code, text);
    timeoutSec = saved;
    return got;
}

bool Handheld::SendCommand(int code, const std::string& text) { return SendStatusMessage(code, text); }

bool Handheld::SendRaw(const std::string& bytes) { return SendAllBytes(bytes.data(), bytes.size()); }

bool Handheld::End() { return SendStatusMessage(1, "Bye"); }

bool Handheld::PeerClosed(int waitSec) {
    if (inStart < inEnd) return false;
    char c;
    ResultCode status = Ok;
    std::size_t n = ReceiveOnce(&c, 1, waitSec * 1000L, status, socket);
    return status != Ok ? status == SocketError : n == 0;
}

bool Handheld::Download(const std::string& localPath, std::uint32_t blockSize, bool resume,
                        std::uint32_t crcOfWhole) {
    std::uint32_t position = resume ? static_cast<std::uint32_t>(FileSizeOf(localPath)) : 0;
    char request[96];
    std::snprintf(request, sizeof request, "%lu,0,%lu,%lu", static_cast<unsigned long>(position),
                  static_cast<unsigned long>(resume ? crcOfWhole : 0), static_cast<unsigned long>(blockSize));
    if (!SendStatusMessage(211, request)) return false;
    int code = 0;
    std::string text;
    if (!ReadStatus(code, text)) return false;
    if (code != 214) return Fail("expected +214, got " + std::to_string(code));
    std::vector<long long> n = AnnouncedNumbers(text);
    n.resize(4, 0);
    downloadPosition = static_cast<std::uint32_t>(n[0]);
    downloadSize = static_cast<std::uint32_t>(n[1]);
    downloadCrc = static_cast<std::uint32_t>(n[2]);
    // The service answers position 0 when the partial copy is of another file.
    FILE* f = std::fopen(localPath.c_str(), downloadPosition != 0 && downloadPosition == position ? "r+b" : "wb");
    if (!f) return Fail("cannot write " + localPath);
    if (downloadPosition) std::fseek(f, static_cast<long>(downloadPosition), SEEK_SET);

    blockNumbers.clear();
    acknowledgedBytes = unacknowledgedBytes = 0;
    Clock::time_point start = Clock::now();
    bool rejected = false, ok = false;
    std::uint32_t expected = 1;
    std::vector<std::uint8_t> data;
    for (;;) {
        char header[kBlockHeaderSize];
        if (!ReadAllBytes(header, sizeof header)) break;
        std::uint32_t number = 0, length = 0, crc = 0;
        if (!ParseBlockHeader(header, number, length, crc)) {
            Fail("malformed block header");
            break;
        }
        if (length > kMaxBlockLength) {
            Fail("block too long");
            break;
        }
        data.resize(length);
        if (length && !ReadAllBytes(data.data(), length)) {
            unacknowledgedBytes = static_cast<std::uint32_t>(readDone);
            break;
        }
        bool corrupt = Crc32(data.data(), length) != crc;
        if (!corrupt && !rejected && faults.corruptBlock != 0 &&
            number == static_cast<std::uint32_t>(faults.corruptBlock)) {
            rejected = true;  // pretend it was damaged on the way
            corrupt = true;
        }
        if (corrupt) {
            if (!SendStatusMessage(-150, "CRC error! Retransmit block!")) break;
            continue;
        }
        if (number != 0 && number != expected) {
            Fail("block " + std::to_string(number) + " out of sequence, expected " + std::to_string(expected));
            break;
        }
        blockNumbers.push_back(number);
        if (length == 0 && crc == 0) {
            ok = SendStatusMessage(150, "OK");
            break;
        }
        if (std::fwrite(data.data(), 1, length, f) != length) {
            Fail("cannot write " + localPath);
            break;
        }
        acknowledgedBytes += length;  // held now, so a resumption starts after it
        ++expected;
        if (!SendStatusMessage(150, "OK")) break;
        if (faults.closeAfterBlocks && static_cast<int>(blockNumbers.size()) >= faults.closeAfterBlocks) {
            std::fclose(f);
            f = nullptr;
            Print("closing after " + std::to_string(blockNumbers.size()) + " blocks");
            Close();
            return Fail("connection closed on purpose");
        }
    }
    seconds = Since(start);
    if (f) std::fclose(f);
    if (!ok) return BrokenOff(downloadPosition);
    std::uint32_t got = HandheldFileCrc(localPath);
    char line[160];
    std::snprintf(line, sizeof line, "downloaded %lu bytes from position %lu, crc %lu, %u blocks",
                  static_cast<unsigned long>(FileSizeOf(localPath)), static_cast<unsigned long>(downloadPosition),
                  static_cast<unsigned long>(got), static_cast<unsigned>(blockNumbers.size()));
    Print(line);
    if (got != downloadCrc) return Fail("whole-file CRC does not match the service's");
    return true;
}

bool Handheld::Upload(const std::string& localPath, const std::string& name, bool named,
                      std::uint32_t blockSize, bool resume) {
    FILE* f = std::fopen(localPath.c_str(), "rb");
    if (!f) return Fail("cannot read " + localPath);
    std::uint32_t size = static_cast<std::uint32_t>(FileSizeOf(localPath));
    std::uint32_t crc = HandheldFileCrc(localPath);
    if (faults.wrongFileCrc) crc ^= 0x1234567u;
    std::uint32_t position = 0;
    if (resume && announcement.partialSize > 0 && announcement.partialCrc == crc &&
        announcement.partialSize <= size)
        position = announcement.partialSize;
    if (blockSize == 0) blockSize = 2048;
    char request[400];
    std::snprintf(request, sizeof request, "%lu,%lu,%lu,%d,%s", static_cast<unsigned long>(position),
                  static_cast<unsigned long>(size), static_cast<unsigned long>(crc), named ? 1 : 0,
                  name.c_str());
    if (!SendStatusMessage(212, request)) {
        std::fclose(f);
        return false;
    }
    std::fseek(f, static_cast<long>(position), SEEK_SET);
    blockNumbers.clear();
    acknowledgedBytes = unacknowledgedBytes = 0;
    Clock::time_point start = Clock::now();
    std::vector<std::uint8_t> data(blockSize);
    std::vector<std::uint8_t> frame;
    std::uint32_t number = 1;
    bool corrupted = false, ok = false;
    for (;;) {
        std::size_t n = std::fread(data.data(), 1, blockSize, f);
        std::uint32_t thisNumber = number++;
        if (faults.skipBlock && thisNumber == static_cast<std::uint32_t>(faults.skipBlock)) thisNumber = number++;
        std::uint32_t length = static_cast<std::uint32_t>(n);
        std::uint32_t crcOfBlock = Crc32(data.data(), n);
        if (n == 0) thisNumber = 0;
        for (;;) {
            char header[31];
            FormatBlockHeader(thisNumber, faults.hugeBlock ? 999999999u : length, crcOfBlock, header);
            frame.assign(header, header + kBlockHeaderSize);
            frame.insert(frame.end(), data.begin(), data.begin() + static_cast<long>(n));
            if (!corrupted && faults.corruptBlock && thisNumber == static_cast<std::uint32_t>(faults.corruptBlock) && n) {
                frame[kBlockHeaderSize] ^= 0x5A;  // damaged on the way, once
                corrupted = true;
            }
            unacknowledgedBytes = length;  // on the way, or partly
            if (!SendAllBytes(frame.data(), frame.size())) break;
            int code = 0;
            std::string text;
            if (!ReadStatus(code, text)) break;
            if (code == -150) continue;
            if (code != 150) {
                Fail("block " + std::to_string(thisNumber) + " answered with " + std::to_string(code));
                break;
            }
            blockNumbers.push_back(thisNumber);
            acknowledgedBytes += length;
            unacknowledgedBytes = 0;
            break;
        }
        if (blockNumbers.empty() || blockNumbers.back() != thisNumber) break;
        if (n == 0) {
            ok = true;
            break;
        }
        if (faults.closeAfterBlocks && static_cast<int>(blockNumbers.size()) >= faults.closeAfterBlocks) {
            Print("closing after " + std::to_string(blockNumbers.size()) + " blocks");
            std::fclose(f);
            Close();
            return Fail("connection closed on purpose");
        }
    }
    seconds = Since(start);
    std::fclose(f);
    if (!ok) return BrokenOff(position);
    uploadedBytes = size - position;
    char line[160];
    std::snprintf(line, sizeof line, "uploaded %lu bytes from position %lu, crc %lu, %u blocks",
                  static_cast<unsigned long>(size - position), static_cast<unsigned long>(position),
                  static_cast<unsigned long>(crc), static_cast<unsigned>(blockNumbers.size()));
    Print(line);
    return true;
}
