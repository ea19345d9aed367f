// ReadConfigXml on a table of config.xml fixtures, ParseConfigId, and the device table's
// replacement as a whole.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config.h"
#include "config_template.h"
#include "myxml.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "service_params.h"
#include "test_support.h"


namespace {
std::string ErrorText() {
    char buffer[1024];
    GetErrorText(buffer, sizeof buffer);
    return buffer;
}

// A config.xml in UTF-8 made of a ServerConfig line and PPC lines (u8 literals).
std::string Doc(const std::string& body) {
    return u8"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VeloraServer VERSION=\"1.0\">\n" + body +
           u8"</VeloraServer>\n";
}

std::string Ppc(const std::string& id, const std::string& agent, const std::string& dir) {
    return u8"  <PPC DEVICE_ID=\"" + id + u8"\" PSEUDONIM=\"" + agent + u8"\" DIRECTORY=\"" + dir + u8"\" />\n";
}

class ConfigRead : public ::testing::Test {
protected:
    void SetUp() override {
        ClearServiceParams();
        SetErrorText("");
    }
    void TearDown() override { ClearServiceParams(); }

    std::string ConfigPath() const { return tmp.File("config.xml"); }
    std::string ErrPath() const { return tmp.File("config.err"); }
    bool Read(const std::string& xml) {
        EXPECT_TRUE(WriteBytes(ConfigPath(), xml));
        return ReadConfigXml(ConfigPath().c_str(), tmp.Path().c_str(), cfg);
    }

