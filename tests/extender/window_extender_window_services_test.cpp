// The window services as a part of a real extender on a real window sees them: it asks the
// extender's IWindowHandler, and the effect shows on the window (from another process where
// that matters); the message path switches the services on and off; detach leaves the window as
// it was before the rule.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "library/extender/process_flags.h"
#include "library/extender/system_functions.h"
#include "library/extender/window_extender.h"
#include "library/extender/window_services_rules.h"
#include "library/extender/window_transparency.h"
#include "library/link/process_monitor_center.h"
#include "platform/registered_messages.h"
#include "tests/extender/window_parts_fixture.h"
#include "tests/extender/services_test_support.h"
#include "tests/extender/logged_window.h"

namespace dl::extender {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using test::PumpUntil;
using test::TooltipText;

constexpr wchar_t kPartParams[] = L"\\action=TESTACTION{name=Part}";

TestPart* PartOf(TWindowExtender& ext) {
  auto part = ext.GetActions()->GetItemByName(L"Part");
  return part ? dynamic_cast<TestPart*>(part.Get()) : nullptr;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  ::GetClassNameW(window, name, 64);
  return name;
}


// What the window system reports of the window's cloaking: 0 or the cloak reason, or -1 where it
// cannot tell (Wine accepts cloak requests but does not answer this question).
int CloakedState(HWND window) {
  DWORD cloaked = 0;
  const auto get = Dwm().getWindowAttribute;
  if (!get || FAILED(get(window, 14 /* DWMWA_CLOAKED */, &cloaked, sizeof(cloaked)))) return -1;
  return static_cast<int>(cloaked);
}

class WindowServicesTest : public ExtenderFixture {
 protected:
  void SetUp() override {
    ExtenderFixture::SetUp();
    wnd = test::CreateLoggedWindow(&wlog, true, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_TRUE(wnd);
    ext = CreateAttached(kPartParams, wnd);
    ASSERT_TRUE(ext);
    part = PartOf(*ext);
    ASSERT_NE(part, nullptr);
    handler = part->Handler();
    ASSERT_NE(handler, nullptr);
  }
  void TearDown() override {
    if (::IsWindow(wnd)) ::DestroyWindow(wnd);
    ext.Reset();
    ExtenderFixture::TearDown();
  }
  // As the rule dispatcher asks an extender to go.
  void CloseRequest() { ::SendMessageW(wnd, platform::ServiceMessage(), kSvcCloseRequest, 0); }

  test::WindowLog wlog;
  HWND wnd = nullptr;
  model::RefPtr<TWindowExtender> ext;
  TestPart* part = nullptr;
  IWindowHandler* handler = nullptr;
};

// ---------------------------------------------------------------------------------------
// Transparency.

TEST_F(WindowServicesTest, TransparencyAskedByAPartIsWhatAnotherProcessReads) {
  model::RefPtr<TestSubscriber> subscriber(new TestSubscriber());
  handler->PropChangeSubscribe(subscriber.Get());

  handler->InitializeTransparency();
  test::LayeredView view = test::LayeredAttributesFromAnotherProcess(wnd);
  ASSERT_TRUE(view.ok);
  EXPECT_TRUE(view.layered);
  EXPECT_EQ(view.alpha, 255u);  // prepared, still fully opaque
  EXPECT_EQ(handler->GetProp(kCurrentWindowTransparencyProperty, -1), 0);
  EXPECT_EQ(handler->GetProp(kFirstTimeTransparencyAppliedProperty, -1), 1);

  EXPECT_TRUE(handler->SetTransparency(40));
  view = test::LayeredAttributesFromAnotherProcess(wnd);
  ASSERT_TRUE(view.ok);
  EXPECT_EQ(view.alpha, 153u);
  EXPECT_TRUE(view.flags & LWA_ALPHA);
  EXPECT_EQ(handler->GetTransparency(), 40);
  ASSERT_FALSE(subscriber->changes.empty());
  EXPECT_EQ(subscriber->changes.back(), std::make_pair(std::wstring(kCurrentWindowTransparencyProperty), std::intptr_t{40}));

  // Prepared once: a second preparation changes nothing.
  handler->InitializeTransparency();
  EXPECT_EQ(handler->GetTransparency(), 40);
  EXPECT_EQ(handler->GetProp(kCurrentWindowTransparencyProperty, -1), 40);

  handler->RemoveTransparency();
  view = test::LayeredAttributesFromAnotherProcess(wnd);
  ASSERT_TRUE(view.ok);
  EXPECT_FALSE(view.layered);
  EXPECT_EQ(handler->GetTransparency(), 0);

  handler->SetTransparency(70);
  handler->FinalizeTransparency();
  view = test::LayeredAttributesFromAnotherProcess(wnd);
  ASSERT_TRUE(view.ok);
  EXPECT_FALSE(view.layered);
  EXPECT_EQ(handler->GetProp(kFirstTimeTransparencyAppliedProperty, -1), -1);
  EXPECT_EQ(handler->GetProp(kCurrentWindowTransparencyProperty, -1), 0);
  handler->PropChangeUnsubscribe(subscriber.Get());
}

// A window keeps after detach the layering it had before the rule made it transparent.
TEST_F(ExtenderFixture, DetachPutsTheWindowsOwnLayeringBack) {
  struct Case {
    const char* what;
    bool layered;
    DWORD flags;  // the window's own layered attributes
    BYTE alpha;
    COLORREF key;
  } cases[] = {
      {"opaque window", false, 0, 0, 0},
      {"own 30 %", true, LWA_ALPHA, AlphaForTransparency(30), 0},
      {"own colour key", true, LWA_COLORKEY, 0, RGB(1, 2, 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::WindowLog wlog;
    HWND wnd = test::CreateLoggedWindow(&wlog, true, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    ASSERT_TRUE(wnd);
    if (c.layered) {
      ::SetWindowLongPtrW(wnd, GWL_EXSTYLE, ::GetWindowLongPtrW(wnd, GWL_EXSTYLE) | WS_EX_LAYERED);
      ASSERT_TRUE(::SetLayeredWindowAttributes(wnd, c.key, c.alpha, c.flags));
    }
    auto ext = CreateAttached(kPartParams, wnd);
    IWindowHandler* handler = PartOf(*ext)->Handler();
    ASSERT_NE(handler, nullptr);
    handler->InitializeTransparency();
    // An application's own transparency is only recorded.
    EXPECT_EQ(handler->GetProp(kCurrentWindowTransparencyProperty, -1), c.flags & LWA_ALPHA ? 30 : 0);
    EXPECT_TRUE(handler->SetTransparency(60));
    EXPECT_EQ(test::LayeredAttributesFromAnotherProcess(wnd).alpha, AlphaForTransparency(60));

    ::SendMessageW(wnd, platform::ServiceMessage(), kSvcCloseRequest, 0);
    EXPECT_EQ(ext->GetWnd(), nullptr);
    const test::LayeredView view = test::LayeredAttributesFromAnotherProcess(wnd);
    ASSERT_TRUE(view.ok);
    EXPECT_EQ(view.layered, c.layered);
    if (c.layered) {
      EXPECT_EQ(view.flags, c.flags);
      if (c.flags & LWA_ALPHA) { EXPECT_EQ(view.alpha, c.alpha); }
      if (c.flags & LWA_COLORKEY) { EXPECT_EQ(view.key, c.key); }
    }
    EXPECT_EQ(ext->GetProp(kFirstTimeTransparencyAppliedProperty, -1), -1);
    ::DestroyWindow(wnd);
  }
}

// ---------------------------------------------------------------------------------------
// Size/move tooltip.

TEST_F(WindowServicesTest, TheTooltipAppearsWithItsLinesAndGoesWhenBothAreEmpty) {
  handler->HideSizeMoveTooltip(0);  // nothing shown: nothing is created
  EXPECT_EQ(handler->GetSizeMoveTooltipWindow(), nullptr);

  handler->ShowSizeMoveTooltip(1, L"300 x 200");
  const HWND tooltip = handler->GetSizeMoveTooltipWindow();
  ASSERT_TRUE(::IsWindow(tooltip));
  EXPECT_EQ(ClassOf(tooltip), L"tooltips_class32");
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(tooltip) != FALSE; }));
  EXPECT_EQ(TooltipText(tooltip, wnd), L"300 x 200");  // line 1 alone: no leading break
  handler->ShowSizeMoveTooltip(0, L"10, 20");
  EXPECT_EQ(handler->GetSizeMoveTooltipWindow(), tooltip);
  EXPECT_EQ(TooltipText(tooltip, wnd), L"10, 20\r\n300 x 200");

  handler->HideSizeMoveTooltip(0);
  handler->HideSizeMoveTooltip(1);
  EXPECT_EQ(handler->GetSizeMoveTooltipWindow(), nullptr);
  EXPECT_FALSE(::IsWindow(tooltip));
}

TEST_F(ExtenderFixture, TheTooltipGoesWithTheWindowAndWithTheExtender) {
  for (const bool destroyWindow : {true, false}) {
    SCOPED_TRACE(destroyWindow ? "window destroyed" : "extender closed");
    test::WindowLog wlog;
    HWND wnd = test::CreateLoggedWindow(&wlog, true, WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    auto ext = CreateAttached(kPartParams, wnd);
    PartOf(*ext)->Handler()->ShowSizeMoveTooltip(0, L"10, 20");
    const HWND tooltip = ext->GetSizeMoveTooltipWindow();
    ASSERT_TRUE(::IsWindow(tooltip));
    if (destroyWindow) ::DestroyWindow(wnd);
    else ::SendMessageW(wnd, platform::ServiceMessage(), kSvcCloseRequest, 0);
    EXPECT_EQ(owner->closes.size(), 1u);
    EXPECT_FALSE(::IsWindow(tooltip));
    EXPECT_EQ(ext->GetSizeMoveTooltipWindow(), nullptr);
    if (::IsWindow(wnd)) ::DestroyWindow(wnd);
    owner->closes.clear();
  }
}

TEST_F(WindowServicesTest, TheTooltipKeepsToTheWorkAreaOfTheMonitorCenter) {
  // One monitor whose work area ends at y 330, as the main program may publish it.
  const HMONITOR monitor = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  link::MonitorSources sources{
      [] { return std::optional<link::DeviceRecords>(link::DeviceRecords{{u"\\\\.\\DISPLAY1", {0, 0, 1000, 700}, true, false}}); },
      [monitor](bool) {
        return std::vector<link::ProcessMonitor>{{monitor, {0, 0, 1000, 700}, {0, 0, 1000, 330}, L"\\\\.\\DISPLAY1"}};
      }};
  link::ReleaseProcessMonitorCenter();
  link::CreateProcessMonitorCenter(sources);
  ASSERT_TRUE(::SetCursorPos(300, 300));
  POINT at{};
  ASSERT_TRUE(PumpUntil([&] { return ::GetCursorPos(&at) && at.x == 300 && at.y == 300; }));
  ::SetCursor(::LoadCursorW(nullptr, IDC_ARROW));
  handler->ShowSizeMoveTooltip(0, L"10, 20");
  const HWND tooltip = handler->GetSizeMoveTooltipWindow();
  RECT rc{};
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(tooltip) && ::GetWindowRect(tooltip, &rc) && rc.left > -30000; }));
  link::ReleaseProcessMonitorCenter();
  // Below the cursor it would cross 330: above it by the offset instead (one pixel of border).
  const int offset = static_cast<int>(20 * test::ExpectedDpi() / 96);
  EXPECT_NEAR(rc.bottom, 300 - offset, 1);
}

