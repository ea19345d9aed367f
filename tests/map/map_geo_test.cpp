// Degrees and minutes, coordinate texts, distances, the calibration from two anchors and
// the map state's fields.
#include <gtest/gtest.h>

#include <cmath>
#include <cwchar>

#include "map/map_geo.h"
#include "map/map_hit.h"
#include "map/map_state.h"
#include "map/map_view.h"

namespace {
const double kPi = 3.14159265358979323846;

TEST(MapGeo, DegreesAndMinutes) {
  EXPECT_DOUBLE_EQ(55.5 * kPi / 180, DegMinToRadians(5530.0));
  EXPECT_DOUBLE_EQ(-(37 + 30.25 / 60) * kPi / 180, DegMinToRadians(-3730.25));
  for (double v : {5545.5, -3730.25, 0.0, 1234.999, 17959.5, 1.0, -0.5}) {
    SCOPED_TRACE(v);
    EXPECT_NEAR(v, RadiansToDegMin(DegMinToRadians(v)), 1e-9);
  }
}

TEST(MapGeo, CoordinateTexts) {
  struct Case {
    double degMin;
    bool latitude;
    const wchar_t* text;
  } cases[] = {
    {5545.5, true, L"55:45'30.00\" N"},
    {0.0, true, L"0:00'00.00\" S"},  // exactly 0 counts as south
    {-3730.25, true, L"37:30'15.00\" S"},
    {3730.25, false, L"37:30'15.00\" E"},
    {0.0, false, L"0:00'00.00\" W"},
    {-1205.0, false, L"12:05'00.00\" W"},
    {5559.99999, true, L"56:00'00.00\" N"},  // seconds that round up carry into the minute
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.degMin);
    EXPECT_EQ(std::wstring(c.text), CoordinateText(DegMinToRadians(c.degMin), c.latitude));
  }
}

TEST(MapGeo, Distance) {
  EXPECT_EQ(0.0, GpsDistanceMetres(5545.5, 3737.0, 5545.5, 3737.0));
  double degree = GpsDistanceMetres(5500.0, 3700.0, 5600.0, 3700.0);
  EXPECT_NEAR(1.28e7 * std::sin(kPi / 360), degree, 1e-6);
  EXPECT_NEAR(111699, degree, 1);
  // Along a parallel the distance shrinks with the cosine of the latitude.
  EXPECT_NEAR(degree * std::cos(55 * kPi / 180), GpsDistanceMetres(5500.0, 3700.0, 5500.0, 3800.0), 1);
  EXPECT_DOUBLE_EQ(degree, GpsDistanceMetres(5600.0, 3700.0, 5500.0, 3700.0));
}

MapAnchor Anchor(double lat, double lon, int x, int y) {
  return MapAnchor{DegMinToRadians(lat), DegMinToRadians(lon), x, y};
}

TEST(MapGeo, CalibrationFailsWithoutTwoDistinctAxes) {
  MapTransform t;
  EXPECT_FALSE(Calibrate(Anchor(5545, 3730, 10, 10), Anchor(5545, 3740, 300, 200), t));  // same latitude
  EXPECT_FALSE(Calibrate(Anchor(5545, 3730, 10, 10), Anchor(5540, 3730, 300, 200), t));  // same longitude
  EXPECT_FALSE(Calibrate(Anchor(5545, 3730, 10, 10), Anchor(5540, 3740, 10, 200), t));   // same column
  EXPECT_FALSE(Calibrate(Anchor(5545, 3730, 10, 10), Anchor(5540, 3740, 300, 10), t));   // same row
  EXPECT_TRUE(Calibrate(Anchor(5545, 3730, 10, 10), Anchor(5540, 3740, 300, 200), t));
}

