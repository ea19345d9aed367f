// The service's loaded configuration and its device table, read from config.xml.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// One row per handheld; the three vectors are parallel. Texts are ANSI (at most 511 bytes).
struct DeviceTable {
    std::vector<std::string> deviceIds;
    std::vector<std::string> agentNames;
    std::vector<std::string> directories;
    int Count() const { return static_cast<int>(deviceIds.size()); }
};

struct ConfigData {
    std::int32_t userCount = 0;   // rows of the device table; 0 when no valid table is loaded
    std::int32_t port = 0;        // PortExternal, 0 until set
    std::int32_t syncTime = 0;    // SyncTime flag
    std::uint8_t configId[16] = {};
    std::uint32_t signature[4] = {};  // identity of config.xml, see the change watch
    // Replaced whole by every read: sessions take a snapshot with Devices() and keep using it,
    // so a reload never shows them a half-built or released table.
    std::shared_ptr<const DeviceTable> devices;

    std::shared_ptr<const DeviceTable> Devices() const { return std::atomic_load(&devices); }
    void PublishDevices(std::shared_ptr<const DeviceTable> table) { std::atomic_store(&devices, std::move(table)); }
};

// Reads and validates configPath; writes config.err in exchangeFolder (no trailing separator)
// and creates the device folders. True when the document could be read, also when validation
// faults were found (userCount is then 0).
bool ReadConfigXml(const char* configPath, const char* exchangeFolder, ConfigData& cfg);
// Drops the device table; userCount becomes 0.
void ClearDeviceTable(ConfigData& cfg);
// 36-character identifier text to 16 bytes laid out as a GUID; any other length gives zeros.
void ParseConfigId(const char* text, std::uint8_t out[16]);
