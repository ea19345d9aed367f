// The view's context menu, and opening a place of the map in the web map service through
// the program registered for the http protocol.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>

#include "map/map_window.h"

// The web map service: its query takes the latitude and longitude in degrees.
const wchar_t kWebMapHost[] = L"maps.google.com";

namespace {
enum MenuItem { kZoomIn = 1, kZoomOut, kFit, kFullSize, kWebMap };
const double kPi = 3.14159265358979323846;

// The program that opens http URLs: the command registered for the protocol, without a
// leading quote, cut after its first ".exe". Empty when none is registered.
std::wstring HttpProgram() {
  wchar_t command[1024] = {};
  LONG size = sizeof(command) - sizeof(wchar_t);
  if (RegQueryValueW(HKEY_CLASSES_ROOT, L"http\\shell\\open\\command", command, &size) != ERROR_SUCCESS) return L"";
  std::wstring text = command;
  if (!text.empty() && text[0] == L'"') text.erase(0, 1);
  std::wstring lower = text;
  for (wchar_t& c : lower) c = wchar_t(towlower(c));
  size_t exe = lower.find(L".exe");
  if (exe != std::wstring::npos) text.erase(exe + 4);
  return text;
}
}  // namespace

void CMapWnd::Command(int id, POINT at) {
  switch (id) {
    case kZoomIn: view.Zoom(1.1); break;
    case kZoomOut: view.Zoom(0.9090909090909091); break;
    case kFit: view.Fit(); break;
    case kFullSize: view.FullSize(); break;
    case kWebMap: OpenWebMap(at); return;
    default: return;
  }
  Changed();
}

void CMapWnd::ContextMenu(POINT at) {
  HMENU menu = CreatePopupMenu();
  if (!menu) return;
  std::wstring web = std::wstring(L"Смотреть в ") + kWebMapHost;
  AppendMenuW(menu, MF_STRING, kZoomIn, L"Увеличить");
  AppendMenuW(menu, MF_STRING, kZoomOut, L"Уменьшить");
  AppendMenuW(menu, MF_STRING, kFit, L"По размерам окна");
  AppendMenuW(menu, MF_STRING, kFullSize, L"Полный размер");
  AppendMenuW(menu, MF_STRING | (view.InsideImage(at.x, at.y) ? 0 : MF_GRAYED), kWebMap, web.c_str());
  POINT screen = at;
  ClientToScreen(viewWindow, &screen);
  HideTip();
  int chosen = int(TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON, screen.x, screen.y, 0, frame, nullptr));
  DestroyMenu(menu);
  if (chosen) Command(chosen, at);
}

void CMapWnd::OpenWebMap(POINT at) {
  if (!view.InsideImage(at.x, at.y)) return;
  double ix = 0, iy = 0, phi = 0, lambda = 0;
  view.ClientToImage(at.x, at.y, ix, iy);
  transform.FromImage(ix, iy, phi, lambda);
  wchar_t url[256];
  std::swprintf(url, 256, L"http://%ls/?ie=UTF8&t=h&ll=%.5f,%.5f&z=14&om=1", kWebMapHost, phi * 180 / kPi,
                lambda * 180 / kPi);
  std::wstring program = HttpProgram();
  if (program.empty()) return;
  ShellExecuteW(frame, L"open", program.c_str(), url, nullptr, SW_SHOWNORMAL);
}
