// The map state shared by every add-in object of the loaded component: the image, its two
// anchors, the route's colour and switches, and the three object lists. A window takes a
// copy when it opens. Plain C++, no platform calls.
#pragma once
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct MapObject {
  wchar_t name[64] = {};          // at most 63 characters
  wchar_t description[512] = {};  // at most 511 characters
  int x = 0, y = 0;               // image pixels, computed when a window opens
  double latitude = 0, longitude = 0;  // radians
  uint32_t colour = 0;            // 0x00BBGGRR; flags only
};

struct MapState {
  wchar_t imagePath[260] = {};  // at most 259 characters
  MapObject anchors[2];
  uint32_t routeColour = 0;
  bool showAnchors = false;
  bool trackLines = false;
  std::vector<MapObject> points, flags, track;
};

// Copies at most capacity - 1 characters of `text` and ends the field with zeros.
void CopyField(wchar_t* field, size_t capacity, const std::wstring& text);
template <size_t N> void CopyField(wchar_t (&field)[N], const std::wstring& text) { CopyField(field, N, text); }

// red + 256 green + 65536 blue, each cut to 8 bits.
uint32_t MapColour(long red, long green, long blue);

// A fresh state as GpsSetMap leaves it: anchors named, yellow route, switches off, lists empty.
void ResetMapState(MapState& state);
MapObject MakeMapObject(double latitude, double longitude, const std::wstring& name,
                        const std::wstring& description, uint32_t colour = 0);

// The component's one state and the lock that the methods and the opening windows share.
MapState& SharedMapState();
std::mutex& SharedMapLock();
