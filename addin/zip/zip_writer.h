// Writes one zip archive: created when the first file is added (an existing file of that
// name is replaced), deflate, the traditional PKWARE encryption when a password is given.
// Entry names are stored in the ANSI code page.
#pragma once
#include <string>

class ZipWriter {
 public:
  ZipWriter(const std::wstring& archivePath, const std::string& password);
  ~ZipWriter();
  ZipWriter(const ZipWriter&) = delete;
  ZipWriter& operator=(const ZipWriter&) = delete;

  // The file at `source` under `name`: 0, 50 (archive not created) or 51.
  long AddFile(const std::wstring& source, const std::wstring& name);
  // Every file below the folder, depth first in listing order, under the folder's own name,
  // a backslash and its path below the folder; empty folders add nothing. 0, 50 or 51.
  long AddFolder(const std::wstring& folder);
  bool Created() const { return zip != nullptr; }
  // Writes the central directory; true when nothing was created.
  bool Close();

 private:
  long Walk(const std::wstring& parent, const std::wstring& relative);
  bool Create();

  std::wstring archivePath;
  std::string password;
  void* zip = nullptr;
};
