// Reads and clicks a list view of another process (the control panel's device window). The
// list view's messages carry pointers, so they point into a buffer in that process.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

class RemoteListView {
public:
    explicit RemoteListView(HWND list);
    ~RemoteListView();
    RemoteListView(const RemoteListView&) = delete;
    RemoteListView& operator=(const RemoteListView&) = delete;

    bool Ok() const { return buffer_ != nullptr; }
    std::vector<std::wstring> Columns();
    std::vector<std::vector<std::wstring>> Rows();  // every cell of every row
    // Posts a left click on column `column`'s title, as the mouse would.
    void ClickColumn(int column);
    // Posts a double-click on row `row`.
    void DoubleClickRow(int row);
    // Scrolls sideways by dx pixels (to the last column with a large one).
    void Scroll(int dx);

private:
    bool Rect(UINT message, WPARAM index, int code, RECT* out);
    std::wstring Text(UINT message, WPARAM index, int subItem);

    HWND list_;
    HANDLE process_ = nullptr;
    char* buffer_ = nullptr;  // in the other process
};
