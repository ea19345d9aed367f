#include "map_hit.h"

#include <cstddef>

namespace {
// The first spot whose box, relative to the spot, holds (x, y).
int Find(const std::vector<MapScreenObjects::Spot>& spots, int x, int y, int left, int right, int top,
         int bottom) {
  for (size_t i = 0; i < spots.size(); ++i) {
    int dx = x - spots[i].x, dy = y - spots[i].y;
    if (dx >= left && dx <= right && dy >= top && dy <= bottom) return int(i);
  }
  return -1;
}
}  // namespace

MapHit HitTest(const MapScreenObjects& objects, int x, int y) {
  struct Rule {
    MapHit::Kind kind;
    const std::vector<MapScreenObjects::Spot>* spots;
    int left, right, top, bottom;
  } rules[] = {
    {MapHit::kAnchor, objects.showAnchors ? &objects.anchors : nullptr, -10, 10, -10, 10},
    {MapHit::kPoint, &objects.points, -10, 10, -5, 22},  // the square and the number below it
    {MapHit::kFlag, &objects.flags, 0, 10, -20, -10},    // the banner
    {MapHit::kTrack, &objects.track, -3, 3, -3, 3},
  };
  MapHit hit;
  for (const Rule& r : rules) {
    if (!r.spots) continue;
    int i = Find(*r.spots, x, y, r.left, r.right, r.top, r.bottom);
    if (i >= 0) {
      hit.kind = r.kind;
      hit.index = i;
      return hit;
    }
  }
  return hit;
}
