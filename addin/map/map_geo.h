// Geographic arithmetic of the map window: the degrees-and-minutes numbers of 1C, the
// coordinate texts, the distance between two points, and the transformation between the
// earth and a scanned map image fixed by two anchors. Plain C++, no platform calls.
#pragma once
#include <string>

// 5545.5 (55 degrees 45.5 minutes) to radians, and back.
double DegMinToRadians(double degMin);
double RadiansToDegMin(double radians);

// `55:45'30.00" N`: degrees, minutes and seconds of the absolute value, then the hemisphere
// ("N"/"E" for a positive angle, "S"/"W" otherwise, 0 included).
std::wstring CoordinateText(double radians, bool latitude);

// Metres between two points given in degrees-and-minutes form.
double GpsDistanceMetres(double lat1, double lon1, double lat2, double lon2);

// The earth (radians) to image pixels: a local flat projection about the anchors' mean,
// then a uniform scale, a rotation and an offset.
struct MapTransform {
  double phi0 = 0, lambda0 = 0, cosPhi0 = 1;
  double a = 0, b = 0, c = 0, d = 0;

  // East and north offsets in metres of a point from the centre.
  void Project(double phi, double lambda, double& east, double& north) const;
  // Image pixel position of a point, truncated as the window draws it.
  void ToImage(double phi, double lambda, int& x, int& y) const;
  // The point at an image position.
  void FromImage(double x, double y, double& phi, double& lambda) const;
};

struct MapAnchor {
  double phi = 0, lambda = 0;  // radians
  int x = 0, y = 0;            // image pixels
};

// False when the anchors do not fix a transformation (the same latitude, longitude, pixel
// column or pixel row).
bool Calibrate(const MapAnchor& first, const MapAnchor& second, MapTransform& out);
