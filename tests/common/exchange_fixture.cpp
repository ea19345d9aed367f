#include "exchange_fixture.h"

#include <cstdio>

#include "platform/codepage.h"
#include "platform/files.h"
#include "exchange_state.h"

const char* const kFixtureIds[kFixtureDevices] = {
    "11111111-1111-1111-1111-111111111111", "22222222-2222-2222-2222-222222222222",
    "33333333-3333-3333-3333-333333333333", "44444444-4444-4444-4444-444444444444",
    "55555555-5555-5555-5555-555555555555", "66666666-6666-6666-6666-666666666666"};
const char* const kFixtureAgents[kFixtureDevices] = {"Иванов", "Петров", "Сидоров", "Кузнецов", "Смирнов", "Попов"};
const char* const kFixtureFolders[kFixtureDevices] = {"PPC1", "PPC2", "PPC3", "PPC4", "PPC5", "PPC6"};
const char* const kFixtureUnconfigured = "OLD7";

bool WriteFixtureFile(const std::string& path, const std::string& bytes) {
    std::FILE* f = FileOpen(path, "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

std::string FixtureRecord(int device, const std::string& file, std::uint32_t crc) {
    return std::string(kFixtureIds[device]) + "\t" + kFixtureAgents[device] + "\t" + kFixtureFolders[device] + "\\" +
           file + "\t2026-12-11 09-30-05\t" + std::to_string(crc) + "\r\n";
}

namespace {
// config.xml as the control panel's template writes it: UTF-16 LE with a byte-order mark.
std::string Utf16File(const std::string& ansi) {
    std::u16string text = u"\xFEFF" + AnsiToUtf16(ansi);
    std::string bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<char>(c & 0xFF));
        bytes.push_back(static_cast<char>(c >> 8));
    }
    return bytes;
}

std::string Device(const std::string& exchange, int device) { return JoinPath(exchange, kFixtureFolders[device]); }

void Connected(const std::string& exchange, int device, std::int64_t when) {
    WriteFixtureFile(JoinPath(Device(exchange, device), "LastConnectionTime"),
                     std::string(kFixtureIds[device]) + "|" + kFixtureAgents[device] + "|" + std::to_string(when));
}
}  // namespace

void BuildExchangeFixture(const std::string& folder, std::int64_t now) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<VeloraServer VERSION=\"1.0\">\r\n"
                      "\t<ServerConfig PortExternal=\"5555\" />\r\n";
    for (int i = 0; i < kFixtureDevices; ++i)
        xml += std::string("\t<PPC DEVICE_ID=\"") + kFixtureIds[i] + "\" PSEUDONIM=\"" + kFixtureAgents[i] +
               "\" DIRECTORY=\"" + kFixtureFolders[i] + "\" />\r\n";
    xml += "</VeloraServer>\r\n";
    CreateFolderTree(folder);
    WriteFixtureFile(JoinPath(folder, "config.xml"), Utf16File(xml));
    for (int i = 0; i < kFixtureDevices; ++i) CreateFolder(Device(folder, i));
    CreateFolder(JoinPath(folder, kFixtureUnconfigured));

    for (int i : {kIdleToday, kBothWays, kLocked, kNamed}) Connected(folder, i, now);
    Connected(folder, kPartial, now - 3 * 86400);

    WriteFixtureFile(JoinPath(Device(folder, kBothWays), "From1C.zip"), std::string(kFixtureFrom1CSize, 'f'));
    WriteFixtureFile(JoinPath(Device(folder, kBothWays), "To1C.zip"), std::string(kFixtureTo1CSize, 't'));
    WriteFixtureFile(JoinPath(Device(folder, kPartial), "download.tmp"), std::string(kFixturePartialSize, 'p'));
    WriteFixtureFile(JoinPath(Device(folder, kPartial), "CRC"), std::to_string(kFixturePartialCrc));
    WriteFixtureFile(JoinPath(Device(folder, kLocked), "lock"), "");
    WriteFixtureFile(JoinPath(Device(folder, kNamed), "report.dat"), std::string(kFixtureNamedSize, 'r'));

    // The idle device's upload was taken by 1C: its record stays, its file is gone.
    std::string status = FixtureRecord(kIdleToday, "To1C.zip", 1) + FixtureRecord(kBothWays, "To1C.zip", kFixtureTo1CCrc);
    // The named device's record is being written: its CRC 99 has reached the disk as "9" so
    // far, and no line end yet.
    WriteFixtureFile(JoinPath(Device(folder, kNamed), "To1C.zip"), "x");
    std::string cut = FixtureRecord(kNamed, "To1C.zip", 99);
    WriteFixtureFile(JoinPath(folder, "Status.txt"), status + cut.substr(0, cut.size() - 3));
    WriteFixtureFile(JoinPath(folder, "Stack.txt"),
                     FixtureRecord(kNamed, "report.dat", kFixtureNamedCrc) + FixtureRecord(kNamed, "taken.dat", 5));
}

std::vector<std::vector<std::string>> FixtureTable(const std::string& folder, std::int64_t now, RowLanguage language) {
    bool ru = language == RowLanguage::Russian;
    FileItem from1C;
    GetFileItem(JoinPath(JoinPath(folder, "PPC3"), "From1C.zip"), &from1C);
    const std::string today = FormatLocalTime(now), before = FormatLocalTime(now - 3 * 86400),
                      made = FormatLocalTime(FileTimeToUnix(from1C.lastWriteTime)), e;
    const std::string never = ru ? "никогда" : "never", yes = ru ? "да" : "yes",
                      stray = ru ? "(нет в config.xml)" : "(not in config.xml)";
    std::vector<std::string> titles =
        ru ? std::vector<std::string>{"Агент", "Идентификатор КПК", "Папка", "Подключение", "Из 1С, байт",
                                      "Из 1С, время", "Для 1С", "Для 1С, байт", "Для 1С, CRC", "Именованные",
                                      "Недокачано, байт", "Недокачано, CRC", "Блокировка 1С"}
           : std::vector<std::string>{"Agent", "Device ID", "Folder", "Last connection", "From 1C, bytes",
                                      "From 1C, time", "For 1C", "For 1C, bytes", "For 1C, CRC", "Named uploads",
                                      "Partial, bytes", "Partial, CRC", "1C lock"};
    return {
        titles,
        {kFixtureAgents[0], kFixtureIds[0], "PPC1", never, e, e, e, e, e, e, e, e, e},
        {kFixtureAgents[3], kFixtureIds[3], "PPC4", before, e, e, e, e, e, e, "20480", "4000000000", e},
        {kFixtureAgents[1], kFixtureIds[1], "PPC2", today, e, e, e, e, e, e, e, e, e},
        {kFixtureAgents[5], kFixtureIds[5], "PPC6", today, e, e, e, e, e, "report.dat (120)", e, e, e},
        {kFixtureAgents[2], kFixtureIds[2], "PPC3", today, "1000", made, "To1C.zip", "500", "305419896", e, e, e, e},
        {kFixtureAgents[4], kFixtureIds[4], "PPC5", today, e, e, e, e, e, e, e, e, yes},
        {stray, e, "OLD7", e, e, e, e, e, e, e, e, e, e},
    };
}
