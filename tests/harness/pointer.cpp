#include "pointer.h"

void PointerTo(HWND window, POINT client) {
  ClientToScreen(window, &client);
  SetCursorPos(client.x, client.y);
}
