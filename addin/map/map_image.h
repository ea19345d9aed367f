// Loads a map image with the platform's decoder (WIC: BMP, PNG, JPEG, GIF, TIFF...) into a
// 32-bit top-down DIB section.
#pragma once
#include <windows.h>

// Null when the file is missing or cannot be decoded. COM must be initialised on the thread.
HBITMAP LoadMapImage(const wchar_t* path, int& width, int& height);
