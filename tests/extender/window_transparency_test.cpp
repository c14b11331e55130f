// Transparency on real windows, read back from another process the way every other program
// sees it: the preparation, setting, reading and removing, and the hidden-window variant.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>

#include "library/extender/window_services_rules.h"
#include "library/extender/window_transparency.h"
#include "platform/handles.h"
#include "tests/extender/services_test_support.h"
#include "tests/support/window_class.h"

namespace {
using namespace dl::extender;
using dl::platform::UniqueWindow;
using dl::test::LayeredAttributesFromAnotherProcess;
using dl::test::PropertyMap;
using dl::test::ScopedClass;

UniqueWindow MakeWindow(const wchar_t* className, bool visible = true) {
  UniqueWindow window(::CreateWindowExW(0, className, L"transparency", WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0),
                                        100, 120, 320, 200, nullptr, nullptr, dl::test::Instance(), nullptr));
  return window;
}

class Transparency : public ::testing::Test {
 protected:
  ScopedClass plain_{L"DlTransparencyPlain"};
  PropertyMap properties_;
};

TEST_F(Transparency, OpaqueWindowIsPreparedLayeredAndOpaqueThenReads40AsAlpha153Outside) {
  UniqueWindow window = MakeWindow(plain_.name());
  ASSERT_TRUE(window);
  InitializeTransparency(window.get(), properties_);
  EXPECT_EQ(properties_.Get(kFirstTimeTransparencyAppliedProperty), 1);
  EXPECT_EQ(properties_.Get(kCurrentWindowTransparencyProperty), 0);
  auto view = LayeredAttributesFromAnotherProcess(window.get());
  ASSERT_TRUE(view.ok);
  EXPECT_TRUE(view.layered);
  EXPECT_TRUE(view.read);
  EXPECT_EQ(view.alpha, 255u);
  EXPECT_EQ(view.flags, static_cast<unsigned long>(LWA_ALPHA));

  ASSERT_TRUE(SetWindowTransparency(window.get(), 40));
  view = LayeredAttributesFromAnotherProcess(window.get());
  ASSERT_TRUE(view.ok);
  EXPECT_EQ(view.alpha, 153u);
  EXPECT_EQ(ReadWindowTransparency(window.get()), 40);
}

TEST_F(Transparency, AlreadyLayeredAt30KeepsItsTransparencyAndOnlyRecords30) {
  UniqueWindow window = MakeWindow(plain_.name());
  ::SetWindowLongPtrW(window.get(), GWL_EXSTYLE, ::GetWindowLongPtrW(window.get(), GWL_EXSTYLE) | WS_EX_LAYERED);
  ASSERT_TRUE(::SetLayeredWindowAttributes(window.get(), 0, AlphaForTransparency(30), LWA_ALPHA));
  InitializeTransparency(window.get(), properties_);
  EXPECT_EQ(properties_.Get(kCurrentWindowTransparencyProperty), 30);
  EXPECT_EQ(properties_.Get(kFirstTimeTransparencyAppliedProperty), 1);
  const auto view = LayeredAttributesFromAnotherProcess(window.get());
  ASSERT_TRUE(view.ok);
  EXPECT_EQ(view.alpha, AlphaForTransparency(30));
}

TEST_F(Transparency, SecondInitializeDoesNothingUntilFinalizeHasRun) {
  UniqueWindow window = MakeWindow(plain_.name());
  InitializeTransparency(window.get(), properties_);
  ASSERT_EQ(properties_.Get(kCurrentWindowTransparencyProperty), 0);
  // The window changes behind the extender's back; a second preparation must not look again.
  ASSERT_TRUE(SetWindowTransparency(window.get(), 30));
  InitializeTransparency(window.get(), properties_);
  EXPECT_EQ(properties_.Get(kCurrentWindowTransparencyProperty), 0);
  EXPECT_EQ(ReadWindowTransparency(window.get()), 30);

  FinalizeTransparency(window.get(), properties_);
  EXPECT_EQ(properties_.Get(kFirstTimeTransparencyAppliedProperty), -1);
  EXPECT_EQ(properties_.Get(kCurrentWindowTransparencyProperty), 0);
  ASSERT_TRUE(SetWindowTransparency(window.get(), 30));
  InitializeTransparency(window.get(), properties_);
  EXPECT_EQ(properties_.Get(kCurrentWindowTransparencyProperty), 30);
}

