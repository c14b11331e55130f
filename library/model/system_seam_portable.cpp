#ifndef _WIN32
#include <sys/syscall.h>
#include <unistd.h>

#include "library/model/system_seam.h"

namespace dl::model {

std::string WideToAnsi(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (wchar_t c : text) {
    const auto cp = static_cast<std::uint32_t>(c);
    out += cp <= 0xFFu ? static_cast<char>(cp) : '?';
  }
  return out;
}

std::wstring AnsiToWide(std::string_view text) {
  std::wstring out;
  out.reserve(text.size());
  for (char c : text) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return out;
}

std::uint32_t CurrentProcessId() noexcept { return static_cast<std::uint32_t>(getpid()); }
std::uint32_t CurrentThreadId() noexcept {
  return static_cast<std::uint32_t>(syscall(SYS_gettid));
}

}  // namespace dl::model
#endif
