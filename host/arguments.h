#pragma once
// The host's command line: three decimal arguments, or none.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace dl::host {

// Decimal text as a signed 32-bit number; text that does not parse (or does not
// fit in 32 bits) reads as 0. Values between 2^31 and 2^32-1 are taken as the
// same 32 bits, so an unsigned rendering of a handle means the same handle.
std::int32_t ParseDecimal32(const std::wstring& text) noexcept;

struct HostArguments {
  DWORD mainProcessId = 0;
  HWND mainWindow = nullptr;  // widened with sign from 32 bits
  bool useTempCopy = false;   // placement argument exactly "0"
};

HostArguments ParseHostArguments(const std::wstring& processId, const std::wstring& window,
                                 const std::wstring& placement) noexcept;

// The arguments after the program name, split the usual Windows way.
std::vector<std::wstring> CommandLineArguments(const wchar_t* commandLine);

}  // namespace dl::host
