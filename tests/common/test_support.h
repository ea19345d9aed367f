// Helpers shared by the tests of common/ and service/config/.
#pragma once
#include <string>

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::string& Path() const { return path_; }  // ANSI, no trailing separator
    std::string File(const std::string& name) const;   // Path() joined with name

private:
    std::string path_;
};

std::string ReadBytes(const std::string& path);  // "" when the file cannot be read
bool WriteBytes(const std::string& path, const std::string& bytes);

// Sets the read-only and hidden attributes (POSIX: removes write permission).
bool MakeReadOnlyHidden(const std::string& path);

// Removes the service's parameters (key or file section) so a test starts from nothing.
void ClearServiceParams();
