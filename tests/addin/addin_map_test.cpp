// The map window under Wine and Xvfb: opening outcomes, the window and its classes, where
// the route is drawn, the copy of the state, zoom, the context menu with the web map, the
// tooltips, and a picture for the documentation.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "addin_fixture.h"
#include "map/map_geo.h"
#include "map/map_report.h"
#include "map/map_window.h"
#include "pointer.h"
#include "screenshot.h"

namespace {
const long kSetMap = 53, kShowMap = 54, kAddPoint = 55, kClearPoints = 56, kAddFlag = 57, kAddTrack = 59,
           kSetColor = 61, kAttachView = 62, kTrackLine = 63;
const COLORREF kRoute = RGB(255, 0, 255);
const double kPi = 3.14159265358979323846;

std::wstring Image(const char* name) { return HostPath((std::string(VELORA_MAP_IMAGES) + "/" + name).c_str()); }

// Anchors of test_map (400 x 300): south-west and north-east corners, nearly.
const double kLat1 = 5540.0, kLon1 = 3730.0, kLat2 = 5543.0, kLon2 = 3740.0;
const int kX1 = 40, kY1 = 260, kX2 = 360, kY2 = 40;

MapTransform TestTransform() {
  MapTransform t;
  Calibrate(MapAnchor{DegMinToRadians(kLat1), DegMinToRadians(kLon1), kX1, kY1},
            MapAnchor{DegMinToRadians(kLat2), DegMinToRadians(kLon2), kX2, kY2}, t);
  return t;
}

HWND WaitWindow(const wchar_t* cls, const wchar_t* title, DWORD ms = 5000) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND w = FindWindowW(cls, title);
    if ((w && IsWindowVisible(w)) || GetTickCount() - start > ms) return w;
    Sleep(20);
  }
}

bool WaitGone(HWND window, DWORD ms = 5000) {
  DWORD start = GetTickCount();
  while (IsWindow(window)) {
    if (GetTickCount() - start > ms) return false;
    Sleep(20);
  }
  return true;
}

MapViewReport Report(HWND view) {
  MapViewReport r = {};
  SendMessageW(view, kMapViewReport, 0, LPARAM(&r));
  return r;
}

std::string Describe(const MapViewReport& r) {
  char text[160];
  std::snprintf(text, sizeof text, "scale %.4f origin %.1f,%.1f client %dx%d", r.view.scale, r.view.originX,
                r.view.originY, r.view.clientWidth, r.view.clientHeight);
  return text;
}

std::string CursorAndView(HWND view) {
  POINT c;
  GetCursorPos(&c);
  RECT w;
  GetWindowRect(view, &w);
  char text[160];
  std::snprintf(text, sizeof text, "; cursor %ld,%ld view %ld,%ld-%ld,%ld", c.x, c.y, w.left, w.top, w.right, w.bottom);
  return text;
}

// The image point in the middle of the view.
void Middle(const MapViewReport& r, double& x, double& y) {
  r.view.ClientToImage(r.view.clientWidth / 2.0, r.view.clientHeight / 2.0, x, y);
}

// The view's pixels as shown.
struct Pixels {
  int width = 0, height = 0;
  std::vector<COLORREF> colours;
  COLORREF At(int x, int y) const { return colours[size_t(y) * size_t(width) + size_t(x)]; }
};

Pixels Capture(HWND view) {
  RedrawWindow(view, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Sleep(200);
  RECT rect;
  GetClientRect(view, &rect);
  Pixels p;
  p.width = rect.right;
  p.height = rect.bottom;
  HDC dc = GetDC(view), memory = CreateCompatibleDC(dc);
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = p.width;
  info.bmiHeader.biHeight = -p.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, p.width, p.height, dc, 0, 0, SRCCOPY);
  GdiFlush();
  const DWORD* d = static_cast<const DWORD*>(bits);
  for (int i = 0; i < p.width * p.height; ++i)
    p.colours.push_back(RGB((d[i] >> 16) & 0xFF, (d[i] >> 8) & 0xFF, d[i] & 0xFF));
  SelectObject(memory, old);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(view, dc);
  return p;
}

