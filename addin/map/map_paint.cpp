// Painting the view: the image with black transparent, grey around it, then the route,
// the track, the flags and the anchors. Drawn off screen and copied in one go.
#include <cmath>
#include <string>

#include "map/map_window.h"

namespace {
const COLORREF kOutside = RGB(128, 128, 128);
const COLORREF kUnderImage = RGB(255, 255, 255);
const COLORREF kAnchor = RGB(255, 0, 0);

// Pens and brushes selected for a drawing step and put back after it.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) : dc(dc), object(object), previous(SelectObject(dc, object)) {}
  ~Selected() {
    SelectObject(dc, previous);
    DeleteObject(object);
  }
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;

 private:
  HDC dc;
  HGDIOBJ object, previous;
};

void Square(HDC dc, POINT p) { Rectangle(dc, p.x - 5, p.y - 5, p.x + 5, p.y + 5); }

void DottedPath(HDC dc, const std::vector<POINT>& points, COLORREF colour) {
  if (points.size() < 2) return;
  Selected pen(dc, CreatePen(PS_DOT, 1, colour));
  Polyline(dc, points.data(), int(points.size()));
}
}  // namespace

void CMapWnd::Paint(HDC target) {
  RECT client = {0, 0, view.clientWidth, view.clientHeight};
  if (client.right <= 0 || client.bottom <= 0) return;
  HDC dc = CreateCompatibleDC(target);
  HBITMAP canvas = CreateCompatibleBitmap(target, client.right, client.bottom);
  HGDIOBJ oldCanvas = SelectObject(dc, canvas);

  HBRUSH grey = CreateSolidBrush(kOutside);
  FillRect(dc, &client, grey);
  DeleteObject(grey);

  // The visible part of the image, whole source pixels, at the current scale.
  double left = std::floor(std::max(0.0, view.originX)), top = std::floor(std::max(0.0, view.originY));
  double right = 0, bottom = 0;
  view.ClientToImage(client.right, client.bottom, right, bottom);
  right = std::min(double(view.imageWidth), std::ceil(right));
  bottom = std::min(double(view.imageHeight), std::ceil(bottom));
  if (right > left && bottom > top) {
    double x0, y0, x1, y1;
    view.ImageToClient(left, top, x0, y0);
    view.ImageToClient(right, bottom, x1, y1);
    RECT under = {LONG(std::lround(x0)), LONG(std::lround(y0)), LONG(std::lround(x1)), LONG(std::lround(y1))};
    HBRUSH white = CreateSolidBrush(kUnderImage);
    FillRect(dc, &under, white);
    DeleteObject(white);
    HDC source = CreateCompatibleDC(target);
    HGDIOBJ oldImage = SelectObject(source, image);
    GdiTransparentBlt(dc, under.left, under.top, under.right - under.left, under.bottom - under.top, source, int(left),
                      int(top), int(right - left), int(bottom - top), RGB(0, 0, 0));
    SelectObject(source, oldImage);
    DeleteDC(source);
  }
  PaintObjects(dc);

  BitBlt(target, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY);
  SelectObject(dc, oldCanvas);
  DeleteObject(canvas);
  DeleteDC(dc);
}

void CMapWnd::PaintObjects(HDC dc) {
  SetBkMode(dc, TRANSPARENT);
  HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
  COLORREF route = COLORREF(state.routeColour);

  std::vector<POINT> points, track;
  for (const MapObject& o : state.points) points.push_back(ToClient(o.x, o.y));
  for (const MapObject& o : state.track) track.push_back(ToClient(o.x, o.y));

  // Route points: joined by dotted lines unless the track is, numbered from 1.
  if (!state.trackLines) DottedPath(dc, points, route);
  {
    Selected pen(dc, CreatePen(PS_SOLID, 1, route));
    HGDIOBJ oldFont = SelectObject(dc, numberFont ? HGDIOBJ(numberFont) : GetStockObject(SYSTEM_FONT));
    SetTextColor(dc, route);
    for (size_t i = 0; i < points.size(); ++i) {
      POINT p = points[i];
      Square(dc, p);
      std::wstring number = std::to_wstring(i + 1);
      RECT box = {p.x - 15, p.y + 7, p.x + 15, p.y + 22};
      DrawTextW(dc, number.c_str(), int(number.size()), &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
    }
    SelectObject(dc, oldFont);
  }

  // Track points: small circles, joined when track lines are on.
  if (state.trackLines) DottedPath(dc, track, route);
  {
    Selected pen(dc, CreatePen(PS_SOLID, 1, route));
    for (POINT p : track) Ellipse(dc, p.x - 3, p.y - 3, p.x + 4, p.y + 4);
  }

  // Flags: a staff 20 pixels up and a banner to the right, in the flag's colour.
  for (const MapObject& o : state.flags) {
    POINT p = ToClient(o.x, o.y);
    Selected pen(dc, CreatePen(PS_SOLID, 1, COLORREF(o.colour)));
    Selected brush(dc, CreateSolidBrush(COLORREF(o.colour)));
    MoveToEx(dc, p.x, p.y, nullptr);
    LineTo(dc, p.x, p.y - 20);
    POINT banner[3] = {{p.x, p.y - 20}, {p.x + 10, p.y - 15}, {p.x, p.y - 10}};
    Polygon(dc, banner, 3);
  }

  if (state.showAnchors) {
    Selected pen(dc, CreatePen(PS_SOLID, 1, kAnchor));
    for (const MapObject& a : state.anchors) Square(dc, ToClient(a.x, a.y));
  }
  SelectObject(dc, oldBrush);
}