// ---------------------------------------------------------------------------------------
// Cloaking.

TEST_F(WindowServicesTest, CloakAndUncloakCodesAreAnsweredByTheExtenderAndReachNobodyElse) {
  const UINT service = platform::ServiceMessage();
  const int seenByWindow = wlog.count(service);
  const LRESULT cloaked = ::SendMessageW(wnd, service, kSvcCloak, 0);
  // 1 where the system has DWM attributes and took the request, 0 otherwise.
  EXPECT_EQ(cloaked, Dwm().setWindowAttribute ? 1 : 0);
  EXPECT_EQ(ext->WindowWasCloaked(), cloaked == 1);
  if (const int state = CloakedState(wnd); state >= 0) { EXPECT_EQ(state, cloaked == 1 ? 1 : 0); }

  EXPECT_EQ(::SendMessageW(wnd, service, kSvcUncloak, 0), cloaked);
  EXPECT_FALSE(ext->WindowWasCloaked());
  if (const int state = CloakedState(wnd); state >= 0) { EXPECT_EQ(state, 0); }
  // Consumed: neither the window nor the part's handler saw either code.
  EXPECT_EQ(wlog.count(service), seenByWindow);
  for (WPARAM code : part->serviceCodes) EXPECT_TRUE(code != kSvcCloak && code != kSvcUncloak);

  // A part asks the same through the handler.
  EXPECT_EQ(handler->CloakWindow(), cloaked == 1);
  EXPECT_EQ(ext->WindowWasCloaked(), cloaked == 1);
  CloseRequest();
  EXPECT_EQ(ext->GetWnd(), nullptr);
  EXPECT_FALSE(ext->WindowWasCloaked());
  // Where the system can tell, the window it cloaked for the rule is visible again.
  if (const int state = CloakedState(wnd); state >= 0) { EXPECT_EQ(state, 0); }
  // Detached: the codes reach the window itself and nothing cloaks it.
  EXPECT_NE(::SendMessageW(wnd, service, kSvcCloak, 0), 1);
  EXPECT_EQ(wlog.count(service), seenByWindow + 1);
}