// A mouse message at a client point, with the real cursor moved there first, so that Wine's
// own moves at the cursor agree with the test's.
void Mouse(HWND view, UINT message, WPARAM keys, int x, int y) {
  PointerTo(view, POINT{x, y});
  SendMessageW(view, message, keys, MAKELPARAM(x, y));
}

void Key(HWND view, UINT vk, int scan) { SendMessageW(view, WM_KEYDOWN, vk, LPARAM(1 | scan << 16)); }

// The context menu at a point of the view, while it is open.
struct OpenMenu {
  HWND window = nullptr;
  HMENU menu = nullptr;
};

OpenMenu RightClick(HWND view, POINT at) {
  PostMessageW(view, WM_RBUTTONUP, 0, MAKELPARAM(at.x, at.y));
  OpenMenu m;
  m.window = WaitWindow(L"#32768", nullptr);
  if (m.window) m.menu = HMENU(SendMessageW(m.window, MN_GETHMENU, 0, 0));
  return m;
}

std::wstring ItemText(HMENU menu, int i) {
  wchar_t text[128] = {};
  GetMenuStringW(menu, UINT(i), text, 128, MF_BYPOSITION);
  return text;
}

// Chooses item i (0-based) with the keyboard, or closes the menu with Escape when i < 0.
void Choose(const OpenMenu& m, int i) {
  for (int k = 0; k <= i; ++k) PostMessageW(m.window, WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(m.window, WM_KEYDOWN, i < 0 ? VK_ESCAPE : VK_RETURN, 0);
  WaitGone(m.window);
}

// Window frames are drawn by Wine itself only for windows made after this is set.
class Frames : public ::testing::Environment {
 public:
  void SetUp() override { DrawWindowFrames(); }
};
const ::testing::Environment* const kFrames = ::testing::AddGlobalTestEnvironment(new Frames);

class MapWindow : public AddInTest {
 protected:
  void SetUp() override {
    // Off the windows the tests open, so that no move of Wine's own lands on a view.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    AddInTest::SetUp();
  }
  void TearDown() override {
    for (HWND w : opened) {
      PostMessageW(w, WM_CLOSE, 0, 0);
      WaitGone(w);
    }
    AddInTest::TearDown();
  }
  long SetMap(const std::wstring& image) {
    return Func(kSetMap, {Variant(image), Variant(kLat1), Variant(kLon1), Variant(kLat2), Variant(kLon2),
                          Variant(kX1), Variant(kY1), Variant(kX2), Variant(kY2)});
  }
  void AddPoint(double lat, double lon, const std::wstring& name, const std::wstring& text = L"") {
    EXPECT_EQ(S_OK, CallProc(kAddPoint, {Variant(lat), Variant(lon), Variant(name), Variant(text)}));
  }
  // Opens a window; its frame and view.
  HWND Show(const std::wstring& title, HWND* view = nullptr) {
    EXPECT_EQ(0, Func(kShowMap, {Variant(title)}));
    HWND frame = WaitWindow(L"MAP", title.substr(0, 127).c_str());
    if (frame) opened.push_back(frame);
    if (view) *view = frame ? FindWindowExW(frame, nullptr, L"MAPVIEW", nullptr) : nullptr;
    return frame;
  }
  POINT ClientOf(const MapViewReport& r, double lat, double lon) {
    int x = 0, y = 0;
    TestTransform().ToImage(DegMinToRadians(lat), DegMinToRadians(lon), x, y);
    double cx = 0, cy = 0;
    r.view.ImageToClient(x, y, cx, cy);
    return POINT{LONG(std::floor(cx + 0.5)), LONG(std::floor(cy + 0.5))};
  }
  std::vector<HWND> opened;
};

TEST_F(MapWindow, OutcomesOfOpening) {
  struct Case {
    const char* what;
    std::wstring image;
    double lat2;
    int x2;
    long outcome;
  } cases[] = {
    {"same latitude", Image("test_map.png"), kLat1, kX2, 1},
    {"same pixel column", Image("test_map.png"), kLat2, kX1, 1},
    {"missing image", Image("no_such_map.png"), kLat2, kX2, 2},
    {"undecodable image", Image("broken.png"), kLat2, kX2, 2},
    {"path past 259 characters", Image("test_map.png") + std::wstring(300, L'x'), kLat2, kX2, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(0, Func(kSetMap, {Variant(c.image), Variant(kLat1), Variant(kLon1), Variant(c.lat2), Variant(kLon2),
                                Variant(kX1), Variant(kY1), Variant(c.x2), Variant(kY2)}));
    EXPECT_EQ(c.outcome, Func(kShowMap, {Variant(L"Карта не открывается")}));
    EXPECT_EQ(nullptr, FindWindowW(L"MAP", nullptr));
  }
  // Every image format the platform decodes opens.
  for (const char* name : {"test_map.png", "test_map.jpg", "test_map.gif", "test_map.bmp"}) {
    SCOPED_TRACE(name);
    ASSERT_EQ(0, SetMap(Image(name)));
    HWND view = nullptr;
    HWND frame = Show(std::wstring(name, name + strlen(name)), &view);
    ASSERT_NE(nullptr, view);
    MapViewReport r = Report(view);
    EXPECT_EQ(400, r.view.imageWidth);
    EXPECT_EQ(300, r.view.imageHeight);
    PostMessageW(frame, WM_CLOSE, 0, 0);
    EXPECT_TRUE(WaitGone(frame));
  }
}

// A window whose thread cannot be started answers 100 and nothing opens.
TEST_F(MapWindow, ThreadThatCannotStartGives100) {
  ASSERT_EQ(0, SetMap(Image("test_map.png")));
  MapThreadStarter refuse = [](LPTHREAD_START_ROUTINE, void*) -> HANDLE {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  };
  EXPECT_EQ(100, ShowMapWindow(L"Без потока", refuse));
  EXPECT_EQ(nullptr, FindWindowW(L"MAP", nullptr));
}

TEST_F(MapWindow, RouteIsDrawnWhereTheTransformationPutsIt) {
  ASSERT_EQ(0, SetMap(Image("test_map.png")));
  EXPECT_EQ(S_OK, CallProc(kSetColor, {Variant(255), Variant(0), Variant(255)}));
  EXPECT_EQ(S_OK, CallProc(kTrackLine, {Variant(1)}));  // no route lines near the squares
  AddPoint(5541.0, 3733.0, L"Магазин");
  AddPoint(5542.2, 3737.5, L"Склад");
  std::wstring title(200, L'К');
  HWND view = nullptr;
  HWND frame = Show(title, &view);
  ASSERT_NE(nullptr, frame);
  ASSERT_NE(nullptr, view);
  // The title cut to 127 characters, the classes, the view filling the window.
  wchar_t text[300] = {};
  GetWindowTextW(frame, text, 300);
  EXPECT_EQ(std::wstring(127, L'К'), text);
  wchar_t cls[32] = {};
  GetClassNameW(view, cls, 32);
  EXPECT_EQ(std::wstring(L"MAPVIEW"), cls);
  MapViewReport r = Report(view);
  RECT client;
  GetClientRect(frame, &client);
  EXPECT_EQ(client.right, r.view.clientWidth);
  EXPECT_EQ(client.bottom, r.view.clientHeight);
  ASSERT_EQ(1.0, r.view.scale) << "the test map is to fit the default window";

  Pixels shot = Capture(view);
  for (auto [lat, lon] : {std::pair<double, double>{5541.0, 3733.0}, {5542.2, 3737.5}}) {
    SCOPED_TRACE(lat);
    POINT p = ClientOf(r, lat, lon);
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
    for (int y = p.y - 8; y <= p.y + 6; ++y)
      for (int x = p.x - 8; x <= p.x + 8; ++x)
        if (x >= 0 && y >= 0 && x < shot.width && y < shot.height && shot.At(x, y) == kRoute) {
          left = std::min(left, x), right = std::max(right, x);
          top = std::min(top, y), bottom = std::max(bottom, y);
        }
    // A 10 x 10 square centred on the point.
    EXPECT_NEAR(p.x - 5, left, 1);
    EXPECT_NEAR(p.x + 4, right, 1);
    EXPECT_NEAR(p.y - 5, top, 1);
    EXPECT_NEAR(p.y + 4, bottom, 1);
  }
  // Grey around the image; the black block of the image shows what is under it (white).
  EXPECT_EQ(RGB(128, 128, 128), shot.At(2, 2));
  double bx = 0, by = 0;
  r.view.ImageToClient(320, 260, bx, by);
  EXPECT_EQ(RGB(255, 255, 255), shot.At(int(bx), int(by)));
  double fx = 0, fy = 0;
  r.view.ImageToClient(20, 20, fx, fy);
  EXPECT_EQ(RGB(0xE4, 0xEE, 0xD8), shot.At(int(fx), int(fy)));
  Screenshot(std::string(VELORA_MAP_SHOTS) + "/map-route-test.png", frame);
}

// The window keeps the state of its opening; the next one shows what was added since, and
// both are open at once, each on its own thread.
TEST_F(MapWindow, OpenWindowKeepsItsCopy) {
  ASSERT_EQ(0, SetMap(Image("test_map.png")));
  AddPoint(5541.0, 3733.0, L"Первая");
  AddPoint(5542.0, 3735.0, L"Вторая");
  HWND first = nullptr;
  ASSERT_NE(nullptr, Show(L"Первое окно", &first));
  AddPoint(5542.5, 3738.0, L"Третья");
  EXPECT_EQ(2, Report(first).points);
  HWND second = nullptr;
  ASSERT_NE(nullptr, Show(L"Второе окно", &second));
  EXPECT_EQ(3, Report(second).points);
  EXPECT_EQ(2, Report(first).points);
  EXPECT_NE(GetWindowThreadProcessId(first, nullptr), GetWindowThreadProcessId(second, nullptr));
  EXPECT_EQ(S_OK, CallProc(kClearPoints, {}));
  EXPECT_EQ(3, Report(second).points);
}

TEST_F(MapWindow, ZoomAboutTheMiddleAndBack) {
  ASSERT_EQ(0, SetMap(Image("city_map.png")));
  HWND view = nullptr;
  HWND frame = Show(L"Масштаб", &view);
  ASSERT_NE(nullptr, frame);
  // A window smaller than the map: fitted below scale 1.
  SetWindowPos(frame, nullptr, 0, 0, 400, 300, SWP_NOZORDER | SWP_NOMOVE);
  MapViewReport fitted = Report(view);
  ASSERT_LT(fitted.view.scale, 1.0);
  double mx = 0, my = 0;
  Middle(fitted, mx, my);

  struct Step {
    const char* what;
    UINT vk;
    int scan;
    int wheel;
    double factor;
  } steps[] = {
    {"equals key", VK_OEM_PLUS, 13, 0, 1.1},
    {"numeric plus", VK_ADD, 78, 0, 1.1},
    {"minus key", VK_OEM_MINUS, 12, 0, 1 / 1.1},
    {"numeric minus", VK_SUBTRACT, 74, 0, 1 / 1.1},
    {"wheel forward", 0, 0, 120, 1 + 0.0012 * 120},
    {"wheel back", 0, 0, -240, 1 / (1 + 0.0012 * 240)},
  };
  double scale = fitted.view.scale;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    if (s.wheel) SendMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, s.wheel), 0);
    else Key(view, s.vk, s.scan);
    MapViewReport r = Report(view);
    scale *= s.factor;
    EXPECT_NEAR(scale, r.view.scale, 1e-9);
    double x = 0, y = 0;
    Middle(r, x, y);
    EXPECT_NEAR(mx, x, 1.0);
    EXPECT_NEAR(my, y, 1.0);
  }
  // The arrow keys move the view by 30 screen pixels.
  for (int i = 0; i < 3; ++i) Key(view, VK_OEM_PLUS, 13);
  MapViewReport before = Report(view);
  Key(view, VK_RIGHT, 77);
  Key(view, VK_DOWN, 80);
  MapViewReport after = Report(view);
  // (by less where the image's edge comes first)
  double roomX = before.view.imageWidth - before.view.clientWidth / before.view.scale - before.view.originX;
  double roomY = before.view.imageHeight - before.view.clientHeight / before.view.scale - before.view.originY;
  EXPECT_NEAR(std::min(30 / before.view.scale, roomX), after.view.originX - before.view.originX, 1.0);
  EXPECT_NEAR(std::min(30 / before.view.scale, roomY), after.view.originY - before.view.originY, 1.0);
  Key(view, VK_LEFT, 75);
  Key(view, VK_UP, 72);
  MapViewReport back = Report(view);
  EXPECT_NEAR(std::min(30 / before.view.scale, after.view.originX), after.view.originX - back.view.originX, 1.0);
  EXPECT_NEAR(std::min(30 / before.view.scale, after.view.originY), after.view.originY - back.view.originY, 1.0);

  // Dragging with the left button moves the map with the mouse.
  MapViewReport held = Report(view);
  Mouse(view, WM_LBUTTONDOWN, MK_LBUTTON, 200, 150);
  Mouse(view, WM_MOUSEMOVE, MK_LBUTTON, 170, 130);
  Mouse(view, WM_LBUTTONUP, 0, 170, 130);
  MapViewReport dragged = Report(view);
  EXPECT_NEAR(std::min(30 / held.view.scale, held.view.imageWidth - held.view.clientWidth / held.view.scale - held.view.originX),
              dragged.view.originX - held.view.originX, 1.0);
  EXPECT_NEAR(std::min(20 / held.view.scale, held.view.imageHeight - held.view.clientHeight / held.view.scale - held.view.originY),
              dragged.view.originY - held.view.originY, 1.0);
  Mouse(view, WM_MOUSEMOVE, 0, 100, 100);  // released: moving no longer drags
  EXPECT_EQ(dragged.view.originX, Report(view).view.originX);

  // The menu's "Полный размер" and "По размерам окна".
  OpenMenu menu = RightClick(view, POINT{100, 100});
  ASSERT_NE(nullptr, menu.menu);
  EXPECT_EQ(L"Полный размер", ItemText(menu.menu, 3));
  Choose(menu, 3);
  EXPECT_EQ(1.0, Report(view).view.scale);
  menu = RightClick(view, POINT{100, 100});
  ASSERT_NE(nullptr, menu.menu);
  EXPECT_EQ(L"По размерам окна", ItemText(menu.menu, 2));
  Choose(menu, 2);
  EXPECT_NEAR(fitted.view.scale, Report(view).view.scale, 1e-9);
}

