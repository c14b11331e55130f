// Reads a window's layered attributes from outside its process and prints them on one line:
//   layered=<0|1> read=<0|1> alpha=<n> flags=<n> key=<hex>
// Argument: the window handle in hexadecimal.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 2;
  const auto window = reinterpret_cast<HWND>(static_cast<INT_PTR>(std::wcstoll(argv[1], nullptr, 16)));
  if (!::IsWindow(window)) return 3;
  const bool layered = (::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
  COLORREF key = 0;
  BYTE alpha = 0;
  DWORD flags = 0;
  const bool read = ::GetLayeredWindowAttributes(window, &key, &alpha, &flags) != FALSE;
  std::printf("layered=%d read=%d alpha=%u flags=%lu key=%06lx\n", layered ? 1 : 0, read ? 1 : 0,
              static_cast<unsigned>(alpha), static_cast<unsigned long>(flags), static_cast<unsigned long>(key));
  std::fflush(stdout);
  return 0;
}
