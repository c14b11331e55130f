// What the window services cost on the message path, each against one window-server round trip
// (GetPropW: window properties live in the window server) in the same run: the cached window DPI (what parts ask for on every paint), the
// uncached query, a transparency read, and one tooltip text update while it shows. Prints ratios;
// fails only when the cached DPI costs as much as a round trip (the cache would be pointless).
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

#include "library/extender/dpi_queries.h"
#include "library/extender/size_move_tooltip.h"
#include "library/extender/window_transparency.h"

namespace {

using namespace dl::extender;

double PerCall(const std::function<void(int)>& call, int count) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    LARGE_INTEGER f, a, b;
    ::QueryPerformanceFrequency(&f);
    ::QueryPerformanceCounter(&a);
    for (int i = 0; i < count; ++i) call(i);
    ::QueryPerformanceCounter(&b);
    best = std::min(best, double(b.QuadPart - a.QuadPart) / double(f.QuadPart) / count);
  }
  return best;
}

}  // namespace

int main() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = ::DefWindowProcW;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"DlServicesBench";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 300, 200,
                                  nullptr, nullptr, wc.hInstance, nullptr);
  if (!window) return 1;
  SetWindowTransparency(window, 20);
  volatile UINT sink = 0;
  volatile HANDLE prop = nullptr;
  const double send = PerCall([&](int) { prop = ::GetPropW(window, L"DlBenchProperty"); }, 5000);
  WindowDpiCache cache;
  const double cached = PerCall([&](int) { sink = sink + cache.GetWindowDPI(window); }, 5000);
  const double query = PerCall([&](int) { sink = sink + QueryWindowDpi(window); }, 5000);
  const double read = PerCall([&](int) { sink = sink + static_cast<UINT>(ReadWindowTransparency(window)); }, 5000);
  SizeMoveTooltip tooltip(window);
  tooltip.Show(0, L"0, 0");
  const double update = PerCall([&](int i) { tooltip.Show(0, std::to_wstring(i) + L", 20"); }, 300);
  std::printf("per call against one window-server round trip: cached DPI %.4f, DPI query %.4f, transparency read %.2f, "
              "tooltip update %.1f\n", cached / send, query / send, read / send, update / send);
  tooltip.Destroy();
  ::DestroyWindow(window);
  return cached < send ? 0 : 1;
}
