// Status messages and data blocks over the session's reader/writer.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "protocol/crc32.h"
#include "protocol/frames.h"
#include "protocol/protocol.h"

namespace {
// A text longer than the caller's buffer is read on to its NUL (and dropped) so that the
// next message starts where it should; past this much the peer is not speaking the protocol.
constexpr std::size_t kMaxStatusText = 64 * 1024;
}  // namespace

ResultCode CProtocol::SendStatus(int code, const char* text) {
    std::string frame = FormatStatus(code, text);
    rdwr->Write(frame.data(), frame.size());
    ResultCode status = rdwr->GetStatus();
    OnSend(status, code, text);
    return status;
}

ResultCode CProtocol::ReceiveStatus(int& code, char* text, std::size_t capacity) {
    ResultCode result = Ok;
    DeadlineScope wholeMessage(rdwr, 0);  // not renewed by every byte of the text
    char head[5];
    rdwr->Read(head, sizeof head);
    result = rdwr->GetStatus();
    bool haveCode = false;
    if (result == Ok) {
        if (head[4] != ' ') {
            result = ProtocolError;
        } else {
            char digits[5];
            std::memcpy(digits, head, 4);
            digits[4] = '\0';
            code = std::atoi(digits);
            haveCode = true;
            // Stored up to the NUL; one byte of the buffer is kept for a terminator.
            std::size_t stored = 0, seen = 0;
            for (;;) {
                std::uint8_t b = rdwr->GetByte();
                if (rdwr->GetStatus() != Ok) {
                    result = rdwr->GetStatus();
                    break;
                }
                if (b == 0) break;
                if (capacity > 0 && stored + 1 < capacity) text[stored++] = static_cast<char>(b);
                if (++seen > kMaxStatusText) {
                    result = ProtocolError;
                    break;
                }
            }
            if (capacity > 0) text[stored] = '\0';
        }
    }
    if (capacity == 0) text = const_cast<char*>("");
    std::snprintf(lastClientComment, sizeof lastClientComment, "%s", text);
    if (haveCode) lastClientCode = code;
    OnReceive(result, haveCode ? code : 0, text);
    return result;
}

ResultCode CProtocol::SendNumbers(int code, std::uint32_t a, std::uint32_t b, std::uint32_t c,
                                  std::uint32_t d) {
    char text[64];
    std::snprintf(text, sizeof text, "%lu,%lu,%lu,%lu", static_cast<unsigned long>(a),
                  static_cast<unsigned long>(b), static_cast<unsigned long>(c),
                  static_cast<unsigned long>(d));
    return SendStatus(code, text);
}

std::uint32_t CProtocol::Crc32(const void* data, std::size_t length) { return ::Crc32(data, length); }

std::uint32_t CProtocol::FileCrc32(const std::string& path) { return ::FileCrc32(path); }

Block CProtocol::MakeBlock(const void* data, std::uint32_t length, std::uint32_t number) {
    Block block;
    block.number = number;
    block.length = length;
    const std::uint8_t* p = static_cast<const std::uint8_t*>(data);
    block.data.assign(p, p + length);
    block.crc = Crc32(block.data.data(), length);
    return block;
}

ResultCode CProtocol::SendBlockHeader(std::uint32_t number, std::uint32_t length, std::uint32_t crc) {
    char header[31];
    FormatBlockHeader(number, length, crc, header);
    rdwr->Write(header, kBlockHeaderSize);
    return rdwr->GetStatus();
}

ResultCode CProtocol::SendBlock(const Block& block) {
    // Header and data leave in one write, so the peer never waits for the data of a header.
    char header[31];
    FormatBlockHeader(block.number, block.length, block.crc, header);
    sendBuffer.resize(kBlockHeaderSize + block.length);
    std::memcpy(sendBuffer.data(), header, kBlockHeaderSize);
    if (block.length) std::memcpy(sendBuffer.data() + kBlockHeaderSize, block.data.data(), block.length);
    rdwr->Write(sendBuffer.data(), sendBuffer.size());
    return rdwr->GetStatus();
}

ResultCode CProtocol::ReceiveBlockHeader(std::uint32_t& number, std::uint32_t& length,
                                         std::uint32_t& crc) {
    char header[kBlockHeaderSize];
    rdwr->Read(header, sizeof header);
    ResultCode status = rdwr->GetStatus();
    if (status != Ok) return status;
    if (!ParseBlockHeader(header, number, length, crc)) return ProtocolError;
    return Ok;
}

ResultCode CProtocol::ReceiveBlock(Block& block) {
    std::uint32_t number = 0, length = 0, crc = 0;
    ResultCode result = ReceiveBlockHeader(number, length, crc);
    if (result != Ok) return result;
    if (length > kMaxBlockLength) return ProtocolError;
    block.data.resize(length);
    if (length) {
        rdwr->Read(block.data.data(), length);
        result = rdwr->GetStatus();
        if (result != Ok) return result;
    }
    if (Crc32(block.data.data(), length) != crc) return CRCError;
    block.number = number;
    block.length = length;
    block.crc = crc;
    return Ok;
}
