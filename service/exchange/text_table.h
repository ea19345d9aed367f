// A text file held as a list of lines whose fields are separated by TAB characters; the
// service reads and rewrites Status.txt and Stack.txt through it.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

class TextTable {
public:
    // Clears the table and reads the file (CR LF or LF line ends). The path is remembered for
    // Save also when the file cannot be opened, so that Save then writes it afresh.
    bool Load(const std::string& path);
    // Writes every line followed by CR LF to the path of the last Load, then empties the table.
    // The file is replaced in one step; false (the old file unchanged) when that fails.
    bool Save();

    // The first row after row `after` whose field `field` equals `value` (case-sensitive); -1.
    int Find(int field, const std::string& value, int after) const;
    void Select(int index);                  // index modulo the number of rows
    const std::string& Current() const;      // "" past the end
    void SetCurrent(const std::string& text);
    void Append();                           // adds an empty row and makes it current
    bool Next();                             // false at the last row (current moves past it)
    bool AtEnd() const;
    void DeleteCurrent();                    // the following row becomes current
    int Count() const { return static_cast<int>(lines_.size()); }
    void Clear();
    const std::string& Path() const { return path_; }

    // Fields are the non-empty runs between TABs (consecutive TABs count as one); a field that
    // is the single byte 0x01 is a placeholder and reads as empty.
    static std::string GetField(const std::string& row, int index);
    // Sets field `index`, filling missing fields before it with placeholders. An empty value is
    // stored as a placeholder too, so that the fields after it keep their positions.
    static std::string SetField(const std::string& row, int index, const std::string& value);

private:
    std::vector<std::string> lines_;
    std::string path_;
    std::size_t current_ = 0;
};