// ---------------------------------------------------------------------------------------
// DPI.

TEST_F(WindowServicesTest, DpiAnswersAreCachedUntilTheWindowsDpiChanges) {
  const int dpi = static_cast<int>(test::ExpectedDpi());
  EXPECT_EQ(ext->DpiCache().CachedWindowDpi(), 0u);
  EXPECT_EQ(handler->GetWindowDPI(), dpi);
  EXPECT_EQ(handler->GetWindowNonClientDPI(), dpi);
  EXPECT_EQ(ext->DpiCache().CachedWindowDpi(), static_cast<UINT>(dpi));
  EXPECT_EQ(ext->DpiCache().CachedWindowNonClientDpi(), static_cast<UINT>(dpi));

  // The message path forgets both once the window has processed the change.
  RECT suggested{0, 0, 300, 200};
  ::SendMessageW(wnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(ext->DpiCache().CachedWindowDpi(), 0u);
  EXPECT_EQ(ext->DpiCache().CachedWindowNonClientDpi(), 0u);
  EXPECT_EQ(handler->GetWindowDPI(), dpi);

  // A target rectangle set by a part replaces the suggestion once; reset, it is left alone.
  handler->SetTargetRectForDPIChange(RECT{5, 6, 7, 8});
  ::SendMessageW(wnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(suggested.left, 5);
  handler->ResetTargetRectForDPIChange();
  suggested = RECT{0, 0, 300, 200};
  ::SendMessageW(wnd, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(suggested.left, 0);
}

// ---------------------------------------------------------------------------------------
// Colour changes.

TEST_F(WindowServicesTest, ThreeColourChangesAHundredMillisecondsApartGiveOneRefreshAfterTheLast) {
  if (!OsFlags().win10OrLater) GTEST_SKIP() << "colour changes are followed on Windows 10 and later";
  const UINT service = platform::ServiceMessage();
  std::vector<Clock::time_point> refreshes;
  model::RefPtr<TestHandler> probe(new TestHandler('p', nullptr));
  probe->onBefore = [&](WindowMessage& m) {
    if (m.Msg == service && m.WParam == kSvcRefreshFrameIcons) refreshes.push_back(Clock::now());
  };
  handler->AttachMessageHandler(probe.Get());
  Clock::time_point last;
  for (int i = 0; i < 3; ++i) {
    if (i) PumpUntil([] { return false; }, milliseconds(100));
    ::SendMessageW(wnd, WM_THEMECHANGED, 0, 0);
    last = Clock::now();
  }
  EXPECT_TRUE(ext->ColorChangePending());
  EXPECT_TRUE(PumpUntil([&] { return !refreshes.empty(); }, milliseconds(3000)));
  PumpUntil([] { return false; }, milliseconds(500));  // no second one follows
  ASSERT_EQ(refreshes.size(), 1u);
  // A timer never fires early; a little slack for the clocks' different resolutions.
  EXPECT_GE(std::chrono::duration_cast<milliseconds>(refreshes[0] - last).count(), 280);
  EXPECT_FALSE(ext->ColorChangePending());
  handler->DetachMessageHandler(probe.Get());
}

// ---------------------------------------------------------------------------------------
// Nothing left behind.

int MessageOnlyWindowsOfThisThread() {
  int count = 0;
  for (HWND w = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); w;
       w = ::FindWindowExW(HWND_MESSAGE, w, nullptr, nullptr))
    if (::GetWindowThreadProcessId(w, nullptr) == ::GetCurrentThreadId()) ++count;
  return count;
}

int TopLevelWindowsOfThisThread() {
  int count = 0;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(), [](HWND, LPARAM counter) -> BOOL { return ++*reinterpret_cast<int*>(counter), TRUE; },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

TEST_F(ExtenderFixture, AThousandAttachDetachCyclesWithEveryServiceLeaveNothingBehind) {
  const UINT service = platform::ServiceMessage();
  auto cycle = [&](int i) {
    test::WindowLog wlog;
    HWND wnd = test::CreateLoggedWindow(&wlog);
    ASSERT_TRUE(wnd);
    auto ext = CreateAttached(kPartParams, wnd);
    IWindowHandler* handler = PartOf(*ext)->Handler();
    handler->ShowSizeMoveTooltip(0, std::to_wstring(i) + L", 20");
    handler->ShowSizeMoveTooltip(1, L"300 x 200");
    handler->SetTransparency(30);
    (void)handler->GetWindowDPI();
    ::SendMessageW(wnd, service, kSvcCloak, 0);
    ::SendMessageW(wnd, WM_THEMECHANGED, 0, 0);
    const HGDIOBJ font = reinterpret_cast<HGDIOBJ>(::SendMessageW(ext->GetSizeMoveTooltipWindow(), WM_GETFONT, 0, 0));
    ::SendMessageW(wnd, service, kSvcCloseRequest, 0);
    ASSERT_EQ(ext->GetWnd(), nullptr);
    EXPECT_FALSE(::GetWindowLongPtrW(wnd, GWL_EXSTYLE) & WS_EX_LAYERED);
    // The tooltip's own font went with it (a deleted handle stays invalid: handles carry a generation).
    if (font) { EXPECT_EQ(::GetObjectType(font), 0u); }
    void* trampoline = reinterpret_cast<void*>(::GetWindowLongPtrW(wnd, GWLP_WNDPROC));
    ::DestroyWindow(wnd);
    // What the library's hooks do at WM_NCDESTROY of a window that still runs through a parked trampoline.
    FreeParkedTrampoline(trampoline);
  };
  cycle(-1);  // first use: classes registered, functions looked up, pools set up
  PumpUntil([] { return false; }, milliseconds(0));
  const DWORD gdi = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  const DWORD user = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
  const int messageOnly = MessageOnlyWindowsOfThisThread();
  const int topLevel = TopLevelWindowsOfThisThread();
  const long live = TWindowExtender::LiveCount();
  const std::size_t blocks = TrampolineBlockCount();
  for (int i = 0; i < 1000 && !HasFatalFailure(); ++i) cycle(i);
  PumpUntil([] { return false; }, milliseconds(0));
  EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS), gdi);
  EXPECT_EQ(::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS), user);
  EXPECT_EQ(MessageOnlyWindowsOfThisThread(), messageOnly);  // service windows
  EXPECT_EQ(TopLevelWindowsOfThisThread(), topLevel);        // tooltips
  EXPECT_EQ(TWindowExtender::LiveCount(), live);
  EXPECT_LE(TrampolineBlockCount(), blocks + 1);
  EXPECT_TRUE(owner->extenders.empty());
}

}  // namespace
}  // namespace dl::extender
