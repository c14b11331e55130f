#include "tests/extender/services_test_support.h"

#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>

#include "platform/handles.h"
#include "tests/support/bin_dir.h"

namespace dl::test {

LayeredView LayeredAttributesFromAnotherProcess(HWND window) {
  LayeredView view;
  SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
  HANDLE readRaw = nullptr, writeRaw = nullptr;
  if (!::CreatePipe(&readRaw, &writeRaw, &inherit, 0)) return view;
  platform::UniqueHandle readEnd(readRaw), writeEnd(writeRaw);
  ::SetHandleInformation(readRaw, HANDLE_FLAG_INHERIT, 0);
  const std::wstring exe = BinDir() + L"\\layered_probe.exe";
  wchar_t handleText[32];
  std::swprintf(handleText, 32, L"%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(window)));
  std::wstring commandLine = L"\"" + exe + L"\" " + handleText;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = writeRaw;
  si.hStdError = writeRaw;
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
    return view;
  platform::UniqueHandle process(pi.hProcess), thread(pi.hThread);
  writeEnd.reset();
  std::string output;
  char buffer[256];
  DWORD got = 0;
  while (::ReadFile(readEnd.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) output.append(buffer, got);
  if (::WaitForSingleObject(process.get(), 10000) != WAIT_OBJECT_0) return view;
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.get(), &exitCode);
  int layered = 0, read = 0;
  if (exitCode == 0 && std::sscanf(output.c_str(), "layered=%d read=%d alpha=%u flags=%lu key=%lx", &layered, &read,
                                   &view.alpha, &view.flags, &view.key) == 5) {
    view.ok = true;
    view.layered = layered != 0;
    view.read = read != 0;
  }
  return view;
}

UINT ExpectedDpi() {
  const char* text = std::getenv("DL_EXPECTED_DPI");
  return text ? static_cast<UINT>(std::atoi(text)) : 96u;
}

HICON MakeTestIcon(int size) {
  ICONINFO info{};
  info.fIcon = TRUE;
  HDC screen = ::GetDC(nullptr);
  info.hbmColor = ::CreateCompatibleBitmap(screen, size, size);
  info.hbmMask = ::CreateBitmap(size, size, 1, 1, nullptr);
  ::ReleaseDC(nullptr, screen);
  HICON icon = ::CreateIconIndirect(&info);
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  return icon;
}

std::wstring TooltipText(HWND tooltip, HWND owner) {
  wchar_t buffer[256] = {};
  TTTOOLINFOW info{};
  info.cbSize = 64;
  info.hwnd = owner;
  info.uId = reinterpret_cast<UINT_PTR>(owner);
  info.lpszText = buffer;
  ::SendMessageW(tooltip, TTM_GETTEXTW, std::size(buffer), reinterpret_cast<LPARAM>(&info));
  return buffer;
}

}  // namespace dl::test
