// A small window application for hook tests: it records which service messages its window
// procedure receives and answers questions about them. Its window title is the token given
// on the command line, so each test finds its own probe.
#include <windows.h>

#include "platform/registered_messages.h"
#include "protocol/entry_state.h"
#include "protocol/service_codes.h"
#include "tests/entry/probe_protocol.h"

namespace {
using namespace dl::entry::test;

UINT g_service = 0;
LONG g_seen[kProbeMaxCode + 1] = {};
LPARAM g_lastLParam[kProbeMaxCode + 1] = {};
LONG g_markers = 0;

WPARAM Slot(WPARAM code) { return code < kProbeMaxCode ? code : kProbeMaxCode; }

LRESULT CALLBACK ProbeProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == g_service && g_service != 0) {
    ++g_seen[Slot(wParam)];
    g_lastLParam[Slot(wParam)] = lParam;
    return 0;
  }
  switch (msg) {
    case kProbeCountSeen:
      return g_seen[Slot(wParam)];
    case kProbeLastLParam:
      return g_lastLParam[Slot(wParam)];
    case kProbeLibraryMapped:
      return ::GetModuleHandleW(L"dlmemb64.dll") != nullptr ? 1 : 0;
    case kProbeCapture:
      return reinterpret_cast<LRESULT>(::GetCapture());
    case kProbeMarker:
      ++g_markers;
      return 0;
    case kProbeMarkersSeen:
      return g_markers;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(wnd, msg, wParam, lParam);
  }
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  g_service = dl::platform::ServiceMessage();
  WNDCLASSW wc{};
  wc.lpfnWndProc = ProbeProc;
  wc.hInstance = instance;
  wc.lpszClassName = kProbeClassName;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  if (!::RegisterClassW(&wc)) return 1;
  HWND wnd = ::CreateWindowExW(0, kProbeClassName, commandLine, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 20, 20, 240, 120,
                               nullptr, nullptr, instance, nullptr);
  if (!wnd) return 2;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
