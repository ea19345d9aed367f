// config.xml as an administrator (or a broken editor) may leave it: the reader must answer
// every document with a result and config.err, and create device folders only inside the
// exchange folder.
#include <cstdio>
#include <cstdlib>

#include "config/config.h"
#include "fuzz_driver.h"
#include "fuzz_folder.h"
#include "platform/files.h"

namespace {
std::string Ppc(const char* id, const char* name, const char* dir) {
    return std::string("<PPC DEVICE_ID=\"") + id + "\" PSEUDONIM=\"" + name + "\" DIRECTORY=\"" + dir + "\"/>";
}
}  // namespace

std::vector<std::string> FuzzSeeds() {
    const std::string head = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<VeloraServer VERSION=\"1.0\">"
                             "<ServerConfig PortExternal=\"5555\" SyncTime=\"1\" />";
    const char* a = "5E1F0000-0000-4000-8000-000000000001";
    const char* b = "5E1F0000-0000-4000-8000-000000000002";
    return {
        head + Ppc(a, "Agent", "PPC1") + Ppc(b, u8"Агент", "PPC2") + "</VeloraServer>",
        head + Ppc(a, "A", "PPC1") + Ppc(a, "B", "ppc1") + "</VeloraServer>",
        head + Ppc(a, "A", "..") + Ppc(b, "B", "a\\..\\..\\b") + "</VeloraServer>",
        "<?xml version=\"1.0\" encoding=\"windows-1251\"?><VeloraServer><ServerConfig PortExternal=\"99999\"/>"
        "<PPC DEVICE_ID=\"x\"/></VeloraServer>",
        "<VeloraServer><ServerConfig PortExternal=\"1\" SyncTime=\"x\"/>" + Ppc(b, "", "") + "</VeloraServer>",
    };
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static FuzzFolder scratch("velora-fuzzcfg");
    const std::string configPath = JoinPath(scratch.Exchange(), "config.xml");
    scratch.Empty();
    if (FILE* out = FileOpen(configPath, "wb")) {
        std::fwrite(data, 1, size, out);
        std::fclose(out);
    }
    ConfigData cfg;
    ReadConfigXml(configPath.c_str(), scratch.Exchange().c_str(), cfg);
    auto devices = cfg.Devices();
    if (cfg.userCount != 0 && (!devices || devices->Count() != cfg.userCount)) {
        std::fprintf(stderr, "fuzz: userCount %d with %d devices\n", cfg.userCount, devices ? devices->Count() : -1);
        std::abort();
    }
    scratch.CheckNothingBeside();
    return 0;
}
