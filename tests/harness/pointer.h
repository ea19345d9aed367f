// The real mouse cursor of a GUI test. Wine sends mouse moves of its own at the cursor (when a
// tooltip appears, when a button takes the capture), so a test that sends mouse messages puts
// the cursor where they point.
#pragma once
#include <windows.h>

// Moves the cursor to a point of `window`'s client area.
void PointerTo(HWND window, POINT client);
