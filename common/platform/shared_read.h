// Reading a file that the service or 1C may be rewriting, renaming or deleting at the same
// moment: the handle allows every kind of sharing (read, write and delete), so a reader never
// makes their write, rename or delete fail, and it holds no lock.
#pragma once
#include <cstddef>
#include <string>

// Up to maxBytes of the file's content into *out. False when the file cannot be opened or
// read; *out is then empty.
bool ReadSharedFile(const std::string& path, std::size_t maxBytes, std::string* out);
