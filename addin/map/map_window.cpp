#include "map/map_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include <cmath>
#include <ctime>
#include <new>
#include <mutex>

#include "map/map_image.h"
#include "map/map_report.h"
#include "module.h"
#include "names.h"
#include "res/resource.h"

namespace {
const wchar_t kFrameClass[] = L"MAP";
const wchar_t kViewClass[] = L"MAPVIEW";
const wchar_t kNoObjectTip[] = L"This string need not empty.";
const size_t kMaxTitle = 127;
const DWORD kReportStepMs = 100;
const COLORREF kNameTip = RGB(255, 255, 208);
const COLORREF kDescriptionTip = RGB(255, 255, 255);
const int kDescriptionWidth = 300;
const int kNameWidth = 1000;
const int kArrowStep = 30;
const double kZoomStep = 1.1;

// What the opening thread is given and what it reports back; lives on the caller's stack
// until `reported` is set.
struct OpenRequest {
  wchar_t title[kMaxTitle + 1];
  HANDLE reported;
  long outcome;
  HMODULE module;
};

DWORD WINAPI WindowThread(void* parameter) {
  OpenRequest* request = static_cast<OpenRequest*>(parameter);
  HMODULE module = request->module;
  HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  CMapWnd* window = new (std::nothrow) CMapWnd();
  long outcome = window ? window->Open(request->title) : kMapWindowFailed;
  request->outcome = outcome;
  SetEvent(request->reported);  // the request is the caller's again from here
  if (window && outcome == kMapShown) window->Run();
  delete window;
  if (SUCCEEDED(com)) CoUninitialize();
  ModuleLock(false);
  FreeLibraryAndExitThread(module, 0);
  return 0;
}

HANDLE StartWithCreateThread(LPTHREAD_START_ROUTINE routine, void* parameter) {
  return CreateThread(nullptr, 0, routine, parameter, 0, nullptr);
}

bool RegisterClasses(WNDPROC frameProc, WNDPROC viewProc) {
  HINSTANCE module = AddInModule();
  WNDCLASSEXW frame = {};
  frame.cbSize = sizeof(frame);
  frame.style = CS_HREDRAW | CS_VREDRAW;
  frame.lpfnWndProc = frameProc;
  frame.hInstance = module;
  frame.hIcon = HICON(LoadImageW(module, MAKEINTRESOURCEW(IDI_MAP), IMAGE_ICON, GetSystemMetrics(SM_CXICON),
                                 GetSystemMetrics(SM_CYICON), 0));
  frame.hIconSm = HICON(LoadImageW(module, MAKEINTRESOURCEW(IDI_MAP), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                   GetSystemMetrics(SM_CYSMICON), 0));
  frame.hCursor = LoadCursor(nullptr, IDC_ARROW);
  frame.hbrBackground = HBRUSH(COLOR_WINDOW + 1);
  frame.lpszClassName = kFrameClass;
  WNDCLASSEXW view = {};
  view.cbSize = sizeof(view);
  view.style = CS_HREDRAW | CS_VREDRAW;
  view.lpfnWndProc = viewProc;
  view.hInstance = module;
  view.hCursor = nullptr;  // set by the view as the mouse moves
  view.lpszClassName = kViewClass;
  // Several windows share the classes; registering again is no failure.
  bool ok = true;
  WNDCLASSEXW known = {};
  known.cbSize = sizeof(known);
  if (!GetClassInfoExW(module, kFrameClass, &known)) ok = RegisterClassExW(&frame) != 0;
  if (ok && !GetClassInfoExW(module, kViewClass, &known)) ok = RegisterClassExW(&view) != 0;
  return ok;
}

HCURSOR Cursor(int id) { return LoadCursorW(AddInModule(), MAKEINTRESOURCEW(id)); }
}  // namespace