class HttpProgram {
 public:
  HttpProgram() {
    LONG size = sizeof(saved);
    had = RegQueryValueW(HKEY_CLASSES_ROOT, kKey, saved, &size) == ERROR_SUCCESS;
    std::wstring exe = ExeDir() + L"url_recorder.exe";
    DeleteFileW((ExeDir() + L"url_recorder.txt").c_str());
    // As browsers register themselves: quoted, with arguments after the program.
    std::wstring command = L"\"" + exe + L"\" -nohome \"%1\"";
    RegSetValueW(HKEY_CLASSES_ROOT, kKey, REG_SZ, command.c_str(), DWORD(command.size() * sizeof(wchar_t)));
  }
  ~HttpProgram() {
    if (had) RegSetValueW(HKEY_CLASSES_ROOT, kKey, REG_SZ, saved, DWORD(wcslen(saved) * sizeof(wchar_t)));
  }
  // The command line the program was started with; empty when it did not start in time.
  std::wstring Started(DWORD ms = 10000) {
    std::wstring path = ExeDir() + L"url_recorder.txt";
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
      HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
      if (file != INVALID_HANDLE_VALUE) {
        wchar_t text[1024] = {};
        DWORD n = 0;
        ReadFile(file, text, sizeof(text) - 2, &n, nullptr);
        CloseHandle(file);
        if (n) return text;
      }
      Sleep(50);
    }
    return L"";
  }

 private:
  static constexpr const wchar_t* kKey = L"http\\shell\\open\\command";
  wchar_t saved[1024] = {};
  bool had = false;
};

