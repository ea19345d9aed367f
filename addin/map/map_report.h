// What a map view tells about itself in answer to kMapViewReport (sent with a pointer to a
// MapViewReport as lParam, from a thread of the same process): the window's diagnostics,
// read by the tests and handy in a debugger.
#pragma once
#include <windows.h>

#include "map/map_view.h"

const UINT kMapViewReport = WM_APP + 0x4D;

struct MapViewReport {
  MapView view;  // scale, origin, image and client sizes
  int points;    // route points held by the window
  wchar_t tipText[600];  // what the tooltip shows now
  BOOL tipShown;
  COLORREF tipBackground;
};
