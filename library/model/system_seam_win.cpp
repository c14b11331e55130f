#ifdef _WIN32
#include <windows.h>

#include <climits>

#include "library/model/system_seam.h"

namespace dl::model {

std::string WideToAnsi(std::wstring_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0, nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                      nullptr, nullptr);
  return out;
}

std::wstring AnsiToWide(std::string_view text) {
  if (text.empty() || text.size() > INT_MAX) return {};
  const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                    nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<std::size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::uint32_t CurrentProcessId() noexcept { return GetCurrentProcessId(); }
std::uint32_t CurrentThreadId() noexcept { return GetCurrentThreadId(); }

}  // namespace dl::model
#endif
