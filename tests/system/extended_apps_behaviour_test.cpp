// Wine's notepad, wordpad and regedit behave the same extended as unextended: the same scripted
// session (typing, resizing) leaves the same window texts, the same sizes and the same picture
// of the client area.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "library/extender/window_extender.h"
#include "platform/registered_messages.h"
#include "tests/host/host_test_support.h"
#include "tests/support/bin_dir.h"
#include "tools/devcenter/child_process.h"

namespace dl::system_test {
namespace {
using dl::test::WinePath;
namespace t = host::test;
using Clock = std::chrono::steady_clock;

struct AppCase {
  const wchar_t* launch;
  const wchar_t* frameClass;
  const wchar_t* textClass;  // the child that is typed into; none: no typing
};

constexpr AppCase kApps[] = {
    {L"notepad.exe", L"Notepad", L"Edit"},
    {L"C:\\Program Files\\Windows NT\\Accessories\\wordpad.exe", L"WORDPADTOP", L"RichEdit20W"},
    {L"regedit.exe", L"RegEdit_RegEdit", nullptr},
};

constexpr wchar_t kTyped[] = L"Hello, extended world";

struct Outcome {
  std::wstring caption;
  std::wstring text;
  RECT rect{};
  std::vector<unsigned char> picture;
  bool extended = false;
};

std::wstring TextOf(HWND wnd) {
  DWORD_PTR length = 0;
  if (!::SendMessageTimeoutW(wnd, WM_GETTEXTLENGTH, 0, 0, SMTO_BLOCK, 2000, &length)) return L"?";
  std::wstring text(length + 1, L'\0');
  DWORD_PTR got = 0;
  ::SendMessageTimeoutW(wnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_BLOCK, 2000, &got);
  text.resize(got);
  return text;
}

bool Pinged(HWND wnd) {
  DWORD_PTR answer = 0;
  return ::SendMessageTimeoutW(wnd, platform::ServiceMessage(), extender::kSvcPing, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                               1000, &answer) &&
         static_cast<LRESULT>(answer) == extender::kSvcPingAnswer;
}

std::vector<unsigned char> ClientPicture(HWND wnd) {
  RECT rc{};
  ::GetClientRect(wnd, &rc);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = rc.right;
  info.bmiHeader.biHeight = -rc.bottom;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC memory = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::vector<unsigned char> picture;
  if (bitmap && bits) {
    HGDIOBJ old = ::SelectObject(memory, bitmap);
    if (::PrintWindow(wnd, memory, PW_CLIENTONLY)) {
      ::GdiFlush();
      const auto* p = static_cast<const unsigned char*>(bits);
      picture.assign(p, p + static_cast<std::size_t>(rc.right) * rc.bottom * 4);
    }
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
  }
  ::DeleteDC(memory);
  ::ReleaseDC(nullptr, screen);
  return picture;
}

// Starts the application, waits for it to be extended (when asked), runs the session.
Outcome RunSession(const AppCase& app, bool extend) {
  Outcome out;
  auto process = devcenter::ChildProcess::Start(devcenter::QuoteArgument(app.launch));
  HWND frame = nullptr;
  const auto deadline = Clock::now() + std::chrono::seconds(10);
  int step = 0;
  while (Clock::now() < deadline) {
    if (!frame) frame = ::FindWindowW(app.frameClass, nullptr);
    if (frame && ::IsWindowVisible(frame)) {
      if (!extend) break;
      if ((out.extended = Pinged(frame))) break;
      ::PostMessageW(frame, WM_NULL, 0, 0);
      ::SetWindowPos(frame, nullptr, 30 + (step++ % 2), 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (!frame) return out;
  ::SetWindowPos(frame, nullptr, 30, 30, 420, 320, SWP_NOZORDER | SWP_NOACTIVATE);
  if (app.textClass) {
    HWND text = ::FindWindowExW(frame, nullptr, app.textClass, nullptr);
    for (const wchar_t* c = kTyped; *c; ++c) ::PostMessageW(text, WM_CHAR, *c, 1);
    const auto typed = Clock::now() + std::chrono::seconds(5);
    while (Clock::now() < typed && TextOf(text) != kTyped) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    out.text = TextOf(text);
    ::SendMessageTimeoutW(text, EM_SETMODIFY, FALSE, 0, SMTO_BLOCK, 2000, nullptr);
  }
  ::RedrawWindow(frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  out.caption = TextOf(frame);
  ::GetWindowRect(frame, &out.rect);
  out.picture = ClientPicture(frame);
  ::PostMessageW(frame, WM_CLOSE, 0, 0);
  if (!process.WaitForExit(5000)) process.Terminate();
  return out;
}

TEST(ExtendedApps, BehaveAsUnextendedUnderTheSameScriptedSession) {
  t::ExpectNoHostRunning();
  std::vector<Outcome> plain;
  for (const AppCase& app : kApps) plain.push_back(RunSession(app, false));

  t::ConfigFolderOverride config;
  t::TempFolder folder{L"behaviour"};
  t::ClearForeignCopies(t::BinFolder() + L"dlmemb64.dll");
  auto dc = devcenter::ChildProcess::Start(devcenter::QuoteArgument(t::BinFolder() + L"devcenter.exe") +
                                           L" run --hold-ms 15000 --rules " +
                                           devcenter::QuoteArgument(WinePath(DL_DEMO_RULES_FILE)) + L" --log " +
                                           devcenter::QuoteArgument(folder.Path() + L"record.jsonl"));
  for (std::size_t i = 0; i < std::size(kApps); ++i) {
    SCOPED_TRACE(kApps[i].launch);
    const Outcome extended = RunSession(kApps[i], true);
    EXPECT_TRUE(extended.extended) << "not extended";
    EXPECT_EQ(extended.caption, plain[i].caption);
    EXPECT_FALSE(extended.caption.empty());
    EXPECT_EQ(extended.text, plain[i].text);
    if (kApps[i].textClass) {
      EXPECT_EQ(extended.text, kTyped);
    }
    EXPECT_EQ(extended.rect.right - extended.rect.left, plain[i].rect.right - plain[i].rect.left);
    EXPECT_EQ(extended.rect.bottom - extended.rect.top, plain[i].rect.bottom - plain[i].rect.top);
    EXPECT_FALSE(extended.picture.empty());
    EXPECT_TRUE(extended.picture == plain[i].picture) << "the client areas look different";
  }
  // The stand-in ends its session itself, host stopped.
  EXPECT_TRUE(dc.WaitForExit(60000));
}

}  // namespace
}  // namespace dl::system_test
