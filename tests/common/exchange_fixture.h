// An exchange folder with a device in every state an administrator asks about, shared by the
// tests of the reader, of velora-devices and of the control panel's device window.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "device_rows.h"

// config.xml order; agent names are Cyrillic (ANSI).
enum FixtureDevice {
    kNeverConnected,  // PPC1: folder, no LastConnectionTime
    kIdleToday,       // PPC2: connected today, nothing waiting
    kBothWays,        // PPC3: From1C.zip and a delivered To1C.zip waiting
    kPartial,         // PPC4: download.tmp and CRC, connected three days ago
    kLocked,          // PPC5: 1C's lock
    kNamed,           // PPC6: a named upload waiting in Stack.txt (another one already taken)
    kFixtureDevices
};
extern const char* const kFixtureIds[kFixtureDevices];
extern const char* const kFixtureAgents[kFixtureDevices];
extern const char* const kFixtureFolders[kFixtureDevices];

constexpr std::uint64_t kFixtureFrom1CSize = 1000, kFixtureTo1CSize = 500, kFixturePartialSize = 20480,
                        kFixtureNamedSize = 120;
constexpr std::uint32_t kFixtureTo1CCrc = 305419896, kFixturePartialCrc = 4000000000u, kFixtureNamedCrc = 77;
extern const char* const kFixtureUnconfigured;  // a folder of no device: "OLD7"

// Builds the folder; `now` is the time (seconds since 1970) written as "today's" connections.
// Status.txt ends in a record cut inside its CRC, as a reader finds it while the service
// rewrites the file.
void BuildExchangeFixture(const std::string& folder, std::int64_t now);

// A text file with exactly these bytes.
bool WriteFixtureFile(const std::string& path, const std::string& bytes);
// A Status.txt / Stack.txt record with the service's CR LF line end.
std::string FixtureRecord(int device, const std::string& file, std::uint32_t crc);

// The fixture's device table as velora-devices (English) and the device window (Russian) show
// it: the column titles, then the rows in the morning order (not connected today first, by
// agent; the folder of no device last). `now` as given to BuildExchangeFixture.
std::vector<std::vector<std::string>> FixtureTable(const std::string& folder, std::int64_t now, RowLanguage language);
