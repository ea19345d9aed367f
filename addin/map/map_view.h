// The view of a map window: one scale for both axes, the visible area's origin in image
// pixels, the client size and the margins that centre an image smaller than the window.
// Plain C++, no platform calls.
#pragma once
#include <functional>

struct MapView {
  double scale = 1;
  int imageWidth = 0, imageHeight = 0;
  double originX = 0, originY = 0;  // image pixel at the client's top-left (past the margin)
  int clientWidth = 0, clientHeight = 0;

  double MarginX() const;
  double MarginY() const;
  // Largest 1 or less at which the whole image fits, then centred.
  void Fit();
  // Scale 1, centred.
  void FullSize();
  // Scales by `factor` keeping the image point in the middle of the window there.
  void Zoom(double factor);
  // Moves the origin by up to `dx`, `dy` screen pixels (never past the image's edges); the
  // image pixels are rounded stochastically with `uniform` (values in [0, 1)).
  void Scroll(int dx, int dy, const std::function<double()>& uniform);
  // True when the scaled image is larger than the window, so that dragging moves it.
  bool Draggable() const;

  void ClientToImage(double cx, double cy, double& ix, double& iy) const;
  void ImageToClient(double ix, double iy, double& cx, double& cy) const;
  bool InsideImage(double cx, double cy) const;

 private:
  void Centre();
  void Clamp();
  double MaxOriginX() const;
  double MaxOriginY() const;
};
