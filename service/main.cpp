// VeloraService: the Windows service, or with -debug a console program.
#include "host/command_line.h"
#include "host/shell.h"
#include "host/status.h"

int main(int argc, char** argv) {
    switch (ParseCommand(argc, argv)) {
        case Command::Install:
            return InstallService();
        case Command::Remove:
            return RemoveService();
        case Command::Debug:
            debugMode.store(true);
            return DebugService(argc, argv);
        case Command::Dispatch:
            break;
    }
    PrintUsage();
    return RunServiceDispatcher();
}
