// The service's command line: three switches, otherwise the usage and the SCM dispatcher.
#pragma once

enum class Command { Install, Remove, Debug, Dispatch };

// "-" or "/" followed by install, remove or debug, compared ignoring case; anything else
// (no argument, an unknown switch, a word without a switch character) dispatches.
Command ParseCommand(int argc, char** argv);
void PrintUsage();
