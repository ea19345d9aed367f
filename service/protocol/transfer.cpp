// Files as runs of numbered blocks, each acknowledged before the next (stop-and-wait), closed
// by an empty block numbered 0.
#include <cstdio>
#include <cstring>

#include "exchange/file_ops.h"
#include "platform/files.h"
#include "protocol/frames.h"
#include "protocol/protocol.h"

ResultCode CProtocol::SendFile(const std::string& folder, const char* name, std::uint32_t position,
                               int& deleteAfter, std::uint32_t blockSize) {
    stopFlag = false;
    std::string path = JoinPath(folder, name);
    FileHandle f(OpenFile(path, "rb"));
    if (!f) return Aborted;
    if (blockSize == 0) blockSize = 2048;
    if (blockSize > kMaxBlockLength) blockSize = kMaxBlockLength;
    std::vector<std::uint8_t> buffer(blockSize);
    std::uint32_t number = 1, total = 0;
    ResultCode result = Ok;
    bool completed = false;
    if (!SeekFile(f.get(), position)) return FileIOError;
    for (;;) {
        if (stopFlag) break;
        std::size_t n = std::fread(buffer.data(), 1, blockSize, f.get());
        if (n == 0) {
            completed = !std::ferror(f.get());
            if (!completed) result = FileIOError;
            break;
        }
        Block block = MakeBlock(buffer.data(), static_cast<std::uint32_t>(n), number++);
        int retransmissions = 0;
        for (;;) {
            result = SendBlock(block);
            if (result != Ok) break;
            int code = 0;
            char reply[256] = {};
            ReceiveStatus(code, reply, sizeof reply);
            if (code == 150) break;
            if (code == -150 && !stopFlag && ++retransmissions <= kMaxRetransmissions) continue;
            result = ProtocolError;
            break;
        }
        if (result != Ok) break;
        total += block.length;
        OnBlockSent(block.length, block.number, total);
    }
    f.reset();

    if (result == Ok && completed && !stopFlag) {
        result = SendBlockHeader(0, 0, 0);
        OnBlockSent(0, 0, total);
        if (result == Ok) {
            // The receiver acknowledges the final block too. Only that proves the file arrived
            // whole, so the caller may delete its source only after it.
            int code = 0;
            char reply[256] = {};
            ReceiveStatus(code, reply, sizeof reply);
            if (code != 150) result = ProtocolError;
        }
        if (result == Ok) {
            if (deleteAfter) RemoveFile(path);
            else deleteAfter = 1;
        }
        return result;
    }
    if (result == Ok) result = stopFlag ? UserBreak : ProtocolError;
    return result;
}

ResultCode CProtocol::ReceiveFile(const std::string& folder, const char* name, const char* mode,
                                  std::uint32_t position, std::uint32_t* total, bool ackFinal) {
    stopFlag = false;
    std::string path = JoinPath(folder, name);
    FileHandle f(OpenFile(path, mode));
    if (!f) return Aborted;
    // In append mode writes land at the end whatever the position says.
    if (position != 0 && !SeekFile(f.get(), position)) return FileIOError;
    std::uint32_t previous = 0, received = 0;
    bool finished = false;
    ResultCode result = Ok;
    int badInARow = 0;
    Block block;
    while (result == Ok && !stopFlag) {
        result = ReceiveBlock(block);
        if (result == CRCError) {
            if (++badInARow > kMaxRetransmissions) break;
            result = SendStatus(-150, "CRC error! Retransmit block!");
            OnError(Ok, lastClientCode, lastClientComment);
            continue;
        }
        if (result != Ok) break;
        badInARow = 0;
        if (block.number != 0 && block.number != previous + 1) {
            result = ProtocolError;
            break;
        }
        if (block.length == 0 && block.crc == 0) {
            previous = block.number;
            OnBlockReceived(0, block.number, received);
            if (ackFinal) SendStatus(150, "OK");
            finished = true;
            break;
        }
        // Written and flushed before the acknowledgement: an acknowledged block is on disk.
        if (std::fwrite(block.data.data(), 1, block.length, f.get()) != block.length ||
            std::fflush(f.get()) != 0) {
            result = FileIOError;
            break;
        }
        previous = block.number;
        received += block.length;
        OnBlockReceived(block.length, block.number, received);
        SendStatus(150, "OK");  // a broken connection shows at the next read
    }
    if (total) *total = received;
    if (!CloseFile(f) && result == Ok) result = FileIOError;
    if (result == Ok && !finished) result = stopFlag ? UserBreak : ProtocolError;
    return result;
}
