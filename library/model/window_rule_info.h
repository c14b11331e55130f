#pragma once
// What a window is matched against (TWindowInfo) and what the match reports
// (TRuleInfo).
#include <cstdint>
#include <optional>
#include <string>

namespace dl::model {

// A window handle as an opaque number, so that the core needs no window types.
using WindowHandleValue = std::uintptr_t;

struct TWindowInfo {
  WindowHandleValue Wnd = 0;
  std::wstring FileName;       // executable of the owning process, normalised
  std::wstring WindowClass;    // composed class name
  std::string WindowCaption;   // at most 100 characters, ANSI code page
};

enum class TRuleType : std::int32_t {
  rtNone = 0,
  rtDefault = 1,
  rtSpecific = 2,
  rtExclusion = 3,
  rtVirtualDesktop = 4,
  rtTabbedExplorer = 5,
};

// Every lookup starts from the default value, the empty rule information.
struct TRuleInfo {
  std::optional<std::string> Name;  // ANSI; nothing = no name
  TRuleType RuleType = TRuleType::rtNone;
  std::uint32_t ParamsCRC = 0;
  bool Enabled = false;
  std::optional<std::string> SpecialIconStr;  // ANSI
  friend bool operator==(const TRuleInfo&, const TRuleInfo&) = default;
};

inline constexpr std::size_t kMaxRuleCaptionLength = 100;

}  // namespace dl::model
