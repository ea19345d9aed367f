#include "host/command_line.h"

#include <cctype>

#include "host/names.h"
#include "platform/codepage.h"

namespace {
bool SameWord(const char* a, const char* b) {
    for (; *a && *b; ++a, ++b)
        if (std::tolower(static_cast<unsigned char>(*a)) != std::tolower(static_cast<unsigned char>(*b)))
            return false;
    return *a == *b;
}
}  // namespace

Command ParseCommand(int argc, char** argv) {
    if (argc < 2 || !argv[1] || (argv[1][0] != '-' && argv[1][0] != '/')) return Command::Dispatch;
    const char* word = argv[1] + 1;
    if (SameWord(word, "install")) return Command::Install;
    if (SameWord(word, "remove")) return Command::Remove;
    if (SameWord(word, "debug")) return Command::Debug;
    return Command::Dispatch;
}

void PrintUsage() {
    ConsolePrintf("%s -install          to install the service\n", kServiceName);
    ConsolePrintf("%s -remove           to remove the service\n", kServiceName);
    ConsolePrintf("%s -debug <params>   to run as a console app for debugging\n", kServiceName);
    ConsolePrintf("\nStartServiceCtrlDispatcher being called.\n");
    ConsolePrintf("This may take several seconds.  Please wait.\n");
}
