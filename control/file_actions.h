// The files of the exchange folder that the control panel writes or opens: the template
// config.xml, config.err after a configuration error, the log, and the folder itself.
#pragma once
#include <windows.h>
#include <string>

// Writes the template config.xml into the current folder when it has none.
void EnsureConfigTemplate();
// After a start attempt: offers config.err when the service reported "config_error".
void ReportConfigError();
// EnsureConfigTemplate, StartServiceAndWait, ReportConfigError; true when the service runs.
bool RunStartCycle();

void OpenFolderInExplorer(const std::wstring& folder);
void ViewConfigFile(const std::wstring& folder);
// True when the editor was started.
bool ViewLogFile(const std::wstring& folder);

// A path for a command line: quoted, so that folders with spaces stay one argument.
std::wstring QuoteArgument(const std::wstring& path);
