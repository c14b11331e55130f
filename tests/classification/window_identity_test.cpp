// Composed class names and captions, root windows, owning process and placement of
// real windows, including windows that never answer and windows that are gone.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "library/extender/window_identity.h"
#include "library/extender/process_flags.h"
#include "tests/classification/test_windows.h"

namespace {
using namespace dl::extender;
using dl::platform::UniqueHandle;
using dl::platform::UniqueWindow;
using dl::test::MakeWindow;
using dl::test::ScopedClass;
using Clock = std::chrono::steady_clock;

const std::wstring kGuid = L"7d9e1f20-3a4b-4c5d-8e6f-708192a3b4c5";

TEST(ComposedClassName, RealWpfWrapperWithAChildAndTheFiftyCharacterBoundary) {
  ScopedClass wpf(L"HwndWrapper[Jing.exe;;" + kGuid + L"]");
  ScopedClass shortWpf(L"HwndWrapper[J" + kGuid + L"]");  // exactly 50 characters
  ScopedClass forms(L"WindowsForms10.Window.8.app.0.test");
  ASSERT_EQ(std::wstring(shortWpf.name()).size(), 50u);
  ASSERT_TRUE(wpf.atom() && shortWpf.atom() && forms.atom());

  UniqueWindow top = MakeWindow(wpf.name(), WS_OVERLAPPEDWINDOW);
  UniqueWindow child = MakeWindow(forms.name(), WS_CHILD, 0, top.get());
  UniqueWindow shortTop = MakeWindow(shortWpf.name(), WS_OVERLAPPEDWINDOW);
  UniqueWindow shortChild = MakeWindow(forms.name(), WS_CHILD, 0, shortTop.get());
  ASSERT_TRUE(top && child && shortTop && shortChild);

  EXPECT_EQ(ComposedClassName(top.get()), L"HwndWrapper[Jing.exe;;] - WindowsForms10.Window.8.app.0.test");
  EXPECT_EQ(ComposedClassName(shortTop.get()), shortWpf.name());
}

// A window whose thread stops pumping messages once it has set its caption.
class HungWindow {
 public:
  explicit HungWindow(const wchar_t* caption) {
    thread_ = std::thread([this, caption] {
      wnd_ = ::CreateWindowExW(0, L"STATIC", caption, WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, nullptr, nullptr);
      ::SetEvent(ready_.get());
      ::WaitForSingleObject(release_.get(), INFINITE);  // does not pump: the window hangs
      ::DestroyWindow(wnd_);
    });
    ::WaitForSingleObject(ready_.get(), 10000);
  }
  ~HungWindow() {
    ::SetEvent(release_.get());
    thread_.join();
  }
  [[nodiscard]] HWND get() const { return wnd_; }

