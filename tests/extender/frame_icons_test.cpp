// App-frame icons on a real window: the hosted app's icons replace the frame's, the frame's own
// icons are destroyed, an icon changed by an action is left alone, and a placeholder does not
// count as done.
#include <gtest/gtest.h>

#include "library/extender/frame_icons.h"
#include "platform/handles.h"
#include "tests/extender/services_test_support.h"
#include "tests/support/window_class.h"

namespace {
using namespace dl::extender;

bool IconAlive(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return false;
  ::DeleteObject(info.hbmColor);
  ::DeleteObject(info.hbmMask);
  return true;
}

HICON IconOf(HWND window, WPARAM which) {
  return reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, which, 0));
}

class FrameIconsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    frame_.reset(::CreateWindowExW(0, class_.name(), L"frame", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                   dl::test::Instance(), nullptr));
    ASSERT_TRUE(frame_);
    oldBig_ = dl::test::MakeTestIcon(32);
    oldSmall_ = dl::test::MakeTestIcon(16);
    ::SendMessageW(frame_.get(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(oldBig_));
    ::SendMessageW(frame_.get(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(oldSmall_));
  }
  dl::test::ScopedClass class_{L"DlFrameIconsWindow"};
  dl::platform::UniqueWindow frame_;
  HICON oldBig_ = nullptr, oldSmall_ = nullptr;
};

TEST_F(FrameIconsTest, HostedAppIconsReplaceTheFramesAndTheOldOnesAreDestroyed) {
  const HICON big = dl::test::MakeTestIcon(32), small = dl::test::MakeTestIcon(16);
  int askedLarge = 0, askedSmall = 0;
  FrameIcons icons;
  EXPECT_TRUE(icons.Refresh(frame_.get(), false, [&](HWND, int large, int smallSize) {
    askedLarge = large;
    askedSmall = smallSize;
    return HostedAppIcons{{big, false}, {small, false}};
  }));
  EXPECT_TRUE(icons.Initialized());
  EXPECT_EQ(askedLarge, ::GetSystemMetrics(SM_CXICON));
  EXPECT_EQ(askedSmall, ::GetSystemMetrics(SM_CXSMICON));
  EXPECT_EQ(IconOf(frame_.get(), ICON_BIG), big);
  EXPECT_EQ(IconOf(frame_.get(), ICON_SMALL), small);
  EXPECT_FALSE(IconAlive(oldBig_));
  EXPECT_FALSE(IconAlive(oldSmall_));
  EXPECT_TRUE(IconAlive(big));
}

TEST_F(FrameIconsTest, AnIconChangedByAnActionIsLeftAloneAndAPlaceholderIsNotDone) {
  FrameIcons icons;
  int asked = 0;
  const HICON placeholder = dl::test::MakeTestIcon(32);
  auto source = [&](HWND, int, int) {
    ++asked;
    return HostedAppIcons{{placeholder, true}, {nullptr, false}};
  };
  EXPECT_FALSE(icons.Refresh(frame_.get(), true, source));
  EXPECT_EQ(asked, 0);
  EXPECT_EQ(IconOf(frame_.get(), ICON_BIG), oldBig_);

  EXPECT_FALSE(icons.Refresh(frame_.get(), false, source));
  EXPECT_EQ(asked, 1);
  EXPECT_FALSE(icons.Initialized());  // still waiting for the app's real icon
  EXPECT_EQ(IconOf(frame_.get(), ICON_BIG), placeholder);
  EXPECT_EQ(IconOf(frame_.get(), ICON_SMALL), oldSmall_);  // no small icon came: the frame keeps its own
  EXPECT_TRUE(IconAlive(oldSmall_));
}

}  // namespace
