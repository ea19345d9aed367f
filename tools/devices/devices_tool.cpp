#include "devices_tool.h"

#include "devices_table.h"
#include "exchange_state.h"
#include "service_params.h"

namespace {
const char kUsage[] =
    "usage: velora-devices [--csv] [EXCHANGE-FOLDER]\n"
    "  Lists the devices of the exchange folder's config.xml: last connection, data from 1C\n"
    "  waiting for the handheld, uploads waiting for 1C, a partial upload and 1C's lock, and\n"
    "  the folders that no device uses. Devices that have not connected today come first.\n"
    "  EXCHANGE-FOLDER  default: the service's exchange folder (ExchFolder)\n"
    "  --csv            fields separated by ';' for a spreadsheet\n";
}  // namespace

ToolOutput RunDevicesTool(const std::vector<std::string>& args, std::int64_t now) {
    ToolOutput result;
    bool csv = false;
    std::string folder;
    for (const std::string& a : args) {
        if (a == "--csv") {
            csv = true;
        } else if (a == "--help" || a == "-h" || a == "/?" || (!a.empty() && a[0] == '-') || !folder.empty()) {
            result.err = kUsage;
            result.exitCode = a == "--help" || a == "-h" || a == "/?" ? 0 : 2;
            return result;
        } else {
            folder = a;
        }
    }
    if (folder.empty()) {
        char stored[1024] = "";
        GetExchFolder(stored, sizeof stored);
        folder = stored;
    }
    if (folder.empty()) {
        result.err = "velora-devices: no exchange folder given and none is set for the service\n" + std::string(kUsage);
        result.exitCode = 2;
        return result;
    }

    ExchangeState state = ReadExchangeState(folder);
    if (state.config == ExchangeState::Config::Missing) {
        result.err = "velora-devices: no config.xml in " + folder + "\n";
        result.exitCode = 1;
        return result;
    }
    if (state.config == ExchangeState::Config::Unparsed) {
        result.err = "velora-devices: config.xml in " + folder + " cannot be read: " + state.configReason + "\n";
        result.exitCode = 1;
        return result;
    }
    std::vector<DeviceRow> rows = BuildDeviceRows(state, now, RowLanguage::English);
    SortDeviceRows(&rows, -1, false);
    if (csv) {
        result.out = FormatCsv(rows);
    } else {
        result.out = "Exchange folder: " + state.folder + "\n\n" + FormatTextTable(rows);
        if (state.incompleteRecords)
            result.out += "\n" + std::to_string(state.incompleteRecords) +
                          " line(s) of Status.txt/Stack.txt were being written and are left out.\n";
    }
    return result;
}
