#include "host/arguments.h"

#include <shellapi.h>

namespace dl::host {

std::int32_t ParseDecimal32(const std::wstring& text) noexcept {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  if (i == text.size()) return 0;
  std::int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < L'0' || text[i] > L'9') return 0;
    value = value * 10 + (text[i] - L'0');
    if (value > 0xFFFFFFFFLL) return 0;
  }
  if (negative) {
    if (value > 0x80000000LL) return 0;
    return static_cast<std::int32_t>(-value);
  }
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

HostArguments ParseHostArguments(const std::wstring& processId, const std::wstring& window,
                                 const std::wstring& placement) noexcept {
  HostArguments args;
  args.mainProcessId = static_cast<DWORD>(ParseDecimal32(processId));
  args.mainWindow = reinterpret_cast<HWND>(static_cast<INT_PTR>(ParseDecimal32(window)));
  args.useTempCopy = placement == L"0";
  return args;
}

std::vector<std::wstring> CommandLineArguments(const wchar_t* commandLine) {
  std::vector<std::wstring> args;
  if (!commandLine) return args;
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(commandLine, &count);
  if (!argv) return args;
  for (int i = 1; i < count; ++i) args.emplace_back(argv[i]);
  ::LocalFree(argv);
  return args;
}

}  // namespace dl::host
