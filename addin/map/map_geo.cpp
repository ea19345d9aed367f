#include "map_geo.h"

#include <cmath>
#include <cstdio>

namespace {
const double kPi = 3.14159265358979323846;
const double kEarthDiameter = 1.28e7;                 // twice the 6400 km radius
const double kHalfArcsecond = 2.42406840554768e-6;    // radians
const double kArcsecondsPerRadian = 206264.80624709636;
const double kMetresPerArcsecond = kEarthDiameter * std::sin(kHalfArcsecond);
}  // namespace

double DegMinToRadians(double degMin) {
  double degrees = std::trunc(degMin / 100.0);
  double minutes = degMin - degrees * 100.0;
  return (degrees + minutes / 60.0) * kPi / 180.0;
}

double RadiansToDegMin(double radians) {
  double angle = radians * 180.0 / kPi;
  double degrees = std::trunc(angle);
  double seconds = (angle - degrees) * 3600.0;
  double minutes = std::trunc(seconds / 60.0);
  return degrees * 100.0 + minutes + (seconds - minutes * 60.0) / 60.0;
}

std::wstring CoordinateText(double radians, bool latitude) {
  // Whole hundredths of a second first, so that rounding never prints 60.00 seconds.
  long long hundredths = std::llround(std::fabs(radians) * 180.0 / kPi * 360000.0);
  int degrees = int(hundredths / 360000);
  int minutes = int(hundredths / 6000 % 60);
  double seconds = double(hundredths % 6000) / 100.0;
  wchar_t letter = latitude ? (radians > 0 ? L'N' : L'S') : (radians > 0 ? L'E' : L'W');
  wchar_t text[64];
  std::swprintf(text, sizeof(text) / sizeof(text[0]), L"%d:%02d'%05.2f\" %lc", degrees, minutes, seconds,
                letter);
  return text;
}

double GpsDistanceMetres(double lat1, double lon1, double lat2, double lon2) {
  double phi1 = DegMinToRadians(lat1), lambda1 = DegMinToRadians(lon1);
  double phi2 = DegMinToRadians(lat2), lambda2 = DegMinToRadians(lon2);
  double s1 = std::sin((phi2 - phi1) / 2.0);
  double s2 = std::cos(phi1) * std::sin((lambda2 - lambda1) / 2.0);
  return kEarthDiameter * std::sqrt(s1 * s1 + s2 * s2);
}

void MapTransform::Project(double phi, double lambda, double& east, double& north) const {
  east = (lambda - lambda0) * kMetresPerArcsecond * cosPhi0 * kArcsecondsPerRadian;
  north = (phi - phi0) * kMetresPerArcsecond * kArcsecondsPerRadian;
}

void MapTransform::ToImage(double phi, double lambda, int& x, int& y) const {
  double e, n;
  Project(phi, lambda, e, n);
  x = int(a * e + b * n + c);
  y = int(-(a * n - b * e + d));
}

void MapTransform::FromImage(double x, double y, double& phi, double& lambda) const {
  // Solve x - c = a e + b n, -y - d = a n - b e for e and n.
  double u = x - c, v = -y - d, det = a * a + b * b;
  double e = det != 0 ? (a * u - b * v) / det : 0;
  double n = det != 0 ? (b * u + a * v) / det : 0;
  lambda = lambda0 + e / (kMetresPerArcsecond * cosPhi0 * kArcsecondsPerRadian);
  phi = phi0 + n / (kMetresPerArcsecond * kArcsecondsPerRadian);
}

bool Calibrate(const MapAnchor& first, const MapAnchor& second, MapTransform& out) {
  MapTransform t;
  t.phi0 = (first.phi + second.phi) / 2.0;
  t.lambda0 = (first.lambda + second.lambda) / 2.0;
  t.cosPhi0 = std::cos(t.phi0);
  double e1, n1, e2, n2;
  t.Project(first.phi, first.lambda, e1, n1);
  t.Project(second.phi, second.lambda, e2, n2);
  double de = e2 - e1, dn = n2 - n1;
  double dx = double(second.x) - first.x, dy = double(first.y) - second.y;
  if (de == 0 || dn == 0 || dx == 0 || dy == 0) return false;
  t.a = (dx * de / dn + dy) / (de * de / dn + dn);
  t.b = (dx - t.a * de) / dn;
  t.c = first.x - t.a * e1 - t.b * n1;
  t.d = t.b * e1 - first.y - t.a * n1;
  out = t;
  return true;
}