// North up and a map turned by some degrees: the anchors land on their pixels, points in
// between land where a flat map puts them, and the inverse gives the point back.
TEST(MapGeo, CalibrationPlacesAnchorsAndInverts) {
  struct Case {
    MapAnchor first, second;
  } cases[] = {
    {Anchor(5546, 3730, 100, 50), Anchor(5544, 3734, 500, 450)},
    {Anchor(5546, 3730, 120, 40), Anchor(5544, 3734, 420, 470)},
    {Anchor(-3350, 1820, 700, 20), Anchor(-3352, 1825, 30, 600)},  // south, mirrored pixels
  };
  for (const Case& c : cases) {
    MapTransform t;
    ASSERT_TRUE(Calibrate(c.first, c.second, t));
    for (const MapAnchor& a : {c.first, c.second}) {
      int x = 0, y = 0;
      t.ToImage(a.phi, a.lambda, x, y);
      EXPECT_NEAR(a.x, x, 1);
      EXPECT_NEAR(a.y, y, 1);
      double phi = 0, lambda = 0;
      t.FromImage(a.x, a.y, phi, lambda);
      EXPECT_NEAR(a.phi, phi, 1e-9);
      EXPECT_NEAR(a.lambda, lambda, 1e-9);
    }
    // The mid-point of the anchors is the middle of their pixels (a similarity keeps it).
    int x = 0, y = 0;
    t.ToImage((c.first.phi + c.second.phi) / 2, (c.first.lambda + c.second.lambda) / 2, x, y);
    EXPECT_NEAR((c.first.x + c.second.x) / 2.0, x, 1);
    EXPECT_NEAR((c.first.y + c.second.y) / 2.0, y, 1);
  }
}

TEST(MapState, FieldsAreCutAndTerminated) {
  MapObject o;
  std::wmemset(o.description, L'#', 512);  // what a longer copy would leave
  std::wstring longName(100, L'n'), longText(700, L'd');
  o = MakeMapObject(0, 0, longName, longText);
  EXPECT_EQ(std::wstring(63, L'n'), o.name);
  EXPECT_EQ(std::wstring(511, L'd'), o.description);
  wchar_t guarded[8 + 4];
  std::wmemset(guarded, L'#', 12);
  CopyField(guarded, 8, std::wstring(20, L'x'));
  EXPECT_EQ(std::wstring(7, L'x'), guarded);
  EXPECT_EQ(std::wstring(4, L'#'), std::wstring(guarded + 8, 4));  // nothing past the field
}

TEST(MapState, ResetAndColours) {
  EXPECT_EQ(0x030201u, MapColour(257, 2, 3 + 512));
  MapState s;
  s.points.push_back(MapObject());
  s.trackLines = true;
  s.routeColour = 1;
  CopyField(s.imagePath, L"c:\\map.png");
  ResetMapState(s);
  EXPECT_TRUE(s.points.empty());
  EXPECT_FALSE(s.trackLines);
  EXPECT_EQ(MapColour(255, 255, 0), s.routeColour);
  EXPECT_EQ(std::wstring(L"c:\\map.png"), s.imagePath);
  EXPECT_EQ(std::wstring(L"Первая точка привязки."), s.anchors[0].name);
  EXPECT_EQ(std::wstring(L"Вторая точка привязки."), s.anchors[1].name);
  EXPECT_EQ(std::wstring(L"Используется для привязки карты к координатам."), s.anchors[1].description);
}
}  // namespace

