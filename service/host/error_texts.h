// Every text the service can leave in the registry value "Error", which the control panel
// shows in its status line when the service has stopped. The administrator's guide explains
// each one with its remedy, and a test checks the guide against this list: a text the service
// writes must be one of these (printf formats where a part is filled in).
#pragma once

#include <string>

namespace ErrorTexts {
// Configuration load.
constexpr char kNoExchangeFolder[] = "Неизвестен путь к %s";  // config.xml
constexpr char kConfigNotFound[] = "Файл не найден %s";       // path of config.xml
constexpr char kConfigUnreadable[] =
    "Не удалось корректно прочитать XML-файл описания конфигурации сервера. Путь к файлу: %s";
constexpr char kConfigFaults[] = "config_error";  // the faults are listed in config.err
// Reading config.xml. The last two are followed by the parser's reason.
constexpr char kNoRootElement[] = "Неправильная структура XML-документа!";
constexpr char kConfigErrNotCreated[] = "%s";  // the path of config.err, which cannot be created
constexpr char kXmlNotLoaded[] = "Failed to load DOM from xml-file";
constexpr char kXmlNoNodes[] = "Error while calling selectNodes ";
// Written by FormatHrCall (common/hrcall.cpp) when a call of the XML parser fails.
constexpr char kXmlCallFailed[] = "MyXML:%d  HRCALL Failed: %s\n  0x%.8x = %s\n";
// Start of the service and of its listener.
constexpr char kSocketsStartup[] = "WSAStartup failed with error %d";
constexpr char kServiceStart[] = "Ошибка запуска службы.";
constexpr char kServerStart[] = "Ошибка запуска сервера. %s (%d)";  // reason below, socket error
constexpr char kListenFailed[] = "%d";                             // socket error of listen()
// The reasons of kServerStart.
constexpr char kPermissionDenied[] = "Permission denied.";
constexpr char kAlreadyInProgress[] = "Operation already in progress.";
constexpr char kFamilyNotSupported[] = "Address family not supported by protocol family.";
constexpr char kAddressInUse[] = "Address already in use.";
constexpr char kAddressNotAvailable[] = "Cannot assign requested address.";
constexpr char kOtherSocketError[] = "Error code";

// `format` with its one "%s" filled with `path`, whatever the path's length.
inline std::string WithPath(const char* format, const std::string& path) {
    std::string text = format;
    std::string::size_type at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, path);
    return text;
}
}  // namespace ErrorTexts
