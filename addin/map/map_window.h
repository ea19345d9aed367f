// CMapWnd: one map window with its own thread and message loop. It copies the shared map
// state when it opens, so later method calls leave it as it was; it scales and scrolls
// the image, draws the route over it, shows tooltips for the objects and opens a clicked
// place in the web map service.
#pragma once
#include <windows.h>

#include <random>
#include <string>

#include "map/map_geo.h"
#include "map/map_hit.h"
#include "map/map_state.h"
#include "map/map_view.h"

// Starts a thread as CreateThread would (a seam for the tests); null when it cannot.
typedef HANDLE (*MapThreadStarter)(LPTHREAD_START_ROUTINE routine, void* parameter);

// Outcomes of opening a window.
enum MapShowResult : long {
  kMapShown = 0,
  kMapNotCalibrated = 1,
  kMapNoImage = 2,
  kMapWindowFailed = 100,
};

// Opens a window titled `title` (cut to 127 characters) on a new thread and waits for the
// outcome of opening it.
long ShowMapWindow(const std::wstring& title, MapThreadStarter starter = nullptr);

// The host name of the web map service that the context menu opens.
extern const wchar_t kWebMapHost[];

class CMapWnd {
 public:
  CMapWnd();
  virtual ~CMapWnd();
  CMapWnd(const CMapWnd&) = delete;
  CMapWnd& operator=(const CMapWnd&) = delete;

  // Steps of opening, on the window's thread: the copy, calibration, image, windows.
  long Open(const wchar_t* title);
  // The thread's message loop, until the window is destroyed.
  void Run();

 private:
  template <HWND CMapWnd::*Window, LRESULT (CMapWnd::*Handler)(UINT, WPARAM, LPARAM)>
  static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnFrame(UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnView(UINT message, WPARAM wParam, LPARAM lParam);

  bool CreateWindows(const wchar_t* title);
  void Command(int id, POINT at);
  void ContextMenu(POINT at);
  void OpenWebMap(POINT at);
  void Scroll(int dx, int dy);
  void Changed();  // after a zoom or a scroll: the tooltip goes, the view is painted again
  void Paint(HDC dc);
  void PaintObjects(HDC dc);
  MapScreenObjects ScreenObjects() const;
  POINT ToClient(int imageX, int imageY) const;
  const MapObject* HitObject(const MapHit& hit) const;
  void MouseMove(POINT at);
  void LeftDown(POINT at);
  bool SetMapCursor();
  void ShowTip(const std::wstring& text, COLORREF background, int maxWidth, POINT at);
  void HideTip();
  void Report(struct MapViewReport* report) const;

  MapState state;
  MapTransform transform;
  HBITMAP image = nullptr;
  MapView view;
  HWND frame = nullptr, viewWindow = nullptr, tooltip = nullptr;
  HFONT numberFont = nullptr;
  std::mt19937 random;
  bool dragging = false, minimised = false, tipShown = false;
  POINT dragFrom = {};
  MapHit hover;
  std::wstring tipText;
  COLORREF tipBackground = 0;
};
