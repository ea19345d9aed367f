// The progress window of copies to and from the handheld (dialog 205, "Копирование"):
// a text with the size and both paths over a bar from 0 to 100.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

// The bar's position after `done` of `size` bytes: 0..100, 100 for an empty file, and no
// overflow or division by zero for any size (a file of 4 GiB or more included).
unsigned CopyPercent(std::uint64_t done, std::uint64_t size);

// "Копирование... (<size> б.)\n<fromLabel> <source>\n<toLabel> <destination>", cut to
// kCopyTextMax characters.
const size_t kCopyTextMax = 1024;
std::wstring CopyText(std::uint64_t size, const wchar_t* fromLabel, const std::wstring& source,
                      const wchar_t* toLabel, const std::wstring& destination);

class CopyProgress {
 public:
  CopyProgress() = default;
  ~CopyProgress() { Close(); }
  CopyProgress(const CopyProgress&) = delete;
  CopyProgress& operator=(const CopyProgress&) = delete;

  // Creates and shows the window with the text and the bar at 0; false when it cannot be
  // created.
  bool Open(const std::wstring& text);
  // Moves the bar and repaints the window.
  void Step(unsigned percent);
  // Hides and destroys the window, if any.
  void Close();

 private:
  HWND window = nullptr;
};
