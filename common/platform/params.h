// The parameters store: the registry under HKEY_LOCAL_MACHINE on Windows; in the POSIX build a
// plain text file standing in for it (see ParamsLocation).
// Keys are backslash-separated paths such as
// "SYSTEM\CurrentControlSet\Services\VeloraService\Parameters\Exchange".
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Create-or-open the key (all access, non-volatile), then set the value.
bool ParamsWriteString(const char* key, const char* name, const char* value);
bool ParamsWriteDword(const char* key, const char* name, std::uint32_t value);
// Open the key for reading and query the value. A string that does not fit `size`
// fails (as RegQueryValueEx does); on failure the buffer holds "".
bool ParamsReadString(const char* key, const char* name, char* buffer, std::size_t size);
bool ParamsReadDword(const char* key, const char* name, std::uint32_t* value);
// Remove a key with everything below it.
bool ParamsDeleteTree(const char* key);

// Where the values live: "HKEY_LOCAL_MACHINE" on Windows; the file's path on POSIX, which is
// $VELORA_PARAMS when set, else /var/lib/velora/params.ini for root and
// $HOME/.velora/params.ini for other users. The file is UTF-8 text, one "[key path]" line per
// key followed by "Name=sz:text" and "Name=dword:0000000A" lines; bytes that the format cannot
// hold as they are (control characters, '%', byte 0x98) are written %HH. Writers lock
// "<file>.lock" and replace the file in one rename, so readers never see half a file.
std::string ParamsLocation();
