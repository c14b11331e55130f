#include "library/model/params.h"

#include "library/model/text_util.h"

namespace dl::model {
namespace {

template <typename Char>
constexpr Char kOpen = Char('{');
template <typename Char>
constexpr Char kClose = Char('}');

// Matching closing brace of every "{" of a text, found in one pass, so that
// splitting stays linear however the braces nest or fail to close. A group
// counted from its own "{" closes exactly where a stack match pops it.
template <typename Char>
class BraceIndex {
 public:
  explicit BraceIndex(std::basic_string_view<Char> text) {
    std::vector<std::size_t> open;  // indexes into opens_
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == kOpen<Char>) {
        open.push_back(opens_.size());
        opens_.push_back({i, std::basic_string_view<Char>::npos});
      } else if (text[i] == kClose<Char> && !open.empty()) {
        opens_[open.back()].close = i;
        open.pop_back();
      }
    }
  }
  // First "{" at or after `from`, with its closing brace (npos when none).
  // Calls must come with non-decreasing `from`.
  bool NextOpen(std::size_t from, std::size_t& pos, std::size_t& close) noexcept {
    while (next_ < opens_.size() && opens_[next_].pos < from) ++next_;
    if (next_ == opens_.size()) return false;
    pos = opens_[next_].pos;
    close = opens_[next_].close;
    return true;
  }

 private:
  struct Open {
    std::size_t pos, close;
  };
  std::vector<Open> opens_;
  std::size_t next_ = 0;
};

// Calls f(item) for each item of the trimmed text, in order.
template <typename Char, typename F>
void ForEachItem(std::basic_string_view<Char> source, Char delimiter, bool keep_empty, F&& f) {
  using View = std::basic_string_view<Char>;
  const View s = TrimBlanks(source);
  BraceIndex<Char> braces(s);
  std::size_t begin = 0;  // start of the rest of the text
  for (;;) {
    std::size_t p = s.find(delimiter, begin);
    std::size_t b = 0, m = View::npos;
    if (p != View::npos && braces.NextOpen(begin, b, m) && b < p && m != View::npos) {
      p = s.find(delimiter, m + 1);
    }
    const View item = p == View::npos ? s.substr(begin) : s.substr(begin, p - begin);
    if (!item.empty() || keep_empty) f(item);
    if (p == View::npos) break;
    begin = p + 1;
  }
}

template <typename Char>
std::size_t SplitParamsImpl(std::basic_string_view<Char> source, Char delimiter, Char assignment,
                            std::vector<BasicParamPair<Char>>& out) {
  using View = std::basic_string_view<Char>;
  std::vector<View> items;
  ForEachItem<Char>(source, delimiter, false, [&](View item) { items.push_back(item); });
  if (items.empty()) return 0;
  out.assign(items.size(), BasicParamPair<Char>{});
  std::size_t next = 0;
  for (View item : items) {
    const std::size_t q = item.find(assignment);
    if (q == View::npos) continue;
    View value = TrimLeftBlanks(item.substr(q + 1));
    if (value.size() >= 2 && value.front() == kOpen<Char> && value.back() == kClose<Char>)
      value = value.substr(1, value.size() - 2);
    out[next].name.assign(TrimRightBlanks(item.substr(0, q)));
    out[next].value.assign(value);
    ++next;
  }
  return items.size();
}

}  // namespace

std::size_t FindClosingBrace(std::wstring_view text, std::size_t start) noexcept {
  long long depth = 0;
  for (std::size_t i = start; i < text.size(); ++i) {
    if (text[i] == L'{') ++depth;
    else if (text[i] == L'}') --depth;
    if (depth == 0) return i;
  }
  return std::wstring_view::npos;
}

TOneArrayOfString SplitText(std::wstring_view source, wchar_t delimiter, bool keep_empty) {
  TOneArrayOfString items;
  ForEachItem<wchar_t>(source, delimiter, keep_empty,
                       [&](std::wstring_view item) { items.emplace_back(item); });
  return items;
}

std::size_t SplitParams(std::wstring_view source, wchar_t delimiter, wchar_t assignment,
                        TTwoArrayOfString& out) {
  return SplitParamsImpl<wchar_t>(source, delimiter, assignment, out);
}

std::size_t SplitParams(std::string_view source, char delimiter, char assignment,
                        TTwoArrayOfAnsiString& out) {
  return SplitParamsImpl<char>(source, delimiter, assignment, out);
}

bool FindParam(const TTwoArrayOfString& pairs, std::wstring_view name, std::wstring& value) {
  for (const auto& pair : pairs) {
    if (SameText(pair.name, name)) {
      value = pair.value;
      return true;
    }
  }
  return false;
}

bool ExtractParam(std::wstring_view text, std::wstring_view name, std::wstring& value,
                  wchar_t delimiter, wchar_t assignment) {
  TTwoArrayOfString pairs;
  SplitParams(text, delimiter, assignment, pairs);
  if (FindParam(pairs, name, value)) return true;
  value.clear();
  return false;
}

std::wstring UnwrapBraces(std::wstring_view text) {
  if (text.size() >= 2 && text.front() == L'{' && text.back() == L'}')
    return std::wstring(text.substr(1, text.size() - 2));
  return std::wstring(text);
}

}  // namespace dl::model