long ShowMapWindow(const std::wstring& title, MapThreadStarter starter) {
  OpenRequest request = {};
  CopyField(request.title, title);
  request.outcome = kMapWindowFailed;
  request.reported = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (!request.reported) return kMapWindowFailed;
  // The thread holds the DLL loaded while its window is open.
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WindowThread),
                          &request.module)) {
    CloseHandle(request.reported);
    return kMapWindowFailed;
  }
  ModuleLock(true);
  HANDLE thread = (starter ? starter : StartWithCreateThread)(WindowThread, &request);
  if (!thread) {
    ModuleLock(false);
    FreeLibrary(request.module);
    CloseHandle(request.reported);
    return kMapWindowFailed;
  }
  // Wait for the report; a thread that ends without one failed.
  HANDLE both[2] = {request.reported, thread};
  while (WaitForMultipleObjects(2, both, FALSE, kReportStepMs) == WAIT_TIMEOUT) {
  }
  long outcome = WaitForSingleObject(request.reported, 0) == WAIT_OBJECT_0 ? request.outcome : kMapWindowFailed;
  CloseHandle(thread);
  CloseHandle(request.reported);
  return outcome;
}

CMapWnd::CMapWnd() : random(unsigned(time(nullptr))) {}

CMapWnd::~CMapWnd() {
  if (frame) DestroyWindow(frame);
  if (image) DeleteObject(image);
  if (numberFont) DeleteObject(numberFont);
}

long CMapWnd::Open(const wchar_t* title) {
  {
    std::lock_guard<std::mutex> hold(SharedMapLock());
    state = SharedMapState();
  }
  MapAnchor first{state.anchors[0].latitude, state.anchors[0].longitude, state.anchors[0].x, state.anchors[0].y};
  MapAnchor second{state.anchors[1].latitude, state.anchors[1].longitude, state.anchors[1].x, state.anchors[1].y};
  if (!Calibrate(first, second, transform)) return kMapNotCalibrated;
  for (auto* list : {&state.points, &state.flags, &state.track})
    for (MapObject& o : *list) transform.ToImage(o.latitude, o.longitude, o.x, o.y);
  image = LoadMapImage(state.imagePath, view.imageWidth, view.imageHeight);
  if (!image) return kMapNoImage;
  if (!CreateWindows(title)) return kMapWindowFailed;
  RECT client = {};
  GetClientRect(frame, &client);
  view.clientWidth = client.right;
  view.clientHeight = client.bottom;
  view.Fit();
  ShowWindow(frame, SW_SHOW);
  UpdateWindow(frame);
  return kMapShown;
}

bool CMapWnd::CreateWindows(const wchar_t* title) {
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
  InitCommonControlsEx(&controls);
  if (!RegisterClasses(Proc<&CMapWnd::frame, &CMapWnd::OnFrame>, Proc<&CMapWnd::viewWindow, &CMapWnd::OnView>))
    return false;
  HINSTANCE module = AddInModule();
  frame = CreateWindowExW(0, kFrameClass, title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, nullptr, nullptr, module, this);
  if (!frame) return false;
  RECT client = {};
  GetClientRect(frame, &client);
  viewWindow = CreateWindowExW(0, kViewClass, nullptr, WS_CHILD | WS_VISIBLE, 0, 0, client.right, client.bottom,
                               frame, nullptr, module, this);
  tooltip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP | TTS_BALLOON,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, frame, nullptr, module, nullptr);
  if (!viewWindow || !tooltip) return false;
  TOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
  tool.hwnd = viewWindow;
  tool.uId = 1;
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  if (!SendMessageW(tooltip, TTM_ADDTOOLW, 0, LPARAM(&tool))) return false;
  SendMessageW(tooltip, TTM_SETTIPTEXTCOLOR, RGB(0, 0, 0), 0);
  // The numbers: the system font's face at 8 points for the screen.
  LOGFONTW font = {};
  GetObjectW(GetStockObject(SYSTEM_FONT), sizeof(font), &font);
  HDC screen = GetDC(nullptr);
  font.lfHeight = -MulDiv(8, GetDeviceCaps(screen, LOGPIXELSY), 72);
  font.lfWidth = 0;
  ReleaseDC(nullptr, screen);
  numberFont = CreateFontIndirectW(&font);
  SetFocus(viewWindow);
  return true;
}

void CMapWnd::Run() {
  MSG message;
  while (frame && GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

// The frame's and the view's window procedures: the object comes with WM_NCCREATE and
// answers while the window is still its own (not after WM_DESTROY).
template <HWND CMapWnd::*Window, LRESULT (CMapWnd::*Handler)(UINT, WPARAM, LPARAM)>
LRESULT CALLBACK CMapWnd::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    CMapWnd* self = reinterpret_cast<CMapWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, LONG_PTR(self));
    self->*Window = window;
  }
  CMapWnd* self = reinterpret_cast<CMapWnd*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || self->*Window != window) return DefWindowProcW(window, message, wParam, lParam);
  return (self->*Handler)(message, wParam, lParam);
}

