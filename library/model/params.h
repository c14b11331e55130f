#pragma once
// The parameter-string format: items separated by a delimiter ("\" in rule
// strings), each "name=value"; a value may be a braced parameter string of its
// own, whose delimiters do not end the item. No escapes: text that may hold
// "\", "=", "{" or "}" travels hex-encoded (hex.h).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dl::model {

template <typename Char>
struct BasicParamPair {
  std::basic_string<Char> name;
  std::basic_string<Char> value;
  friend bool operator==(const BasicParamPair&, const BasicParamPair&) = default;
};
using ParamPair = BasicParamPair<wchar_t>;

using TOneArrayOfString = std::vector<std::wstring>;
using TTwoArrayOfString = std::vector<ParamPair>;
using TTwoArrayOfAnsiString = std::vector<BasicParamPair<char>>;

inline constexpr wchar_t kParamDelimiter = L'\\';
inline constexpr wchar_t kParamAssignment = L'=';

// Index of the "}" that closes the group opened at `start` (0-based; the
// character at `start` counts), or npos when the text ends first.
std::size_t FindClosingBrace(std::wstring_view text, std::size_t start) noexcept;

// Splits the trimmed text into items; an item's first brace group, when it
// opens before the item's first delimiter and is closed, protects the
// delimiters inside it. Empty items are kept only with `keep_empty`.
TOneArrayOfString SplitText(std::wstring_view source, wchar_t delimiter, bool keep_empty);

// Splits into name/value pairs and returns the number of items N. The output is
// resized to N pairs only when N > 0; items without `assignment` leave empty
// pairs at the end. Names lose trailing blanks, values leading blanks and one
// enclosing brace pair.
std::size_t SplitParams(std::wstring_view source, wchar_t delimiter, wchar_t assignment,
                        TTwoArrayOfString& out);
std::size_t SplitParams(std::string_view source, char delimiter, char assignment,
                        TTwoArrayOfAnsiString& out);

// First pair whose name equals `name` ignoring a-z/A-Z case; `value` is left
// untouched when there is none.
bool FindParam(const TTwoArrayOfString& pairs, std::wstring_view name, std::wstring& value);

// SplitParams then FindParam; `value` is cleared when the name is absent.
bool ExtractParam(std::wstring_view text, std::wstring_view name, std::wstring& value,
                  wchar_t delimiter = kParamDelimiter, wchar_t assignment = kParamAssignment);

// The text without one enclosing "{...}" pair (unchanged when it has none).
std::wstring UnwrapBraces(std::wstring_view text);

}  // namespace dl::model