    TempFolder tmp;
    ConfigData cfg;
};

TEST_F(ConfigRead, CleanFileFillsTheRecordAndDeletesAnOldErrorFile) {
    ASSERT_TRUE(WriteBytes(ErrPath(), "old faults\r\n"));
    ASSERT_TRUE(CreateFolder(tmp.File("PPC1")));  // an existing folder is fine
    std::string xml = Doc(u8"  <ServerConfig PortExternal=\"6001\" SyncTime=\"1\" "
                          u8"ConfigID=\"01234567-89ab-CDEF-0123-456789abcdef\" Other=\"x\" />\n"
                          u8"  <ServerConfig PortExternal=\"7777\" />\n" +
                          Ppc(u8"dev-1", u8"Иванов", u8"PPC1") + Ppc(u8"dev-2", u8"Петров", u8"КПК2"));
    ASSERT_TRUE(Read(xml));
    EXPECT_EQ(2, cfg.userCount);
    EXPECT_EQ(6001, cfg.port);  // the first ServerConfig counts
    EXPECT_EQ(1, cfg.syncTime);
    const std::uint8_t id[16] = {0x67, 0x45, 0x23, 0x01, 0xAB, 0x89, 0xEF, 0xCD,
                                 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
    EXPECT_EQ(0, std::memcmp(id, cfg.configId, 16));
    auto table = cfg.Devices();
    ASSERT_TRUE(table);
    ASSERT_EQ(2, table->Count());
    EXPECT_EQ("dev-1", table->deviceIds[0]);
    EXPECT_EQ("Иванов", table->agentNames[0]);  // ANSI (Windows-1251)
    EXPECT_EQ("PPC1", table->directories[0]);
    EXPECT_EQ("КПК2", table->directories[1]);
    EXPECT_TRUE(FolderExists(tmp.File("PPC1")));
    EXPECT_TRUE(FolderExists(tmp.File("КПК2")));
    EXPECT_FALSE(FileExists(ErrPath()));
    EXPECT_EQ("", ErrorText());
}

struct FaultCase {
    const char* name;
    std::string body;
    std::string errFile;  // expected config.err, ANSI with CR LF
};

TEST_F(ConfigRead, ValidationFaultsAreListedAndDropTheTable) {
    const FaultCase cases[] = {
        {"folders differ only in case", Ppc("d1", "A1", "ppc1") + Ppc("d2", "A2", "PPC1"),
         "Одинаковый каталог 'ppc1' для КПК d1 и d2\r\n"},
        {"Cyrillic agent names differ only in case",
         Ppc("d1", u8"Ёлкин", "P1") + Ppc("d2", u8"ёЛКИН", "P2"),
         "Одинаковое имя агента 'Ёлкин' для КПК d1 и d2\r\n"},
        {"device identifiers differ only in case", Ppc("abc-1", "A1", "P1") + Ppc("ABC-1", "A2", "P2"),
         "Повторяющийся идентификтатор КПК abc-1\r\n"},
        {"all three repeated, then a third entry",
         Ppc("x", "Agent", "Dir") + Ppc("X", "AGENT", "DIR") + Ppc("x", "other", "d3"),
         "Повторяющийся идентификтатор КПК x\r\n"
         "Одинаковое имя агента 'Agent' для КПК x и X\r\n"
         "Одинаковый каталог 'Dir' для КПК x и X\r\n"
         "Повторяющийся идентификтатор КПК x\r\n"
         "Повторяющийся идентификтатор КПК X\r\n"},
        {"folder with a forward slash", Ppc("d1", "A1", "a/b"),
         "Имя каталога 'a/b' не должно включать путь, КПК d1\r\n"},
        {"folder with a backslash", Ppc("d1", "A1", u8"a\\b") + Ppc("d2", "A2", "ok"),
         "Имя каталога 'a\\b' не должно включать путь, КПК d1\r\n"},
        {"no users", u8"  <ServerConfig PortExternal=\"6001\" />\n", "Пользователи отсутствуют.\r\n"},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetErrorText("");
        cfg.userCount = 0;
        ASSERT_TRUE(WriteBytes(ConfigPath(), Doc(c.body)));
        EXPECT_TRUE(ReadConfigXml(ConfigPath().c_str(), tmp.Path().c_str(), cfg));
        EXPECT_EQ(0, cfg.userCount);
        EXPECT_FALSE(cfg.Devices());
        EXPECT_EQ(c.errFile, ReadBytes(ErrPath()));
        EXPECT_EQ("", ErrorText());  // faults go to config.err, not to the error text
    }
}

TEST_F(ConfigRead, FolderWithAPathIsStillCreatedInsideAnExistingParent) {
    ASSERT_TRUE(CreateFolder(tmp.File("a")));
    EXPECT_TRUE(Read(Doc(Ppc("d1", "A1", "a/b") + Ppc("d2", "A2", "c/d"))));
    EXPECT_TRUE(FolderExists(JoinPath(tmp.File("a"), "b")));
    EXPECT_FALSE(FolderExists(tmp.File("c")));  // one level only
    EXPECT_EQ(0, cfg.userCount);
}

TEST_F(ConfigRead, FoldersOutsideTheExchangeFolderAreNeverMade) {
    TempFolder other;
    std::string escape = u8"../" + other.Path().substr(other.Path().find_last_of("\\/") + 1) + u8"/made";
    EXPECT_TRUE(Read(Doc(Ppc("d1", "A1", escape))));
    EXPECT_FALSE(FolderExists(JoinPath(other.Path(), "made")));
    EXPECT_NE(std::string::npos, ReadBytes(ErrPath()).find("не должно включать путь"));
}

TEST_F(ConfigRead, ElementsMissingAnAttributeAreSkipped) {
    std::string body = u8"  <PPC DEVICE_ID=\"d0\" DIRECTORY=\"P0\" />\n" + Ppc("d1", "A1", "P1") +
                       u8"  <PPC PSEUDONIM=\"A2\" DIRECTORY=\"P2\" />\n" +
                       u8"  <PPC DEVICE_ID=\"d3\" PSEUDONIM=\"A3\" />\n" + Ppc("d4", "A0", "P4") +
                       u8"  <Group>" + Ppc("nested", "N", "PN") + u8"</Group>\n";  // only direct children
    ASSERT_TRUE(Read(Doc(body)));
    EXPECT_EQ(2, cfg.userCount);
    auto table = cfg.Devices();
    ASSERT_TRUE(table);
    EXPECT_EQ((std::vector<std::string>{"d1", "d4"}), table->deviceIds);
    EXPECT_FALSE(FolderExists(tmp.File("P0")));  // a skipped element leaves no trace
    EXPECT_FALSE(FolderExists(tmp.File("PN")));
    EXPECT_FALSE(FileExists(ErrPath()));
}

TEST_F(ConfigRead, AllElementsIncompleteIsNoFaultAndNoUsers) {
    ASSERT_TRUE(WriteBytes(ErrPath(), "old"));
    ASSERT_TRUE(Read(Doc(u8"  <PPC DEVICE_ID=\"d0\" />\n  <PPC PSEUDONIM=\"x\" DIRECTORY=\"y\" />\n")));
    EXPECT_EQ(0, cfg.userCount);
    EXPECT_FALSE(FileExists(ErrPath()));
}

TEST_F(ConfigRead, ServerConfigNumbersAreReadLeniently) {
    struct Case {
        const char* attributes;
        std::int32_t port;
        std::int32_t syncBefore, syncAfter;
    } cases[] = {
        {u8"PortExternal=\"abc\"", 0, 1, 1},  // absent SyncTime keeps the flag
        {u8"", 0, 0, 0},
        {u8"PortExternal=\"7000x\" SyncTime=\"0\"", 7000, 1, 0},
        {u8"PortExternal=\"70000\" SyncTime=\"2\"", 70000, 0, 1},
        {u8"PortExternal=\"  -5\" SyncTime=\"x\"", -5, 1, 0},
        {u8"PortExternal=\"+6000\" SyncTime=\" 3abc\"", 6000, 0, 1},
        {u8"PortExternal=\"99999999999999\"", 2147483647, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        cfg.syncTime = c.syncBefore;
        cfg.port = 1234;
        ASSERT_TRUE(Read(Doc(std::string(u8"  <ServerConfig ") + c.attributes + u8" />\n" + Ppc("d", "a", "p"))));
        EXPECT_EQ(c.port, cfg.port);
        EXPECT_EQ(c.syncAfter, cfg.syncTime);
        EXPECT_EQ(1, cfg.userCount);
    }
}

TEST_F(ConfigRead, NoServerConfigLeavesTheFlagsAsTheyWere) {
    cfg.syncTime = 1;
    cfg.port = 6001;
    cfg.configId[0] = 0x42;
    ASSERT_TRUE(Read(Doc(Ppc("d", "a", "p"))));
    EXPECT_EQ(0, cfg.port);  // cleared before the device list, not set again
    EXPECT_EQ(1, cfg.syncTime);
    EXPECT_EQ(0x42, cfg.configId[0]);
}

TEST(ParseConfigIdTest, FormsOfTheIdentifier) {
    struct Case {
        const char* text;
        std::uint8_t bytes[16];
    } cases[] = {
        {"11111111-1111-1111-1111-111111111111",
         {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11}},
        {"00112233-4455-6677-8899-aAbBcCdDeEfF",
         {0x33, 0x22, 0x11, 0x00, 0x55, 0x44, 0x77, 0x66, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}},
        {"{00112233-4455-6677-8899-aabbccddeeff}", {}},  // braces: 38 characters
        {"00112233-4455-6677-8899-aabbccddeef", {}},     // 35
        {"", {}},
        // Dashes are not checked, and a field stops at its first non-hex character.
        {"0000001Fx4455y66zz+8899:0g0000000001",
         {0x1F, 0, 0, 0, 0x55, 0x44, 0x66, 0, 0x88, 0x99, 0, 0, 0, 0, 0, 0x01}},
    };
    for (const Case& c : cases) {
        std::uint8_t out[16];
        std::memset(out, 0xEE, sizeof out);
        ParseConfigId(c.text, out);
        EXPECT_EQ(0, std::memcmp(c.bytes, out, 16)) << c.text;
    }
    std::uint8_t out[16] = {1};
    ParseConfigId(nullptr, out);
    EXPECT_EQ(0, out[0]);
}

TEST_F(ConfigRead, TemplateAndOtherEncodingsRead) {
    ASSERT_TRUE(WriteConfigTemplate(ConfigPath().c_str()));  // UTF-16 with a byte-order mark
    ASSERT_TRUE(ReadConfigXml(ConfigPath().c_str(), tmp.Path().c_str(), cfg));
    EXPECT_EQ(1, cfg.userCount);
    EXPECT_EQ(5555, cfg.port);
    std::uint8_t ones[16];
    std::memset(ones, 0x11, sizeof ones);
    EXPECT_EQ(0, std::memcmp(ones, cfg.configId, 16));
    EXPECT_TRUE(FolderExists(tmp.File("PPC1")));

    // Windows-1251, as 1C writes its files.
    std::string ansi = std::string("<?xml version=\"1.0\" encoding=\"windows-1251\"?>\r\n<R>") +
                       "<PPC DEVICE_ID=\"d\" PSEUDONIM=\"Сидоров\" DIRECTORY=\"Папка\"/></R>";
    ASSERT_TRUE(Read(ansi));
    auto table = cfg.Devices();
    ASSERT_TRUE(table);
    EXPECT_EQ("Сидоров", table->agentNames[0]);
    EXPECT_EQ("Папка", table->directories[0]);
}

TEST_F(ConfigRead, ParseErrorsEndTheReadWithTheParsersReason) {
    const std::string broken[] = {
        u8"<VeloraServer><PPC DEVICE_ID=\"d\" PSEUDONIM=\"a\" DIRECTORY=\"p\"></VeloraServer>",
        u8"",
        u8"just text",
    };
    for (const std::string& xml : broken) {
        SCOPED_TRACE(xml);
        SetErrorText("");
        EXPECT_FALSE(Read(xml));
        std::string error = ErrorText();
        const std::string prefix = "Failed to load DOM from xml-file ";
        ASSERT_EQ(prefix, error.substr(0, prefix.size()));
        EXPECT_GT(error.size(), prefix.size() + 3);  // the reason follows
    }
    // A missing file too, and the first error of the run stands.
    SetErrorText("");
    SetErrorText("Неизвестен путь к config.xml");
    EXPECT_FALSE(ReadConfigXml(tmp.File("absent.xml").c_str(), tmp.Path().c_str(), cfg));
    EXPECT_EQ("Неизвестен путь к config.xml", ErrorText());
    SetErrorText("");
    EXPECT_FALSE(ReadConfigXml(tmp.File("absent.xml").c_str(), tmp.Path().c_str(), cfg));
    EXPECT_EQ(0u, ErrorText().find("Failed to load DOM from xml-file "));
}

TEST_F(ConfigRead, ErrorFileThatCannotBeCreatedEndsTheRead) {
    std::string missing = tmp.File("no-such-folder");
    ASSERT_TRUE(WriteBytes(ConfigPath(), Doc(Ppc("d", "a", "p"))));
    EXPECT_FALSE(ReadConfigXml(ConfigPath().c_str(), missing.c_str(), cfg));
    EXPECT_EQ(JoinPath(missing, "config.err"), ErrorText());
    EXPECT_EQ(0, cfg.userCount);
}

TEST_F(ConfigRead, VeryLongTextsAreCutSafely) {
    // An exchange folder path far longer than any buffer: the error text is cut at 1023.
    std::string longFolder = tmp.Path();
    while (longFolder.size() < 3000) longFolder = JoinPath(longFolder, std::string(200, 'f'));
    ASSERT_TRUE(WriteBytes(ConfigPath(), Doc(Ppc("d", "a", "p"))));
    EXPECT_FALSE(ReadConfigXml(ConfigPath().c_str(), longFolder.c_str(), cfg));
    EXPECT_EQ(JoinPath(longFolder, "config.err").substr(0, 1023), ErrorText());

    // Attribute values over 511 bytes are cut in the table and in config.err.
    std::string longId(2000, 'i'), longAgent(700, 'a');
    longAgent.replace(0, 3, u8"Яя");
    SetErrorText("");
    ASSERT_TRUE(Read(Doc(Ppc(longId, longAgent, std::string(600, 'd')))));
    auto table = cfg.Devices();
    ASSERT_TRUE(table);
    EXPECT_EQ(std::string(511, 'i'), table->deviceIds[0]);
    EXPECT_EQ(511u, table->agentNames[0].size());
    EXPECT_EQ(0u, table->agentNames[0].find("Яя"));
    EXPECT_EQ(511u, table->directories[0].size());
    ASSERT_TRUE(Read(Doc(Ppc(longId, "a1", "x/y") + Ppc(longId, "a2", "z"))));
    std::string err = ReadBytes(ErrPath());
    EXPECT_EQ("Повторяющийся идентификтатор КПК " + std::string(511, 'i') + "\r\n", err.substr(err.find("Повтор")));

    // A parser message about a very long element name is cut too.
    SetErrorText("");
    EXPECT_FALSE(Read(u8"<" + std::string(5000, 'n') + u8" a=\"1\"></wrong>"));
    std::string error = ErrorText();
    EXPECT_LE(error.size(), 1023u);
    EXPECT_EQ(0u, error.find("Failed to load DOM from xml-file "));
}

TEST_F(ConfigRead, FailedReloadNeverReleasesATableASessionHolds) {
    ASSERT_TRUE(Read(Doc(Ppc("d1", "A1", "P1") + Ppc("d2", "A2", "P2"))));
    auto held = cfg.Devices();  // what a running session works with
    ASSERT_TRUE(held);
    ASSERT_TRUE(Read(Doc(Ppc("d1", "A1", "P1") + Ppc("d1", "A2", "P2"))));  // a faulty reload
    EXPECT_EQ(0, cfg.userCount);
    EXPECT_FALSE(cfg.Devices());
    ASSERT_EQ(2, held->Count());  // the session's snapshot is whole and alive
    EXPECT_EQ("d2", held->deviceIds[1]);
    EXPECT_EQ("A2", held->agentNames[1]);

    ASSERT_TRUE(Read(Doc(Ppc("n1", "N1", "Q1"))));
    auto second = cfg.Devices();
    EXPECT_FALSE(Read(u8"<broken"));  // a parse error: the table is left for the caller to clear
    EXPECT_EQ(second, cfg.Devices());
    ClearDeviceTable(cfg);
    EXPECT_FALSE(cfg.Devices());
    EXPECT_EQ(0, cfg.userCount);
    EXPECT_EQ("n1", second->deviceIds[0]);
}

TEST_F(ConfigRead, AttributesOfTheZipFilesAreCleared) {
    ASSERT_TRUE(CreateFolder(tmp.File("P1")));
    std::string zip = JoinPath(tmp.File("P1"), "From1C.zip");
    ASSERT_TRUE(WriteBytes(zip, "z"));
    ASSERT_TRUE(MakeReadOnlyHidden(zip));
    ASSERT_TRUE(Read(Doc(Ppc("d1", "A1", "P1"))));
    FileItem item;
    ASSERT_TRUE(GetFileItem(zip, &item));
    EXPECT_FALSE(item.attributes & (kAttrReadOnly | kAttrHidden));
}
}  // namespace

namespace {
TEST(HrCallMessage, FormatAndCut) {
    EXPECT_EQ("MyXML:57  HRCALL Failed: get_item: \n  0x80004005 = pNodes->get_item(i, &pNode)\n",
              FormatHrCall(57, "get_item: ", kXmlFail, "pNodes->get_item(i, &pNode)"));
    EXPECT_EQ("MyXML:3  HRCALL Failed: x\n  0x00000001 = y\n", FormatHrCall(3, "x", kXmlFalse, "y"));
    std::string call(3000, 'c');
    std::string message = FormatHrCall(1, "long", kXmlFail, call.c_str());
    EXPECT_EQ(1023u, message.size());
    EXPECT_EQ(0u, message.find("MyXML:1  HRCALL Failed: long\n  0x80004005 = ccc"));
}
}  // namespace