LRESULT CMapWnd::OnFrame(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) {
        minimised = true;
        return 0;
      }
      if (viewWindow) {
        MoveWindow(viewWindow, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
        view.clientWidth = LOWORD(lParam);
        view.clientHeight = HIWORD(lParam);
        // Coming back from the task bar keeps the view as it was.
        if (!minimised) view.Fit();
        minimised = false;
        Changed();
      }
      return 0;
    case WM_SETFOCUS:
      if (viewWindow) SetFocus(viewWindow);
      return 0;
    case WM_MOUSEWHEEL:
      if (viewWindow) return SendMessageW(viewWindow, message, wParam, lParam);
      break;
    case WM_DESTROY: {
      HWND window = frame;
      frame = nullptr;  // from here on the window's messages go to DefWindowProc
      viewWindow = nullptr;
      tooltip = nullptr;
      PostQuitMessage(0);
      return DefWindowProcW(window, message, wParam, lParam);
    }
  }
  return DefWindowProcW(frame, message, wParam, lParam);
}

LRESULT CMapWnd::OnView(UINT message, WPARAM wParam, LPARAM lParam) {
  HWND self = viewWindow;
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(self, &paint);
      Paint(dc);
      EndPaint(self, &paint);
      return 0;
    }
    case WM_KEYDOWN:
      switch ((lParam >> 16) & 0xFF) {
        case 13:
        case 78:
          Command(1, POINT{});
          break;
        case 12:
        case 74:
          Command(2, POINT{});
          break;
        case 72:
          Scroll(0, -kArrowStep);
          break;
        case 80:
          Scroll(0, kArrowStep);
          break;
        case 75:
          Scroll(-kArrowStep, 0);
          break;
        case 77:
          Scroll(kArrowStep, 0);
          break;
      }
      return 0;
    case WM_MOUSEWHEEL: {
      double delta = GET_WHEEL_DELTA_WPARAM(wParam);
      view.Zoom(delta > 0 ? 1 + 0.0012 * delta : 1 / (1 - 0.0012 * delta));
      Changed();
      return 0;
    }
    case WM_MOUSEMOVE:
      MouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_LBUTTONDOWN:
      SetFocus(self);
      LeftDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_LBUTTONUP:
      if (dragging) ReleaseCapture();
      dragging = false;
      SetMapCursor();
      return 0;
    case WM_CAPTURECHANGED:
      dragging = false;
      return 0;
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && SetMapCursor()) return TRUE;
      break;
    case WM_RBUTTONUP:
      ContextMenu(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_NOTIFY: {
      NMHDR* header = reinterpret_cast<NMHDR*>(lParam);
      if (header->hwndFrom == tooltip && header->code == TTN_GETDISPINFOW) {
        NMTTDISPINFOW* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
        info->lpszText = const_cast<wchar_t*>(tipText.empty() ? kNoObjectTip : tipText.c_str());
        return 0;
      }
      if (header->hwndFrom == tooltip && header->code == NM_CLICK) {
        HideTip();
        return 0;
      }
      break;
    }
    default:
      if (message == kMapViewReport) {
        Report(reinterpret_cast<MapViewReport*>(lParam));
        return 1;
      }
  }
  return DefWindowProcW(self, message, wParam, lParam);
}

void CMapWnd::Scroll(int dx, int dy) {
  view.Scroll(dx, dy, [this] { return std::uniform_real_distribution<double>(0, 1)(random); });
  Changed();
}

void CMapWnd::Changed() {
  HideTip();
  hover = MapHit();
  if (viewWindow) InvalidateRect(viewWindow, nullptr, FALSE);
}

POINT CMapWnd::ToClient(int imageX, int imageY) const {
  double x = 0, y = 0;
  view.ImageToClient(imageX, imageY, x, y);
  return POINT{LONG(std::floor(x + 0.5)), LONG(std::floor(y + 0.5))};
}

