// The map window and routes: the shared map state, the distance, and opening a window.
#include <string>

#include "map/map_geo.h"
#include "map/map_state.h"
#include "map/map_window.h"
#include "methods.h"

namespace {
// Coordinates: a double or a 32-bit integer; anything else counts as 0.
double Number(CallParams& params, long i) {
  double value = 0;
  return params.GetDouble(i, value) ? value : 0;
}

// Pixel positions, colours and switches: a 32-bit integer; anything else counts as 0.
long Integer(CallParams& params, long i) {
  long value = 0;
  return params.GetLong(i, value) ? value : 0;
}

std::wstring Text(CallParams& params, long i) {
  std::wstring value;
  params.GetString(i, value);
  return value;
}

// Appends an object made of parameters 0 to 3 (latitude, longitude, name, description).
void AddObject(std::vector<MapObject> MapState::*list, CallParams& params, bool withDescription,
               uint32_t colour = 0) {
  MapObject object = MakeMapObject(DegMinToRadians(Number(params, 0)), DegMinToRadians(Number(params, 1)),
                                   Text(params, 2), withDescription ? Text(params, 3) : std::wstring(), colour);
  std::lock_guard<std::mutex> hold(SharedMapLock());
  (SharedMapState().*list).push_back(object);
}

void ClearList(std::vector<MapObject> MapState::*list) {
  std::lock_guard<std::mutex> hold(SharedMapLock());
  (SharedMapState().*list).clear();
}
}  // namespace

void CallGpsSetMap(CAddIn&, CallParams& params, VARIANT* result) {
  std::wstring path = Text(params, 0);
  {
    std::lock_guard<std::mutex> hold(SharedMapLock());
    MapState& state = SharedMapState();
    CopyField(state.imagePath, path);
    for (int i = 0; i < 2; ++i) {
      MapObject& anchor = state.anchors[i];
      anchor.latitude = DegMinToRadians(Number(params, 1 + 2 * i));
      anchor.longitude = DegMinToRadians(Number(params, 2 + 2 * i));
      anchor.x = int(Integer(params, 5 + 2 * i));
      anchor.y = int(Integer(params, 6 + 2 * i));
    }
    ResetMapState(state);
  }
  SetResultLong(result, 0);
}

void CallGpsShowMap(CAddIn&, CallParams& params, VARIANT* result) {
  SetResultLong(result, ShowMapWindow(Text(params, 0)));
}

void CallGpsRouteAddPoint(CAddIn&, CallParams& params, VARIANT*) { AddObject(&MapState::points, params, true); }
void CallGpsRouteClearPoints(CAddIn&, CallParams&, VARIANT*) { ClearList(&MapState::points); }

void CallGpsRouteAddFlag(CAddIn&, CallParams& params, VARIANT*) {
  AddObject(&MapState::flags, params, true, MapColour(Integer(params, 4), Integer(params, 5), Integer(params, 6)));
}
void CallGpsRouteClearFlags(CAddIn&, CallParams&, VARIANT*) { ClearList(&MapState::flags); }

void CallGpsRouteAddTrack(CAddIn&, CallParams& params, VARIANT*) { AddObject(&MapState::track, params, false); }
void CallGpsRouteClearTrack(CAddIn&, CallParams&, VARIANT*) { ClearList(&MapState::track); }

void CallGpsRouteSetColor(CAddIn&, CallParams& params, VARIANT*) {
  uint32_t colour = MapColour(Integer(params, 0), Integer(params, 1), Integer(params, 2));
  std::lock_guard<std::mutex> hold(SharedMapLock());
  SharedMapState().routeColour = colour;
}

void CallGpsSetAttachView(CAddIn&, CallParams& params, VARIANT*) {
  bool on = Integer(params, 0) != 0;
  std::lock_guard<std::mutex> hold(SharedMapLock());
  SharedMapState().showAnchors = on;
}

void CallGpsSetTrackLIne(CAddIn&, CallParams& params, VARIANT*) {
  bool on = Integer(params, 0) != 0;
  std::lock_guard<std::mutex> hold(SharedMapLock());
  SharedMapState().trackLines = on;
}

void CallGpsDistance(CAddIn&, CallParams& params, VARIANT* result) {
  SetResultDouble(result, GpsDistanceMetres(Number(params, 0), Number(params, 1), Number(params, 2), Number(params, 3)));
}
