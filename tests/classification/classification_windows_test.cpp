// Class tests by atom and by name, and which windows count as top-level application
// windows, on real windows with chosen classes and styles.
#include <gtest/gtest.h>

#include "library/extender/classification_atoms.h"
#include "library/extender/classification_windows.h"
#include "library/extender/process_flags.h"
#include "tests/classification/test_windows.h"

namespace {
using namespace dl::extender;
using dl::platform::UniqueWindow;
using dl::test::MakeWindow;
using dl::test::ScopedClass;

TEST(ClassAtoms, AtomRegisteredBeforeTheClassMatchesTheClassLater) {
  RegisterClassAtoms();
  const ATOM before = KnownClassAtom(KnownClass::kCabinetWClass);
  ASSERT_NE(before, 0);
  ScopedClass cls(L"CabinetWClass");
  ASSERT_NE(cls.atom(), 0);
  EXPECT_EQ(cls.atom(), before);
}

TEST(ClassTests, ByAtomOnRealWindows) {
  using Test = bool (*)(HWND) noexcept;
  struct Case {
    const wchar_t* className;
    Test test;
    bool expected;
  };
  const Case cases[] = {
      {L"CabinetWClass", IsShellFolderWindow, true},
      {L"ExploreWClass", IsShellFolderWindow, true},
      {L"CabinetWClassX", IsShellFolderWindow, false},
      {L"Quillon_TabbedExplorerContainerWindow", IsTabbedContainer, true},
      {L"QL_MetroFrameWindow", IsImmersiveFrame, true},
      {L"ApplicationFrameWindow", IsApplicationFrameWindow, OsFlags().win10OrLater},
      {L"Windows.UI.Core.CoreWindow", IsImmersiveWindow, true},
      {L"Modern_Sticky_Top_Window", IsImmersiveWindow, true},
      {L"Chrome_WidgetWin_1", IsChromiumWindow, true},
      {L"Chrome_RenderWidgetHostHWND", IsChromiumWindow, false},
      // Wine reports Windows 10: no window is a console window for these tests there.
      {L"ConsoleWindowClass", IsConsoleWindow, !OsFlags().win7OrLater},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.className)));
    ScopedClass cls(c.className);
    UniqueWindow wnd = MakeWindow(c.className, WS_OVERLAPPEDWINDOW);
    ASSERT_TRUE(wnd);
    EXPECT_EQ(c.test(wnd.get()), c.expected);
  }
  // An ordinary window of this (packaged-app-less) process is not immersive.
  UniqueWindow plain = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW);
  EXPECT_FALSE(IsImmersiveWindow(plain.get()));
}

TEST(ClassTests, MessageOnlyAndMdiChildWindows) {
  UniqueWindow messageOnly = MakeWindow(L"STATIC", 0, 0, HWND_MESSAGE);
  UniqueWindow top = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW);
  UniqueWindow mdiLike = MakeWindow(L"STATIC", WS_CHILD | WS_CAPTION, 0, top.get());
  UniqueWindow plainChild = MakeWindow(L"STATIC", WS_CHILD | WS_BORDER, 0, top.get());
  ASSERT_TRUE(messageOnly && top && mdiLike && plainChild);
  EXPECT_TRUE(IsMessageOnlyWindow(messageOnly.get()));
  EXPECT_FALSE(IsMessageOnlyWindow(top.get()));
  EXPECT_TRUE(IsMdiChild(mdiLike.get()));
  EXPECT_FALSE(IsMdiChild(plainChild.get()));
  EXPECT_FALSE(IsMdiChild(top.get()));
}

TEST(TopLevelApplicationWindow, WhichWindowsQualify) {
  ScopedClass floating(L"Quillon_CB_FloatingWindow");
  ScopedClass messenger(L"dlm_MessengerClientWindow");
  UniqueWindow owner = MakeWindow(L"STATIC", WS_OVERLAPPEDWINDOW);
  ASSERT_TRUE(owner);
  struct Case {
    const char* what;
    const wchar_t* cls;
    DWORD style, exStyle;
    HWND parent;
    bool qualifies;
  };
  const Case cases[] = {
      {"overlapped, hidden", L"STATIC", WS_OVERLAPPEDWINDOW, 0, nullptr, true},
      {"visible popup", L"STATIC", WS_POPUP | WS_VISIBLE, 0, nullptr, true},
      {"owned dialog-like popup", L"STATIC", WS_POPUP | WS_CAPTION, 0, owner.get(), true},
      {"child control", L"STATIC", WS_CHILD, 0, owner.get(), false},
      {"MDI-style child", L"STATIC", WS_CHILD | WS_CAPTION, 0, owner.get(), true},
      {"unowned tool window", L"STATIC", WS_POPUP, WS_EX_TOOLWINDOW, nullptr, false},
      {"unowned overlapped tool window", L"STATIC", WS_OVERLAPPED | WS_CAPTION, WS_EX_TOOLWINDOW, nullptr, false},
      {"owned tool window", L"STATIC", WS_POPUP, WS_EX_TOOLWINDOW, owner.get(), true},
      {"owned overlapped tool window", L"STATIC", WS_OVERLAPPED | WS_CAPTION, WS_EX_TOOLWINDOW, owner.get(), true},
      {"child tool window", L"STATIC", WS_CHILD, WS_EX_TOOLWINDOW, owner.get(), false},
      {"message-only", L"STATIC", WS_POPUP, 0, HWND_MESSAGE, false},
      {"own floating button window", floating.name(), WS_POPUP, 0, nullptr, false},
      {"own messenger window", messenger.name(), WS_POPUP, 0, nullptr, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    UniqueWindow wnd = MakeWindow(c.cls, c.style, c.exStyle, c.parent);
    ASSERT_TRUE(wnd);
    EXPECT_EQ(IsTopLevelApplicationWindow(wnd.get()), c.qualifies);
  }
  HWND gone = MakeWindow(L"STATIC", WS_POPUP).release();
  ::DestroyWindow(gone);
  EXPECT_FALSE(IsTopLevelApplicationWindow(gone));
}

}  // namespace