TEST_F(MapWindow, ContextMenuOpensTheClickedPlace) {
  HttpProgram browser;
  ASSERT_EQ(0, SetMap(Image("test_map.png")));
  HWND view = nullptr;
  ASSERT_NE(nullptr, Show(L"Веб-карта", &view));
  MapViewReport r = Report(view);
  ASSERT_EQ(1.0, r.view.scale);

  // Outside the image the last item is greyed.
  OpenMenu menu = RightClick(view, POINT{2, 2});
  ASSERT_NE(nullptr, menu.menu);
  ASSERT_EQ(5, GetMenuItemCount(menu.menu));
  const wchar_t* items[] = {L"Увеличить", L"Уменьшить", L"По размерам окна", L"Полный размер",
                            L"Смотреть в maps.google.com"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(items[i], ItemText(menu.menu, i));
  EXPECT_TRUE(GetMenuState(menu.menu, 4, MF_BYPOSITION) & MF_GRAYED);
  Choose(menu, -1);

  // Inside it starts the http program with the place's latitude and longitude.
  double cx = 0, cy = 0;
  r.view.ImageToClient(250, 120, cx, cy);
  POINT at = {LONG(cx), LONG(cy)};
  menu = RightClick(view, at);
  ASSERT_NE(nullptr, menu.menu);
  EXPECT_FALSE(GetMenuState(menu.menu, 4, MF_BYPOSITION) & MF_GRAYED);
  Choose(menu, 4);
  std::wstring command = browser.Started();
  ASSERT_FALSE(command.empty()) << "the http program did not start";
  EXPECT_NE(std::wstring::npos, command.find(L"http://maps.google.com/?ie=UTF8&t=h&ll=")) << command.c_str();
  EXPECT_EQ(std::wstring::npos, command.find(L"-nohome"));  // the program alone, with the URL
  double lat = 0, lon = 0;
  size_t ll = command.find(L"ll=");
  ASSERT_NE(std::wstring::npos, ll);
  ASSERT_EQ(2, swscanf(command.c_str() + ll, L"ll=%lf,%lf", &lat, &lon));
  double ix = 0, iy = 0, phi = 0, lambda = 0;
  r.view.ClientToImage(at.x, at.y, ix, iy);
  TestTransform().FromImage(ix, iy, phi, lambda);
  EXPECT_NEAR(phi * 180 / kPi, lat, 1e-4);
  EXPECT_NEAR(lambda * 180 / kPi, lon, 1e-4);
}

TEST_F(MapWindow, TooltipsOfObjects) {
  ASSERT_EQ(0, SetMap(Image("test_map.png")));
  AddPoint(5541.0, 3733.0, L"Магазин «Ромашка»", L"ул. Ленина, 5; с 9 до 18");
  AddPoint(5542.0, 3737.0, L"");
  AddPoint(5542.5, 3735.0, std::wstring(100, L'Д'));
  HWND view = nullptr;
  ASSERT_NE(nullptr, Show(L"Подсказки", &view));
  MapViewReport r = Report(view);
  EXPECT_EQ(L"This string need not empty.", std::wstring(r.tipText));
  EXPECT_FALSE(r.tipShown);

  struct Case {
    double lat, lon;
    std::wstring text;
  } cases[] = {
    {5541.0, 3733.0, L"Магазин «Ромашка» [55:41'00.00\" N 37:33'00.00\" E]"},
    {5542.0, 3737.0, L"55:42'00.00\" N 37:37'00.00\" E"},
    {5542.5, 3735.0, std::wstring(63, L'Д') + L" [55:42'30.00\" N 37:35'00.00\" E]"},
  };
  for (const Case& c : cases) {
    POINT p = ClientOf(r, c.lat, c.lon);
    Mouse(view, WM_MOUSEMOVE, 0, p.x, p.y + 2);
    MapViewReport now = Report(view);
    EXPECT_TRUE(now.tipShown) << "at " << p.x << "," << p.y << "; view then " << Describe(r) << ", now "
                              << Describe(now) << CursorAndView(view);
    EXPECT_EQ(c.text, std::wstring(now.tipText));
    EXPECT_EQ(RGB(255, 255, 208), now.tipBackground);
    // The balloon is up and painted in that colour.
    HWND tip = FindWindowW(L"tooltips_class32", nullptr);
    ASSERT_TRUE(tip && IsWindowVisible(tip));
    HDC dc = GetDC(tip);
    RECT box;
    GetClientRect(tip, &box);
    int painted = 0;
    for (int x = 0; x < box.right; ++x) painted += GetPixel(dc, x, box.bottom / 2) == RGB(255, 255, 208);
    EXPECT_GT(painted, box.right / 4);
    ReleaseDC(tip, dc);
    Mouse(view, WM_MOUSEMOVE, 0, 2, 2);
    EXPECT_FALSE(Report(view).tipShown);
  }
  // A click on a point with a description shows it, on white.
  POINT p = ClientOf(r, 5541.0, 3733.0);
  Mouse(view, WM_MOUSEMOVE, 0, p.x, p.y);  // the pointer comes there first, as a hand does
  Mouse(view, WM_LBUTTONDOWN, MK_LBUTTON, p.x, p.y);
  Mouse(view, WM_LBUTTONUP, 0, p.x, p.y);
  MapViewReport clicked = Report(view);
  EXPECT_TRUE(clicked.tipShown);
  EXPECT_EQ(L"ул. Ленина, 5; с 9 до 18", std::wstring(clicked.tipText));
  EXPECT_EQ(RGB(255, 255, 255), clicked.tipBackground);
}

// The picture in the README: a town with a route, a track, flags and the anchors.
TEST_F(MapWindow, PictureForTheDocumentation) {
  // Anchors on the city map (640 x 480).
  ASSERT_EQ(0, Func(kSetMap, {Variant(Image("city_map.png")), Variant(5545.0), Variant(3735.0), Variant(5547.0),
                              Variant(3740.0), Variant(60), Variant(420), Variant(580), Variant(60)}));
  EXPECT_EQ(S_OK, CallProc(kAttachView, {Variant(1)}));
  EXPECT_EQ(S_OK, CallProc(kSetColor, {Variant(150), Variant(0), Variant(210)}));
  const double route[][2] = {{5545.6, 3736.0}, {5546.2, 3736.4}, {5546.4, 3737.6}, {5546.0, 3738.6}, {5546.7, 3739.2}};
  const wchar_t* names[] = {L"Магазин «Ромашка»", L"Киоск у парка", L"Гастроном №3", L"Универсам", L"Склад"};
  for (int i = 0; i < 5; ++i) AddPoint(route[i][0], route[i][1], names[i], L"Заказ принят");
  for (int i = 0; i <= 12; ++i) {
    double t = i / 12.0;
    EXPECT_EQ(S_OK, CallProc(kAddTrack, {Variant(5545.5 + 1.1 * t + 0.15 * std::sin(t * 6)), Variant(3735.8 + 3.4 * t),
                                         Variant(L"")}));
  }
  EXPECT_EQ(S_OK, CallProc(kAddFlag, {Variant(5546.3), Variant(3738.0), Variant(L"Новый клиент"), Variant(L""),
                                      Variant(0), Variant(140), Variant(0)}));
  EXPECT_EQ(S_OK, CallProc(kAddFlag, {Variant(5545.8), Variant(3739.4), Variant(L"Возврат"), Variant(L""),
                                      Variant(0), Variant(0), Variant(200)}));
  HWND view = nullptr;
  HWND frame = Show(L"Маршрут агента: Иванов И. И., 11.12.2026", &view);
  ASSERT_NE(nullptr, frame);
  SetWindowPos(frame, nullptr, 0, 0, 700, 560, SWP_NOZORDER | SWP_NOMOVE);
  MapViewReport r = Report(view);
  ASSERT_NE(nullptr, view);
  Sleep(300);
  EXPECT_TRUE(Screenshot(std::string(VELORA_MAP_SHOTS) + "/map-window.png", frame));
}
}  // namespace
