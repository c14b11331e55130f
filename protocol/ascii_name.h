#pragma once
// A name written once and available both as 8-bit and as UTF-16 text, for the Windows
// interfaces that come in both forms (window classes registered with the ANSI calls are
// found by the wide ones and the other way round). Only ASCII is allowed, so both forms
// are the same text in every code page.
#include <cstddef>

namespace dl::protocol {

template <std::size_t N>
struct AsciiName {
  char narrow[N]{};
  wchar_t wide[N]{};

  consteval AsciiName(const char (&text)[N]) {
    for (std::size_t i = 0; i < N; ++i) {
      // Not a constant expression for non-ASCII text: such a name does not compile.
      if (static_cast<unsigned char>(text[i]) > 0x7F) throw "window and object names are ASCII";
      narrow[i] = text[i];
      wide[i] = static_cast<wchar_t>(text[i]);
    }
  }
  [[nodiscard]] static constexpr std::size_t size() noexcept { return N - 1; }
};

}  // namespace dl::protocol
