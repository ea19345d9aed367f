// Reading and validating config.xml into the service's configuration record.
#include "config.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <climits>

#include "host/error_texts.h"
#include "myxml.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "service_params.h"

namespace {
constexpr std::size_t kFieldBytes = 511;  // a device table text, without its terminator

// The C library's lenient decimal reading (blanks, sign, digits up to the first other
// character), kept inside the 32-bit range instead of overflowing.
std::int32_t LenientDecimal(const std::u16string& text) {
    std::string ansi = Utf16ToAnsi(text);
    long long v = std::strtoll(ansi.c_str(), nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

std::string TableText(const std::u16string& value) {
    std::string ansi = Utf16ToAnsi(value);
    if (ansi.size() > kFieldBytes) ansi.resize(kFieldBytes);
    return ansi;
}

// One line of config.err: the message's "\n" becomes CR LF on every build.
void ErrLine(std::FILE* file, const char* format, ...) __attribute__((format(printf, 2, 3)));
void ErrLine(std::FILE* file, const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string line;
    if (n > 0) {
        line.resize(static_cast<std::size_t>(n) + 1);
        std::vsnprintf(&line[0], line.size(), format, args);
        line.resize(static_cast<std::size_t>(n));
    }
    va_end(args);
    if (!line.empty() && line.back() == '\n') line.pop_back();
    line += "\r\n";
    std::fwrite(line.data(), 1, line.size(), file);
}

bool HasPath(const std::string& name) { return name.find_first_of("\\/") != std::string::npos; }

// Device folders are made only for names that stay inside the exchange folder: an empty
// name, an absolute path or a ".." step would reach the exchange folder itself or beyond it.
bool StaysInside(const std::string& name) {
    if (name.empty() || IsPathSep(name[0])) return false;
    if (name.size() >= 2 && name[1] == ':') return false;
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = start;
        while (end < name.size() && !IsPathSep(name[end])) ++end;
        if (name.compare(start, end - start, "..") == 0 && end - start == 2) return false;
        start = end + 1;
    }
    return true;
}

void PrepareDeviceFolder(const std::string& exchangeFolder, const std::string& directory) {
    if (!StaysInside(directory)) return;
    std::string folder = JoinPath(exchangeFolder, directory);
    CreateFolder(folder);  // an existing folder is fine; a failure shows later, at the session
    // 1C and the handheld must be able to replace these files whatever their attributes.
    ClearFileAttributes(JoinPath(folder, "From1C.zip"));
    ClearFileAttributes(JoinPath(folder, "To1C.zip"));
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hexadecimal digits of text[start, start + count), up to the first other character.
std::uint32_t HexField(const char* text, int start, int count) {
    std::uint32_t v = 0;
    for (int i = start; i < start + count; ++i) {
        int d = HexValue(text[i]);
        if (d < 0) break;
        v = (v << 4) | static_cast<std::uint32_t>(d);
    }
    return v;
}
}  // namespace

void ParseConfigId(const char* text, std::uint8_t out[16]) {
    std::memset(out, 0, 16);
    if (!text || std::strlen(text) != 36) return;
    std::uint32_t data1 = HexField(text, 0, 8);
    std::uint16_t data2 = static_cast<std::uint16_t>(HexField(text, 9, 4));
    std::uint16_t data3 = static_cast<std::uint16_t>(HexField(text, 14, 4));
    std::memcpy(out, &data1, 4);  // GUID layout: the numeric parts in the machine's order
    std::memcpy(out + 4, &data2, 2);
    std::memcpy(out + 6, &data3, 2);
    static const int kTail[4] = {19, 24, 28, 32};
    for (int k = 0; k < 4; ++k) {
        std::uint32_t pair = HexField(text, kTail[k], 4);
        out[8 + 2 * k] = static_cast<std::uint8_t>(pair >> 8);
        out[9 + 2 * k] = static_cast<std::uint8_t>(pair & 0xFF);
    }
}

void ClearDeviceTable(ConfigData& cfg) {
    cfg.PublishDevices(nullptr);
    cfg.userCount = 0;
}

bool ReadConfigXml(const char* configPath, const char* exchangeFolder, ConfigData& cfg) {
    MyXML xml;
    XmlResult hr = kXmlOk;
    std::unique_ptr<XmlDocument> doc = xml.CreateDocument(hr);
    if (!doc) return false;

    const std::string folder = exchangeFolder ? exchangeFolder : "";
    const std::u16string path = AnsiToUtf16(configPath ? configPath : "");

    bool loaded = false;
    hr = doc->Load(path, &loaded);
    if (XmlFailed(hr)) {
        ReportHrCall(__LINE__, "dom->load(): ", hr, "pXMLDom->load(var, &status)");
        return false;
    }
    if (!loaded) {
        xml.ReportParseError(doc.get(), ErrorTexts::kXmlNotLoaded);
        return false;
    }

    std::unique_ptr<XmlElement> root;
    hr = doc->GetDocumentElement(&root);
    if (XmlFailed(hr)) {
        ReportHrCall(__LINE__, " get_documentElement ", hr, "pXMLDom->get_documentElement(&pElem)");
        return false;
    }
    if (!root) {
        SetErrorText(ErrorTexts::kNoRootElement);
        return false;
    }

    std::unique_ptr<XmlNodeList> ppcs;
    hr = root->SelectNodes(u"PPC", &ppcs);
    if (XmlFailed(hr)) {
        ReportHrCall(__LINE__, "selectNodes ", hr, "pElem->selectNodes(bstr, &pNodes)");
        return false;
    }
    if (!ppcs) {
        xml.ReportParseError(doc.get(), ErrorTexts::kXmlNoNodes);
        return false;
    }

    cfg.userCount = 0;
    cfg.port = 0;
    long length = 0;
    hr = ppcs->GetLength(&length);
    if (XmlFailed(hr)) {
        ReportHrCall(__LINE__, "get_length: ", hr, "pNodes->get_length(&length)");
        return false;
    }

    // From here the old table is replaced: by the new one when the read is clean, else by
    // none. It stays visible to sessions until then and is never changed in place.
    const std::string errPath = JoinPath(folder, "config.err");
    std::FILE* err = FileOpen(errPath, "wb");
    if (!err) {
        SetErrorText(ErrorTexts::WithPath(ErrorTexts::kConfigErrNotCreated, errPath).c_str());
        ClearDeviceTable(cfg);
        return false;
    }

    bool ok = true;
    bool fault = false;
    auto table = std::make_shared<DeviceTable>();
    if (length <= 0) {
        ErrLine(err, "Пользователи отсутствуют.\n");
        fault = true;
    }
    for (long i = 0; i < length; ++i) {
        std::unique_ptr<XmlElement> ppc;
        hr = ppcs->GetItem(i, &ppc);
        if (XmlFailed(hr) || !ppc) {
            ReportHrCall(__LINE__, "get_item: ", XmlFailed(hr) ? hr : kXmlFail, "pNodes->get_item(i, &pNode)");
            ok = false;
            break;
        }
        std::u16string deviceId, agentName, directory;
        if (XmlFailed(xml.GetAttribute(ppc.get(), u"DEVICE_ID", deviceId)) ||
            XmlFailed(xml.GetAttribute(ppc.get(), u"PSEUDONIM", agentName)) ||
            XmlFailed(xml.GetAttribute(ppc.get(), u"DIRECTORY", directory)))
            continue;  // an incomplete element is not a handheld

        const std::string id = TableText(deviceId);
        const std::string agent = TableText(agentName);
        const std::string dir = TableText(directory);
        PrepareDeviceFolder(folder, dir);

        for (int j = 0; j < table->Count(); ++j) {
            const std::string& otherId = table->deviceIds[j];
            if (AnsiCompareNoCase(otherId.c_str(), id.c_str()) == 0) {
                ErrLine(err, "Повторяющийся идентификтатор КПК %s\n", otherId.c_str());
                fault = true;
            }
            if (AnsiCompareNoCase(table->agentNames[j].c_str(), agent.c_str()) == 0) {
                ErrLine(err, "Одинаковое имя агента '%s' для КПК %s и %s\n", table->agentNames[j].c_str(),
                        otherId.c_str(), id.c_str());
                fault = true;
            }
            if (AnsiCompareNoCase(table->directories[j].c_str(), dir.c_str()) == 0) {
                ErrLine(err, "Одинаковый каталог '%s' для КПК %s и %s\n", table->directories[j].c_str(),
                        otherId.c_str(), id.c_str());
                fault = true;
            }
        }
        if (HasPath(dir)) {
            ErrLine(err, "Имя каталога '%s' не должно включать путь, КПК %s\n", dir.c_str(), id.c_str());
            fault = true;
        }
        table->deviceIds.push_back(id);
        table->agentNames.push_back(agent);
        table->directories.push_back(dir);
    }
    std::fclose(err);

    if (ok) {
        std::unique_ptr<XmlNodeList> configs;
        hr = root->SelectNodes(u"ServerConfig", &configs);
        if (XmlFailed(hr) || !configs) {
            ReportHrCall(__LINE__, "selectNodes ", XmlFailed(hr) ? hr : kXmlFail, "pElem->selectNodes(bstr, &pNodes)");
            ok = false;
        } else {
            std::unique_ptr<XmlElement> server;
            hr = configs->GetItem(0, &server);
            if (XmlFailed(hr)) {
                ReportHrCall(__LINE__, "get_item: ", hr, "pNodes->get_item(0, &pNode)");
                ok = false;
            } else if (server) {
                std::u16string value;
                if (!XmlFailed(xml.GetAttribute(server.get(), u"PortExternal", value)))
                    cfg.port = LenientDecimal(value);
                if (!XmlFailed(xml.GetAttribute(server.get(), u"SyncTime", value)))
                    cfg.syncTime = LenientDecimal(value) != 0;
                std::memset(cfg.configId, 0, sizeof cfg.configId);
                if (!XmlFailed(xml.GetAttribute(server.get(), u"ConfigID", value)))
                    ParseConfigId(Utf16ToAnsi(value).c_str(), cfg.configId);
            }
        }
    }

    if (ok && !fault) {
        cfg.userCount = table->Count();
        cfg.PublishDevices(std::move(table));
    } else {
        ClearDeviceTable(cfg);
    }
    // A clean read leaves no config.err behind; a faulty one leaves the list for the operator.
    if (!fault) RemoveFile(errPath);
    return ok;
}
