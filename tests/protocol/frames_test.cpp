// Frames, CRC-32, device codes, command fields, upload names and result names.
#include <gtest/gtest.h>

#include <cstring>

#include "exchange/upload_name.h"
#include "protocol/crc32.h"
#include "protocol/device_code.h"
#include "protocol/frames.h"
#include "protocol/result_codes.h"
#include "support.h"

TEST(Frames, StatusMessageBytes) {
    std::string welcome = FormatStatus(110, "Welcome!");
    EXPECT_EQ(welcome, std::string("+110 Welcome!\0", 14));
    std::string reject = FormatStatus(-150, "CRC error! Retransmit block!");
    EXPECT_EQ(reject.substr(0, 5), "-150 ");
    EXPECT_EQ(reject.size(), std::strlen("CRC error! Retransmit block!") + 6);
    EXPECT_EQ(reject.back(), '\0');
    EXPECT_EQ(FormatStatus(1, ""), std::string("+001 \0", 6));
}

TEST(Frames, BlockHeaderFormatAndParse) {
    char h[31];
    FormatBlockHeader(1, 2048, 305419896, h);
    EXPECT_STREQ(h, "000000001:000002048:0305419896");
    FormatBlockHeader(0, 0, 0, h);
    EXPECT_STREQ(h, "000000000:000000000:0000000000");
    FormatBlockHeader(7, 65536, 4000000000u, h);
    std::uint32_t n = 0, l = 0, c = 0;
    ASSERT_TRUE(ParseBlockHeader(h, n, l, c));
    EXPECT_EQ(n, 7u);
    EXPECT_EQ(l, 65536u);
    EXPECT_EQ(c, 4000000000u);

    char bad[31];
    std::memcpy(bad, "000000001-000002048:0305419896", 31);
    EXPECT_FALSE(ParseBlockHeader(bad, n, l, c));
    std::memcpy(bad, "000000001:000002048-0305419896", 31);
    EXPECT_FALSE(ParseBlockHeader(bad, n, l, c));
}

TEST(Crc, ZlibValues) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    std::string data = RandomBytes(5000, 1);
    EXPECT_EQ(Crc32Update(Crc32(data.data(), 3000), data.data() + 3000, 2000),
              Crc32(data.data(), data.size()));
    TempDir dir;
    ASSERT_TRUE(WriteFile(dir / "f", data));  // several 2048-byte chunks and a short one
    EXPECT_EQ(FileCrc32(dir / "f"), Crc32(data.data(), data.size()));
    EXPECT_EQ(FileCrc32(dir / "missing"), 0u);
}

TEST(DeviceCode, TextAndBinaryForms) {
    std::uint8_t code[36];
    std::memcpy(code, "6f9619ff-8b86-d011-b42d-00c04fc964ff", 36);
    char id[37];
    int version = -1;
    DecodeDeviceCode(code, id, &version);
    EXPECT_STREQ(id, "6f9619ff-8b86-d011-b42d-00c04fc964ff");
    EXPECT_EQ(version, 0);

    // Windows in-memory layout: little-endian groups, then 8 bytes; version; '*'.
    const std::uint8_t raw[18] = {0xFF, 0x19, 0x96, 0x6F, 0x86, 0x8B, 0x11, 0xD0, 0xB4,
                                  0x2D, 0x00, 0xC0, 0x4F, 0xC9, 0x64, 0xFF, 21,   '*'};
    std::memset(code, 0xEE, sizeof code);
    std::memcpy(code, raw, sizeof raw);
    DecodeDeviceCode(code, id, &version);
    EXPECT_STREQ(id, "6F9619FF-8B86-D011-B42D-00C04FC964FF");
    EXPECT_EQ(version, 21);

    std::uint8_t encoded[36];
    ASSERT_TRUE(EncodeBinaryDeviceCode("{6f9619ff-8b86-d011-b42d-00c04fc964ff}", 21, encoded));
    EXPECT_EQ(0, std::memcmp(encoded, raw, sizeof raw));
    EXPECT_FALSE(EncodeBinaryDeviceCode("not-a-guid", 22, encoded));
}

TEST(CommandText, FieldsAndNumbers) {
    std::vector<std::string> f = SplitCommandFields("20480,,123,x1,report.dat extra");
    ASSERT_EQ(f.size(), 4u);
    EXPECT_EQ(CommandNumber(f, 0), 20480u);
    EXPECT_EQ(CommandNumber(f, 1), 123u);  // consecutive commas count as one
    EXPECT_EQ(CommandNumber(f, 2), 0u);    // not a number
    EXPECT_EQ(CommandNumber(f, 7), 0u);    // missing
    EXPECT_EQ(CommandField(f, 3), "report.dat extra");
    EXPECT_EQ(CommandField(f, 9), "");
    EXPECT_EQ(CommandNumber(SplitCommandFields("4000000000"), 0), 4000000000u);
    EXPECT_EQ(CommandNumber(SplitCommandFields("99999999999"), 0), 0xFFFFFFFFu);
}

TEST(UploadName, RefusesNamesThatLeaveTheFolder) {
    const char* refused[] = {"..\\To1C.zip", "../x", "a/b", "a\\b", "C:x", "C:", "x:stream",
                             "..", ".", "NUL", "nul.txt", "Con", "COM1", "lpt9.dat", "aux ",
                             "name.", "name ", "a*b", "a?b", "a|b", "tab\tname", "lock", "CRC",
                             "Download.tmp", "dwnldclt.tmp", "FROM1C.ZIP", "From1C_trans.zip",
                             "LastConnectionTime", ""};
    for (const char* n : refused) EXPECT_FALSE(IsSafeUploadName(n)) << n;
    const char* accepted[] = {"To1C.zip", "report.dat", "отчёт.txt", "COM10", "console.log",
                              "a..b", ".hidden", "lock.txt"};
    for (const char* n : accepted) EXPECT_TRUE(IsSafeUploadName(n)) << n;
}

TEST(ResultCodes, Names) {
    EXPECT_EQ(ResultText(Ok), "");
    EXPECT_EQ(ResultText(Aborted), "");
    EXPECT_EQ(ResultText(CRCError), "CRCError");
    EXPECT_EQ(ResultText(DownloadTmpDeny), "DownloadTmpDeny");
    EXPECT_EQ(ResultText(ProtocolError), "ProtocolError");
    EXPECT_EQ(ResultText(42), "Error:42");
}
