// Names under which a handheld may store an upload in its own device folder.
#pragma once
#include <string>

// False for anything that could reach outside the folder or replace the service's own files:
// path separators, drive letters and streams (':'), "." and "..", Windows device names (CON,
// NUL, COM1, ... with any extension), names ending in a dot or space, control characters and
// wildcards, and the hand-off files of the folder (lock, CRC, download.tmp, From1C.zip, ...).
bool IsSafeUploadName(const std::string& name);
