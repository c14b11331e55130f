#pragma once
// A small variant for parameter values and collection indexes: parameter
// values arrive as text; an index is an integer (a position) or a text (a key),
// and anything else finds nothing.
#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

namespace dl::model {

class Variant {
 public:
  Variant() noexcept = default;
  template <std::integral I>
    requires(!std::same_as<I, bool> && !std::same_as<I, wchar_t> && !std::same_as<I, char>)
  Variant(I v) noexcept : v_(static_cast<std::int64_t>(v)) {}
  Variant(bool v) noexcept : v_(v) {}
  Variant(double v) noexcept : v_(v) {}
  Variant(std::wstring v) noexcept : v_(std::move(v)) {}
  Variant(std::wstring_view v) : v_(std::wstring(v)) {}
  Variant(const wchar_t* v) : v_(std::wstring(v ? v : L"")) {}

  [[nodiscard]] bool IsEmpty() const noexcept { return std::holds_alternative<std::monostate>(v_); }
  [[nodiscard]] bool IsInteger() const noexcept { return std::holds_alternative<std::int64_t>(v_); }
  [[nodiscard]] bool IsString() const noexcept { return std::holds_alternative<std::wstring>(v_); }
  [[nodiscard]] bool IsFloat() const noexcept { return std::holds_alternative<double>(v_); }
  [[nodiscard]] bool IsBoolean() const noexcept { return std::holds_alternative<bool>(v_); }

  // Raw access for the kind the caller checked; nullptr for another kind.
  [[nodiscard]] const std::int64_t* IntegerIf() const noexcept { return std::get_if<std::int64_t>(&v_); }
  [[nodiscard]] const std::wstring* StringIf() const noexcept { return std::get_if<std::wstring>(&v_); }

  // Conversions as parameter readers use them; text that does not convert
  // raises EConvertError.
  [[nodiscard]] std::wstring AsString() const;
  [[nodiscard]] std::int32_t AsInteger() const;
  [[nodiscard]] bool AsBoolean() const;

  friend bool operator==(const Variant&, const Variant&) = default;

 private:
  std::variant<std::monostate, std::int64_t, double, bool, std::wstring> v_;
};

// The text rules behind the conversions. Integers: optional blanks before,
// optional sign, decimal digits, or hexadecimal after "$" or "0x"; 32-bit range.
// Booleans: "True"/"False" in any case, or a number (non-zero is true).
[[nodiscard]] bool TryStrToInt(std::wstring_view text, std::int32_t& out) noexcept;
[[nodiscard]] bool TryStrToBool(std::wstring_view text, bool& out) noexcept;
[[nodiscard]] std::int32_t StrToInt(std::wstring_view text);
[[nodiscard]] bool StrToBool(std::wstring_view text);

}  // namespace dl::model