TEST_F(Transparency, FinalizeLeavesTheWindowOpaqueAndUnlayeredUnlessItHasAColourKey) {
  struct Case {
    const char* what;
    DWORD flags;  // what the application itself had set, 0: not layered
    COLORREF key;
    bool layeredAfter;
  };
  const Case cases[] = {
      {"never layered", 0, 0, false},
      {"alpha only", LWA_ALPHA, 0, false},
      {"colour key and alpha", LWA_ALPHA | LWA_COLORKEY, RGB(0, 255, 0), true},
      {"colour key only", LWA_COLORKEY, RGB(12, 34, 56), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UniqueWindow window = MakeWindow(plain_.name());
    if (c.flags) {
      ::SetWindowLongPtrW(window.get(), GWL_EXSTYLE, ::GetWindowLongPtrW(window.get(), GWL_EXSTYLE) | WS_EX_LAYERED);
      ASSERT_TRUE(::SetLayeredWindowAttributes(window.get(), c.key, 200, c.flags));
    }
    PropertyMap properties;
    InitializeTransparency(window.get(), properties);
    ASSERT_TRUE(SetWindowTransparency(window.get(), 60));
    FinalizeTransparency(window.get(), properties);
    const auto view = LayeredAttributesFromAnotherProcess(window.get());
    ASSERT_TRUE(view.ok);
    EXPECT_EQ(view.layered, c.layeredAfter);
    EXPECT_EQ(ReadWindowTransparency(window.get()), 0);
    if (c.layeredAfter) {
      EXPECT_TRUE(view.read);
      EXPECT_EQ(view.flags, static_cast<unsigned long>(LWA_COLORKEY));
      EXPECT_EQ(view.key, static_cast<unsigned long>(c.key));
    }
  }
}

TEST_F(Transparency, HiddenControlHostIsPreparedOffScreenAndComesBackHiddenInPlace) {
  ScopedClass controlHost(L"DV2ControlHost");
  UniqueWindow window = MakeWindow(controlHost.name(), false);
  ASSERT_TRUE(window);
  RECT before{};
  ::GetWindowRect(window.get(), &before);
  InitializeTransparency(window.get(), properties_);
  EXPECT_FALSE(::IsWindowVisible(window.get()));
  RECT after{};
  ::GetWindowRect(window.get(), &after);
  EXPECT_EQ(after.left, before.left);
  EXPECT_EQ(after.top, before.top);
  const auto view = LayeredAttributesFromAnotherProcess(window.get());
  ASSERT_TRUE(view.ok);
  EXPECT_TRUE(view.layered);
  EXPECT_EQ(view.alpha, 255u);
}

TEST_F(Transparency, AWindowLayeredByUpdateLayeredWindowIsLeftAsItIs) {
  UniqueWindow window(::CreateWindowExW(WS_EX_LAYERED, plain_.name(), L"per-pixel", WS_POPUP, 100, 100, 64, 64,
                                        nullptr, nullptr, dl::test::Instance(), nullptr));
  ASSERT_TRUE(window);
  // A picture with per-pixel alpha: its attributes cannot be read, and setting any would
  // replace the picture by the window's (unpainted) surface.
  BITMAPINFO bmi{};
  bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), 64, -64, 1, 32, BI_RGB};
  void* bits = nullptr;
  dl::platform::UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  dl::platform::UniqueGdiObject bitmap(::CreateDIBSection(dc.get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_TRUE(bitmap && bits);
  std::fill_n(static_cast<std::uint32_t*>(bits), 64 * 64, 0x80402010u);
  dl::platform::ScopedSelectObject select(dc.get(), bitmap.get());
  POINT origin{}, at{100, 100};
  SIZE size{64, 64};
  BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  ASSERT_TRUE(::UpdateLayeredWindow(window.get(), nullptr, &at, &size, dc.get(), &origin, 0, &blend, ULW_ALPHA));
  ::ShowWindow(window.get(), SW_SHOWNOACTIVATE);
  auto view = LayeredAttributesFromAnotherProcess(window.get());
  ASSERT_TRUE(view.ok);
  ASSERT_FALSE(view.read);

  InitializeTransparency(window.get(), properties_);
  EXPECT_EQ(properties_.Get(kCurrentWindowTransparencyProperty), 0);
  EXPECT_EQ(properties_.Get(kFirstTimeTransparencyAppliedProperty), 1);
  view = LayeredAttributesFromAnotherProcess(window.get());
  ASSERT_TRUE(view.ok);
  EXPECT_TRUE(view.layered);
  EXPECT_FALSE(view.read);  // still per-pixel: no attributes were set
}

TEST_F(Transparency, FailedReadsKeepALastErrorOfZeroAndAVanishedWindowIsHarmless) {
  UniqueWindow window = MakeWindow(plain_.name());
  ::SetLastError(0);
  EXPECT_EQ(ReadWindowTransparency(window.get()), 0);  // not layered: the read fails
  EXPECT_EQ(::GetLastError(), 0u);
  ::SetLastError(ERROR_INVALID_DATA);
  static_cast<void>(ReadWindowTransparency(window.get()));
  EXPECT_NE(::GetLastError(), 0u);  // a caller's own error is not hidden either

  const HWND gone = window.get();
  window.reset();
  PropertyMap properties;
  EXPECT_EQ(ReadWindowTransparency(gone), 0);
  EXPECT_FALSE(SetWindowTransparency(gone, 50));
  InitializeTransparency(gone, properties);
  EXPECT_EQ(properties.Get(kCurrentWindowTransparencyProperty), 0);
  FinalizeTransparency(gone, properties);
  RemoveWindowTransparency(gone);
}

}  // namespace
