#include "library/model/rule_criteria.h"


namespace dl::model {
namespace {

constexpr std::string_view kAfxPrefix = "Afx:";

// The second and third ":"-separated parts, when there are at least three parts.
bool AfxParts(std::string_view name, std::string_view& second, std::string_view& third) noexcept {
  const std::size_t a = name.find(':');
  if (a == std::string_view::npos) return false;
  const std::size_t b = name.find(':', a + 1);
  if (b == std::string_view::npos) return false;
  std::size_t c = name.find(':', b + 1);
  if (c == std::string_view::npos) c = name.size();
  second = name.substr(a + 1, b - a - 1);
  third = name.substr(b + 1, c - b - 1);
  return true;
}

char FoldAscii(char c) noexcept { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Iterative "*" / "?" matching with one back-tracking point: linear in practice and
// never recursive.
bool WildcardMatches(std::string_view pattern, std::string_view name) noexcept {
  if (pattern == "*.*") return true;
  std::size_t p = 0, n = 0, star = std::string_view::npos, resume = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      resume = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++resume;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool ClassCriterionMatches(std::string_view pattern, std::string_view className) noexcept {
  if (pattern.empty()) return false;
  if (className.find(pattern) != std::string_view::npos) return true;
  if (!className.starts_with(kAfxPrefix) || !pattern.starts_with(kAfxPrefix)) return false;
  std::string_view classSecond, classThird, patternSecond, patternThird;
  return AfxParts(className, classSecond, classThird) && AfxParts(pattern, patternSecond, patternThird) &&
         classSecond == patternSecond && classThird == patternThird;
}

bool WildcardSpecMatches(std::string_view spec, std::string_view name) noexcept {
  while (true) {
    const std::size_t end = spec.find(';');
    std::string_view one = spec.substr(0, end);
    while (!one.empty() && one.front() == ' ') one.remove_prefix(1);
    if (!one.empty() && WildcardMatches(one, name)) return true;
    if (end == std::string_view::npos) return false;
    spec.remove_prefix(end + 1);
  }
}

}  // namespace dl::model
