#include "map_state.h"

#include <cstring>

namespace {
const wchar_t kAnchor1[] = L"Первая точка привязки.";
const wchar_t kAnchor2[] = L"Вторая точка привязки.";
const wchar_t kAnchorText[] = L"Используется для привязки карты к координатам.";

MapState& NewState() {
  static MapState state;
  ResetMapState(state);
  return state;
}
}  // namespace

void CopyField(wchar_t* field, size_t capacity, const std::wstring& text) {
  if (capacity == 0) return;
  size_t n = text.size() < capacity - 1 ? text.size() : capacity - 1;
  std::memset(field, 0, capacity * sizeof(wchar_t));
  std::memcpy(field, text.data(), n * sizeof(wchar_t));
}

uint32_t MapColour(long red, long green, long blue) {
  return uint32_t(red & 0xFF) | uint32_t(green & 0xFF) << 8 | uint32_t(blue & 0xFF) << 16;
}

void ResetMapState(MapState& state) {
  std::wstring path = state.imagePath;
  MapObject first = state.anchors[0], second = state.anchors[1];
  state = MapState();
  CopyField(state.imagePath, path);
  state.anchors[0] = first;
  state.anchors[1] = second;
  CopyField(state.anchors[0].name, kAnchor1);
  CopyField(state.anchors[1].name, kAnchor2);
  CopyField(state.anchors[0].description, kAnchorText);
  CopyField(state.anchors[1].description, kAnchorText);
  state.routeColour = MapColour(255, 255, 0);
}

MapObject MakeMapObject(double latitude, double longitude, const std::wstring& name,
                        const std::wstring& description, uint32_t colour) {
  MapObject object;
  object.latitude = latitude;
  object.longitude = longitude;
  CopyField(object.name, name);
  CopyField(object.description, description);
  object.colour = colour;
  return object;
}

MapState& SharedMapState() {
  static MapState& state = NewState();
  return state;
}

std::mutex& SharedMapLock() {
  static std::mutex lock;
  return lock;
}
