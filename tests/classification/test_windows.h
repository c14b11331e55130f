#pragma once
// Window creation for tests on real windows (classes come from tests/support).
#include <windows.h>

#include "platform/handles.h"
#include "tests/support/window_class.h"

namespace dl::test {

inline platform::UniqueWindow MakeWindow(const wchar_t* cls, DWORD style, DWORD exStyle = 0, HWND parent = nullptr,
                                         const wchar_t* caption = L"", RECT r = {100, 100, 500, 400}) {
  return platform::UniqueWindow(::CreateWindowExW(exStyle, cls, caption, style, r.left, r.top, r.right - r.left,
                                                  r.bottom - r.top, parent, nullptr, Instance(), nullptr));
}

}  // namespace dl::test
