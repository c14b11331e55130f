#pragma once
// Helpers of the window-service tests: the extender's properties as a plain map, and a look at
// a window's layered attributes from another process.
#include <windows.h>

#include <cstdint>
#include <map>
#include <string>

#include "library/extender/window_transparency.h"

namespace dl::test {

class PropertyMap final : public extender::TransparencyProperties {
 public:
  bool HasProperty(const wchar_t* name) override { return values.count(name) != 0; }
  void SetProperty(const wchar_t* name, std::intptr_t value) override { values[name] = value; }
  void RemoveProperty(const wchar_t* name) override { values.erase(name); }
  [[nodiscard]] std::intptr_t Get(const wchar_t* name, std::intptr_t missing = -1) const {
    const auto it = values.find(name);
    return it == values.end() ? missing : it->second;
  }
  std::map<std::wstring, std::intptr_t> values;
};

// What layered_probe.exe saw of the window; ok is false when the probe could not run.
struct LayeredView {
  bool ok = false;
  bool layered = false;
  bool read = false;
  unsigned alpha = 0;
  unsigned long flags = 0;
  unsigned long key = 0;
};
LayeredView LayeredAttributesFromAnotherProcess(HWND window);

// The screen DPI the test's prefix is set to: DL_EXPECTED_DPI, 96 when not given.
UINT ExpectedDpi();

// A plain icon the test owns (destroy it with DestroyIcon), from a colour and a mask bitmap.
HICON MakeTestIcon(int size);

// The text a tooltip control shows for the tool of owner.
std::wstring TooltipText(HWND tooltip, HWND owner);

}  // namespace dl::test