// The view of a window: fitting, zoom about the middle, scrolling to the edges.
namespace {
MapView View(int iw, int ih, int cw, int ch) {
  MapView v;
  v.imageWidth = iw;
  v.imageHeight = ih;
  v.clientWidth = cw;
  v.clientHeight = ch;
  v.Fit();
  return v;
}

TEST(MapViewGeometry, FitCentresAndShrinksOnly) {
  MapView small = View(400, 300, 800, 500);  // fits: scale 1, centred with margins
  EXPECT_EQ(1.0, small.scale);
  EXPECT_EQ(200.0, small.MarginX());
  EXPECT_EQ(100.0, small.MarginY());
  EXPECT_FALSE(small.Draggable());
  EXPECT_TRUE(small.InsideImage(200, 100));
  EXPECT_FALSE(small.InsideImage(199, 100));
  EXPECT_FALSE(small.InsideImage(600, 100));
  MapView large = View(1600, 800, 400, 300);  // the width decides
  EXPECT_DOUBLE_EQ(0.25, large.scale);
  EXPECT_EQ(0.0, large.originX);
  EXPECT_DOUBLE_EQ(50.0, large.MarginY());
  large.FullSize();
  EXPECT_EQ(1.0, large.scale);
  EXPECT_DOUBLE_EQ(600.0, large.originX);  // half the excess on each side
  EXPECT_DOUBLE_EQ(250.0, large.originY);
  EXPECT_TRUE(large.Draggable());
}

TEST(MapViewGeometry, ZoomKeepsTheMiddleWithinTheImage) {
  MapView v = View(1600, 1200, 400, 300);
  double mx, my;
  v.ClientToImage(200, 150, mx, my);
  for (double f : {1.1, 1.1, 3.0, 1 / 1.1, 0.5, 4.0}) {
    v.Zoom(f);
    double x, y;
    v.ClientToImage(200, 150, x, y);
    EXPECT_NEAR(mx, x, 1e-6);
    EXPECT_NEAR(my, y, 1e-6);
  }
  // Near a corner the origin stops at 0 instead of showing what lies past the image.
  v.FullSize();
  v.Scroll(-5000, -5000, [] { return 0.0; });
  EXPECT_EQ(0.0, v.originX);
  v.Zoom(0.9);
  EXPECT_EQ(0.0, v.originX);
  EXPECT_EQ(0.0, v.originY);
}

TEST(MapViewGeometry, ScrollStopsAtTheEdgesAndRoundsByChance) {
  MapView v = View(1000, 1000, 400, 300);
  v.FullSize();
  v.originX = 590;
  v.Scroll(30, 0, [] { return 0.0; });
  EXPECT_EQ(600.0, v.originX);  // only 10 pixels were left
  v.Scroll(30, 0, [] { return 0.0; });
  EXPECT_EQ(600.0, v.originX);
  v.scale = 3;  // 30 screen pixels are 10 image pixels
  v.originX = 100;
  v.Scroll(-30, 0, [] { return 0.9; });
  EXPECT_EQ(90.0, v.originX);
  v.scale = 4;  // 7.5 image pixels: 7 or 8 as the chance falls
  v.originY = 100;
  v.Scroll(0, 30, [] { return 0.6; });
  EXPECT_EQ(107.0, v.originY);
  v.Scroll(0, 30, [] { return 0.4; });
  EXPECT_EQ(115.0, v.originY);
}

TEST(MapHitTest, OrderAndBoxes) {
  MapScreenObjects o;
  o.anchors = {{100, 100}, {300, 300}};
  o.points = {{100, 100}, {200, 200}};
  o.flags = {{400, 400}};
  o.track = {{200, 200}, {500, 500}};
  struct Case {
    bool anchors;
    int x, y;
    MapHit::Kind kind;
    int index;
  } cases[] = {
    {true, 105, 95, MapHit::kAnchor, 0},   // anchors first when shown
    {false, 105, 95, MapHit::kPoint, 0},   // else the route point under them
    {true, 300, 310, MapHit::kAnchor, 1},
    {true, 300, 311, MapHit::kNone, -1},
    {false, 200, 222, MapHit::kPoint, 1},  // the number below the square
    {false, 200, 223, MapHit::kNone, -1},
    {false, 200, 194, MapHit::kNone, -1},  // 6 above
    {false, 200, 200, MapHit::kPoint, 1},  // a point over a track point wins
    {false, 405, 385, MapHit::kFlag, 0},   // the banner
    {false, 395, 385, MapHit::kNone, -1},  // left of the staff
    {false, 400, 400, MapHit::kNone, -1},  // the staff's foot is no banner
    {false, 503, 497, MapHit::kTrack, 1},
    {false, 504, 500, MapHit::kNone, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
    o.showAnchors = c.anchors;
    MapHit hit = HitTest(o, c.x, c.y);
    EXPECT_EQ(c.kind, hit.kind);
    EXPECT_EQ(c.index, hit.index);
  }
}
}  // namespace
