// What the service does between start and stop: configuration, listener, sessions, and the
// stop, pause and continue sequences that the SCM or the console start.
#pragma once
#include <atomic>
#include <cstdint>
#include <string>

#include "config/config.h"

class CConnection;

// The loaded configuration. Sessions read the device table through config.Devices(); the
// other fields are rewritten by every load and are read through ConfigSnapshot().
extern ConfigData config;
// Sessions between their start and their end (counted from the moment of accept).
extern std::atomic<int> activeSessions;

struct ConfigView {
    std::string exchangeFolder;   // no trailing separator
    std::string configPath;       // empty until the first successful load
    int userCount = 0;
    int port = 0;
    bool syncTime = false;
    std::uint32_t signature[4] = {};  // config.xml's identity at the last load; zeros = none
};
ConfigView ConfigSnapshot();

// Runs until the service has stopped or could not start; lastError and the Error value tell
// why it could not.
void ServiceStart(int argc, char** argv);
void ServiceStop();
void ServicePause();
void ServiceContinue();
// What the service control handler does with an SCM control code: stop, shutdown and pause
// run their sequences on threads of their own (they wait for the sessions) and this returns
// at once; continue runs here; anything else is ignored.
void HandleServiceControl(std::uint32_t control);

bool LoadConfiguration();
void ClearConfiguration();
// ServiceMain's first step: the configuration record back to zero.
void ResetConfigurationRecord();

// The change watch of config.xml.
bool GetConfigSignature(const std::string& path, std::uint32_t signature[4]);
void SetAutodetect();
bool AutodetectActive();
void CheckConfigChanged(void* unused = nullptr);

// The listener's session function: runs one handheld conversation and frees the connection.
int SessionThread(CConnection* connection);
