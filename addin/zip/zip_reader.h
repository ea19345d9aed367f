// Unpacks a zip archive into a folder, which becomes the process's current directory.
#pragma once
#include <string>

// 0; 6 when the folder cannot be entered (nothing extracted) or a file cannot be written
// there; 54 when the archive cannot be opened, names an entry outside the folder (nothing
// extracted) or holds a damaged entry; 55 for an encrypted entry and a wrong or missing
// password; 52 when closing the archive fails. Extraction stops at the first failing entry;
// a file is replaced only by a completely extracted entry.
long UnpackArchive(const std::wstring& archivePath, const std::wstring& folder, const std::string& password);
