// The scratch folders of the fuzz targets: a private base folder holding the exchange folder
// "ex", emptied between runs and checked for anything written beside it.
#pragma once
#include <string>

class FuzzFolder {
public:
    explicit FuzzFolder(const char* stem);  // /tmp/<stem>-XXXXXX with an empty "ex" in it
    ~FuzzFolder();
    const std::string& Exchange() const { return exchange; }
    void Empty() const;               // "ex" emptied, kept
    void CheckNothingBeside() const;  // aborts, naming them, when the base holds more than "ex"

private:
    std::string base, exchange;
};