MapScreenObjects CMapWnd::ScreenObjects() const {
  MapScreenObjects objects;
  objects.showAnchors = state.showAnchors;
  auto spots = [this](const MapObject* begin, const MapObject* end, std::vector<MapScreenObjects::Spot>& out) {
    for (const MapObject* o = begin; o != end; ++o) {
      POINT p = ToClient(o->x, o->y);
      out.push_back(MapScreenObjects::Spot{int(p.x), int(p.y)});
    }
  };
  spots(state.anchors, state.anchors + 2, objects.anchors);
  spots(state.points.data(), state.points.data() + state.points.size(), objects.points);
  spots(state.flags.data(), state.flags.data() + state.flags.size(), objects.flags);
  spots(state.track.data(), state.track.data() + state.track.size(), objects.track);
  return objects;
}

const MapObject* CMapWnd::HitObject(const MapHit& hit) const {
  switch (hit.kind) {
    case MapHit::kAnchor: return &state.anchors[hit.index];
    case MapHit::kPoint: return &state.points[size_t(hit.index)];
    case MapHit::kFlag: return &state.flags[size_t(hit.index)];
    case MapHit::kTrack: return &state.track[size_t(hit.index)];
    default: return nullptr;
  }
}

void CMapWnd::MouseMove(POINT at) {
  if (dragging) {
    int dx = dragFrom.x - at.x, dy = dragFrom.y - at.y;
    dragFrom = at;
    if (dx || dy) Scroll(dx, dy);
    return;
  }
  MapHit hit = HitTest(ScreenObjects(), at.x, at.y);
  if (hit.kind == hover.kind && hit.index == hover.index) return;
  hover = hit;
  const MapObject* object = HitObject(hit);
  if (!object) {
    HideTip();
    return;
  }
  std::wstring where = CoordinateText(object->latitude, true) + L" " + CoordinateText(object->longitude, false);
  std::wstring text = object->name[0] ? std::wstring(object->name) + L" [" + where + L"]" : where;
  ShowTip(text, kNameTip, kNameWidth, at);
}

void CMapWnd::LeftDown(POINT at) {
  const MapObject* object = HitObject(HitTest(ScreenObjects(), at.x, at.y));
  if (object && object->description[0]) {
    ShowTip(object->description, kDescriptionTip, kDescriptionWidth, at);
    return;
  }
  if (view.Draggable()) {
    dragging = true;
    dragFrom = at;
    SetCapture(viewWindow);
    SetMapCursor();
  }
}

bool CMapWnd::SetMapCursor() {
  POINT at = {};
  GetCursorPos(&at);
  ScreenToClient(viewWindow, &at);
  int id = 0;
  if (dragging) id = IDC_HAND_CLOSED;
  else if (HitTest(ScreenObjects(), at.x, at.y).kind != MapHit::kNone) id = IDC_HAND_POINT;
  else if (view.Draggable() && view.InsideImage(at.x, at.y)) id = IDC_HAND_OPEN;
  SetCursor(id ? Cursor(id) : LoadCursor(nullptr, IDC_ARROW));
  return true;
}

void CMapWnd::ShowTip(const std::wstring& text, COLORREF background, int maxWidth, POINT at) {
  if (!tooltip) return;
  tipText = text;
  tipBackground = background;
  SendMessageW(tooltip, TTM_SETTIPBKCOLOR, background, 0);
  SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, maxWidth);
  TOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.hwnd = viewWindow;
  tool.uId = 1;
  tool.lpszText = LPSTR_TEXTCALLBACKW;
  SendMessageW(tooltip, TTM_UPDATETIPTEXTW, 0, LPARAM(&tool));
  ClientToScreen(viewWindow, &at);
  SendMessageW(tooltip, TTM_TRACKPOSITION, 0, MAKELPARAM(at.x, at.y));
  SendMessageW(tooltip, TTM_TRACKACTIVATE, TRUE, LPARAM(&tool));
  tipShown = true;
}

void CMapWnd::HideTip() {
  if (!tooltip || !tipShown) return;
  TOOLINFOW tool = {};
  tool.cbSize = sizeof(tool);
  tool.hwnd = viewWindow;
  tool.uId = 1;
  SendMessageW(tooltip, TTM_TRACKACTIVATE, FALSE, LPARAM(&tool));
  tipShown = false;
  tipText.clear();
}

void CMapWnd::Report(MapViewReport* report) const {
  if (!report) return;
  *report = MapViewReport();
  report->view = view;
  report->points = int(state.points.size());
  CopyField(report->tipText, tipText.empty() ? std::wstring(kNoObjectTip) : tipText);
  report->tipShown = tipShown;
  report->tipBackground = tipBackground;
}
