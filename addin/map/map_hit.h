// Which map object lies under a point of the window, in the order the window gives them
// precedence: anchors (when shown), route points, flags' banners, track points.
// Plain C++, no platform calls.
#pragma once
#include <vector>

struct MapHit {
  enum Kind { kNone, kAnchor, kPoint, kFlag, kTrack } kind = kNone;
  int index = -1;
};

// Positions of the objects in window pixels.
struct MapScreenObjects {
  struct Spot {
    int x, y;
  };
  bool showAnchors = false;
  std::vector<Spot> anchors, points, flags, track;
};

MapHit HitTest(const MapScreenObjects& objects, int x, int y);