 private:
  UniqueHandle ready_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  UniqueHandle release_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  HWND wnd_ = nullptr;
  std::thread thread_;
};

TEST(ComposedCaption, HungWindowFallsBackToStoredTextAfterTheTimeOut) {
  HungWindow hung(L"Caption of a hung window");
  ASSERT_NE(hung.get(), nullptr);
  const auto start = Clock::now();
  const std::wstring caption = ComposedCaption(hung.get());
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
  EXPECT_EQ(caption, L"Caption of a hung window");
  // One query times out (about 100 ms); the stored text needs no answer.
  EXPECT_GE(elapsed.count(), 80);
  EXPECT_LT(elapsed.count(), 1000);
}

TEST(ComposedCaption, AnsweringUnicodeAndAnsiWindows) {
  UniqueWindow unicodeWnd = MakeWindow(L"STATIC", WS_POPUP, 0, nullptr, L"Unicode caption \u00e9\u4e2d");
  ASSERT_TRUE(unicodeWnd);
  EXPECT_EQ(ComposedCaption(unicodeWnd.get()), L"Unicode caption \u00e9\u4e2d");

  WNDCLASSA wc{};
  wc.lpfnWndProc = ::DefWindowProcA;
  wc.hInstance = dl::test::Instance();
  wc.lpszClassName = "ClassificationAnsiWindow";
  ASSERT_TRUE(::RegisterClassA(&wc));
  UniqueWindow ansiWnd(::CreateWindowExA(0, "ClassificationAnsiWindow", "Ansi caption", WS_POPUP, 0, 0, 10, 10,
                                         nullptr, nullptr, dl::test::Instance(), nullptr));
  ASSERT_TRUE(ansiWnd);
  ASSERT_FALSE(::IsWindowUnicode(ansiWnd.get()));
  EXPECT_EQ(ComposedCaption(ansiWnd.get()), L"Ansi caption");
  ansiWnd.reset();
  ::UnregisterClassA("ClassificationAnsiWindow", dl::test::Instance());
}

// What a misbehaving window reports for its text; set by each case.
struct TextBehaviour {
  LRESULT length;
  std::wstring text;  // copied as far as the buffer allows
  LRESULT reported;   // what WM_GETTEXT claims to have copied (-1: the real count)
};
TextBehaviour g_text;

LRESULT CALLBACK LyingTextProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  if (msg == WM_GETTEXTLENGTH) return g_text.length;
  if (msg == WM_GETTEXT) {
    auto* out = reinterpret_cast<wchar_t*>(lParam);
    const std::size_t room = wParam ? wParam - 1 : 0;
    const std::size_t n = std::min(room, g_text.text.size());
    std::copy_n(g_text.text.data(), n, out);
    if (wParam) out[n] = L'\0';
    return g_text.reported >= 0 ? g_text.reported : static_cast<LRESULT>(n);
  }
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

TEST(ComposedCaption, ForeignTextIsBoundedAndCutAtItsFirstZero) {
  ScopedClass cls(L"ClassificationLyingText", LyingTextProc);
  UniqueWindow wnd = MakeWindow(cls.name(), WS_POPUP);
  ASSERT_TRUE(wnd);
  const std::wstring huge(100000, L'w');
  struct Case {
    const char* what;
    TextBehaviour behaviour;
    std::wstring expected;
  };
  const Case cases[] = {
      {"embedded zero", {7, std::wstring(L"abc\0def", 7), -1}, L"abc"},
      {"claims a huge length", {0x7fffffff, huge, -1}, std::wstring(kMaxAskedCaptionLength, L'w')},
      {"claims more copied than fits", {3, L"abc", 1000000}, L"abc"},
      {"negative length", {-5, L"abc", -1}, L""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    g_text = c.behaviour;
    // A window that gives no usable answer falls back to the stored text, which is empty here.
    EXPECT_EQ(ComposedCaption(wnd.get()), c.expected);
  }
}

TEST(WindowIdentity, VanishedWindowGivesEmptyResultsAndKeepsLastErrorClear) {
  HWND gone = MakeWindow(L"STATIC", WS_POPUP, 0, nullptr, L"soon gone").release();
  ASSERT_TRUE(::DestroyWindow(gone));
  ::SetLastError(0);
  EXPECT_EQ(ComposedClassName(gone), L"");
  EXPECT_EQ(ComposedCaption(gone), L"");
  EXPECT_EQ(PlacementState(gone), 0);
  EXPECT_EQ(ProcessOfWindow(gone), 0u);
  EXPECT_EQ(RootWindow(gone), gone);
  EXPECT_EQ(::GetLastError(), 0u);
}

TEST(RootWindow, WalksUpThroughParentsAndOwners) {
  UniqueWindow top = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW);
  UniqueWindow owned = MakeWindow(L"STATIC", WS_POPUP, 0, top.get());  // owner, not parent
  UniqueWindow child = MakeWindow(L"STATIC", WS_CHILD, 0, owned.get());
  UniqueWindow grandChild = MakeWindow(L"STATIC", WS_CHILD, 0, child.get());
  ASSERT_TRUE(top && owned && child && grandChild);
  EXPECT_EQ(RootWindow(grandChild.get()), top.get());
  EXPECT_EQ(RootWindow(owned.get()), top.get());
  EXPECT_EQ(RootWindow(top.get()), top.get());
}

TEST(RootWindow, OfficeAndAcrobatDocumentsStandForTheirMainWindow) {
  struct Case {
    const wchar_t* documentClass;
    const wchar_t* mainClass;
    bool replaced;
  };
  for (const Case& c : {Case{L"MS-SDIb", L"PP12FrameClass", true}, Case{L"MS-SDIb", L"PPTFrameClass", false},
                        Case{L"MS-SDIa", L"XLMAIN", true}, Case{L"MS-SDIa", L"OMain", true},
                        Case{L"AcrobatOffscreenDocumentWnd", L"AdobeAcrobat", true},
                        Case{L"AcrobatOffscreenDocumentWnd", L"XLMAIN", false},
                        Case{L"OrdinaryDocument", L"XLMAIN", false}}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.documentClass) + L" / " + c.mainClass));
    ScopedClass documentClass(c.documentClass);
    ScopedClass mainClass(c.mainClass);
    UniqueWindow main = MakeWindow(c.mainClass, WS_OVERLAPPEDWINDOW);
    UniqueWindow document = MakeWindow(c.documentClass, WS_OVERLAPPEDWINDOW);
    UniqueWindow child = MakeWindow(L"STATIC", WS_CHILD, 0, document.get());
    ASSERT_TRUE(main && document && child);
    EXPECT_EQ(RootWindow(child.get()), c.replaced ? main.get() : document.get());
  }
}

TEST(Placement, MinimizedMaximizedAndNormal) {
  UniqueWindow wnd = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW);
  ASSERT_TRUE(wnd);
  struct Case {
    int show;
    int state;
  };
  for (const Case& c : {Case{SW_SHOWNORMAL, 0}, Case{SW_MINIMIZE, 1}, Case{SW_RESTORE, 0}, Case{SW_MAXIMIZE, 2},
                        Case{SW_HIDE, 2}}) {
    SCOPED_TRACE(c.show);
    ::ShowWindow(wnd.get(), c.show);
    EXPECT_EQ(PlacementState(wnd.get()), c.state);
  }
}

TEST(WindowProcess, OwnWindowsAndOwnImagePath) {
  UniqueWindow wnd = MakeWindow(L"STATIC", WS_POPUP);
  ASSERT_TRUE(wnd);
  EXPECT_EQ(ProcessOfWindow(wnd.get()), ::GetCurrentProcessId());
  EXPECT_EQ(ImagePathOfProcess(::GetCurrentProcessId(), false), Executable().lowerPath);
  EXPECT_EQ(FindProcessByExecutableName(Executable().name), ::GetCurrentProcessId());
  EXPECT_EQ(FindProcessByExecutableName(L"no such program here.exe"), 0u);
  EXPECT_EQ(FindProcessByExecutableName(L""), 0u);
}

}  // namespace
