#include "map_view.h"

#include <algorithm>
#include <cmath>

namespace {
double Margin(int client, int image, double scale) {
  double scaled = image * scale;
  return scaled < client ? (client - scaled) / 2 : 0;
}

// Moves `origin` by up to `pixels` screen pixels towards 0..`maxOrigin`.
double Step(double origin, double maxOrigin, int pixels, double scale, const std::function<double()>& uniform) {
  if (pixels == 0 || scale <= 0) return origin;
  double room = (pixels > 0 ? maxOrigin - origin : origin) * scale;  // screen pixels to the edge
  double move = std::min(double(std::abs(pixels)), std::max(0.0, room)) / scale;
  double whole = std::floor(move);
  if (uniform() < move - whole) whole += 1;
  return std::min(maxOrigin, std::max(0.0, origin + (pixels > 0 ? whole : -whole)));
}
}  // namespace

double MapView::MarginX() const { return Margin(clientWidth, imageWidth, scale); }
double MapView::MarginY() const { return Margin(clientHeight, imageHeight, scale); }

double MapView::MaxOriginX() const { return std::max(0.0, imageWidth - clientWidth / scale); }
double MapView::MaxOriginY() const { return std::max(0.0, imageHeight - clientHeight / scale); }

void MapView::Clamp() {
  originX = std::min(MaxOriginX(), std::max(0.0, originX));
  originY = std::min(MaxOriginY(), std::max(0.0, originY));
}

void MapView::Centre() {
  originX = MaxOriginX() / 2;
  originY = MaxOriginY() / 2;
}

void MapView::Fit() {
  scale = 1;
  if (imageWidth > clientWidth || imageHeight > clientHeight) {
    if (imageWidth > 0 && imageHeight > 0 && clientWidth > 0 && clientHeight > 0)
      scale = std::min(double(clientWidth) / imageWidth, double(clientHeight) / imageHeight);
  }
  Centre();
}

void MapView::FullSize() {
  scale = 1;
  Centre();
}

void MapView::Zoom(double factor) {
  double mx = 0, my = 0;
  ClientToImage(clientWidth / 2.0, clientHeight / 2.0, mx, my);
  scale *= factor;
  originX = mx - (clientWidth / 2.0 - MarginX()) / scale;
  originY = my - (clientHeight / 2.0 - MarginY()) / scale;
  Clamp();
}

void MapView::Scroll(int dx, int dy, const std::function<double()>& uniform) {
  originX = Step(originX, MaxOriginX(), dx, scale, uniform);
  originY = Step(originY, MaxOriginY(), dy, scale, uniform);
}

bool MapView::Draggable() const {
  return imageWidth * scale > clientWidth || imageHeight * scale > clientHeight;
}

void MapView::ClientToImage(double cx, double cy, double& ix, double& iy) const {
  ix = originX + (cx - MarginX()) / scale;
  iy = originY + (cy - MarginY()) / scale;
}

void MapView::ImageToClient(double ix, double iy, double& cx, double& cy) const {
  cx = (ix - originX) * scale + MarginX();
  cy = (iy - originY) * scale + MarginY();
}

bool MapView::InsideImage(double cx, double cy) const {
  double ix = 0, iy = 0;
  ClientToImage(cx, cy, ix, iy);
  return ix >= 0 && iy >= 0 && ix < imageWidth && iy < imageHeight;
}
