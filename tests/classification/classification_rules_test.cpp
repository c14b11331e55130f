// Name, style and caption composition rules, with the window queries replaced by a table.
#include <gtest/gtest.h>

#include <map>

#include "library/extender/classification_rules.h"

namespace {
using namespace dl::extender;

const std::wstring kGuid = L"0a1b2c3d-4e5f-6071-8293-a4b5c6d7e8f9";  // 36 characters

// Windows described by a table: class, first child, texts, and whether they answer.
struct FakeWindow {
  std::wstring className;
  WindowRef child = 0;
  std::optional<std::wstring> asked;   // nothing: the window does not answer
  std::optional<std::wstring> stored;  // nothing: reading it sets an error
};

class FakeSource : public WindowTextSource {
 public:
  std::map<WindowRef, FakeWindow> windows;
  mutable std::vector<std::pair<WindowRef, unsigned>> askedWith;

  std::wstring ClassName(WindowRef w) const override { return Find(w).className; }
  WindowRef FirstChild(WindowRef w) const override { return Find(w).child; }
  bool IsConsoleWindow(WindowRef w) const override { return Find(w).className == L"ConsoleWindowClass"; }
  std::optional<std::wstring> AskedText(WindowRef w, unsigned timeoutMs) const override {
    askedWith.emplace_back(w, timeoutMs);
    return Find(w).asked;
  }
  std::optional<std::wstring> StoredText(WindowRef w) const override { return Find(w).stored; }

 private:
  // A window missing from the table behaves like one that has vanished.
  FakeWindow Find(WindowRef w) const {
    auto it = windows.find(w);
    return it == windows.end() ? FakeWindow{} : it->second;
  }
};

std::wstring WpfName(std::wstring_view middle) { return L"HwndWrapper[" + std::wstring(middle) + kGuid + L"]"; }

TEST(WpfClassName, RewrittenFromFiftyOneCharactersOn) {
  // "HwndWrapper[" (12) + filler + GUID (36) + "]" (1).
  const std::wstring at50 = WpfName(std::wstring(1, L'x'));
  const std::wstring at51 = WpfName(L"xx");
  ASSERT_EQ(at50.size(), 50u);
  ASSERT_EQ(at51.size(), 51u);
  EXPECT_FALSE(IsWpfWrapperClass(at50));
  EXPECT_EQ(StripWpfInstanceId(at50), at50);
  EXPECT_TRUE(IsWpfWrapperClass(at51));
  EXPECT_EQ(StripWpfInstanceId(at51), L"HwndWrapper[xx]");
}

TEST(WpfClassName, NeedsPrefixAndClosingBracket) {
  const std::wstring body = L"Jing.exe;;" + kGuid;
  EXPECT_FALSE(IsWpfWrapperClass(L"HwndWrapper(" + body + L"]"));
  EXPECT_FALSE(IsWpfWrapperClass(L"HwndWrapper[" + body + L")"));
  EXPECT_FALSE(IsWpfWrapperClass(L"xHwndWrapper[" + body + L"]"));
  EXPECT_TRUE(IsWpfWrapperClass(L"HwndWrapper[" + body + L"]"));
}

TEST(ComposedClassName, WpfWindowAppendsItsChildsComposedName) {
  FakeSource src;
  src.windows[1] = {WpfName(L"Jing.exe;;"), 2};
  src.windows[2] = {L"WindowsForms10.Window.8.app.0.2bf8098_r11_ad1", 3};
  src.windows[3] = {L"Ignored because the child is not a WPF wrapper"};
  EXPECT_EQ(ComposeClassName(src, 1), L"HwndWrapper[Jing.exe;;] - WindowsForms10.Window.8.app.0.2bf8098_r11_ad1");
}

TEST(ComposedClassName, PlainClassIsNotExtendedByItsChild) {
  FakeSource src;
  src.windows[1] = {L"Notepad", 2};
  src.windows[2] = {L"Edit"};
  EXPECT_EQ(ComposeClassName(src, 1), L"Notepad");
}

TEST(ComposedClassName, VanishedWindowsGiveEmptyParts) {
  FakeSource src;
  EXPECT_EQ(ComposeClassName(src, 7), L"");
  // Child handle known but the child is gone by the time it is asked.
  src.windows[1] = {WpfName(L"a.exe;;"), 99};
  EXPECT_EQ(ComposeClassName(src, 1), L"HwndWrapper[a.exe;;] - ");
}

TEST(ComposedClassName, ChainOfWrappersEndsEvenWhenItLoops) {
  FakeSource src;
  src.windows[1] = {WpfName(L"loop.exe;;"), 1};  // its own child, as a corrupted tree could report
  const std::wstring composed = ComposeClassName(src, 1);
  const std::wstring part = L"HwndWrapper[loop.exe;;]";
  std::size_t parts = 0;
  for (std::size_t at = composed.find(part); at != std::wstring::npos; at = composed.find(part, at + 1)) ++parts;
  EXPECT_EQ(parts, static_cast<std::size_t>(kMaxWpfNesting) + 1);
}

TEST(ComposedCaption, SourcesInOrderOfPreference) {
  struct Case {
    const char* what;
    FakeWindow window;
    std::wstring expected;
    bool asks;
  };
  const Case cases[] = {
      {"answers", {L"Notepad", 0, L"Untitled - Notepad", L"stored"}, L"Untitled - Notepad", true},
      {"answers with embedded zero", {L"X", 0, std::wstring(L"abc\0def", 7), L"stored"}, L"abc", true},
      {"does not answer", {L"X", 0, std::nullopt, L"stored text"}, L"stored text", true},
      {"stored text with zero", {L"X", 0, std::nullopt, std::wstring(L"ab\0c", 4)}, L"ab", true},
      {"nothing readable", {L"X", 0, std::nullopt, std::nullopt}, L"", true},
      {"console is never asked", {L"ConsoleWindowClass", 0, L"asked", L"C:\\cmd.exe"}, L"C:\\cmd.exe", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeSource src;
    src.windows[5] = c.window;
    EXPECT_EQ(ComposeCaption(src, 5, 250), c.expected);
    EXPECT_EQ(!src.askedWith.empty(), c.asks);
    if (!src.askedWith.empty()) {
      EXPECT_EQ(src.askedWith.front().second, 250u);
    }
  }
}

TEST(ComposedCaption, WpfWindowAppendsChildCaptionAskedWithTopLevelTimeout) {
  FakeSource src;
  src.windows[1] = {WpfName(L"app.exe;;"), 2, L"Main", L"stored"};
  src.windows[2] = {L"Child", 0, std::nullopt, L"child stored"};
  EXPECT_EQ(ComposeCaption(src, 1, 500), L"Main - child stored");
  ASSERT_EQ(src.askedWith.size(), 2u);
  EXPECT_EQ(src.askedWith[0].second, 500u);
  EXPECT_EQ(src.askedWith[1].second, kCaptionTimeoutMs);
}

TEST(ComposedCaption, TimeOutZeroReadsStoredTextAndAsksNoWindow) {
  FakeSource src;
  src.windows[1] = {WpfName(L"app.exe;;"), 2, L"Main asked", L"Main stored"};
  src.windows[2] = {L"Child", 0, L"child asked", L"child stored"};
  EXPECT_EQ(ComposeCaption(src, 1, 0), L"Main stored - child stored");
  EXPECT_TRUE(src.askedWith.empty()) << "a window of a thread that does not answer is never sent a message";
}

TEST(ClassNameLists, ChromiumAndOfficeAndLists) {
  EXPECT_TRUE(IsChromiumClassName(L"Chrome_WidgetWin_1"));
  EXPECT_TRUE(IsChromiumClassName(L"HwndWrapper[x;;] - YandexBrowser_WidgetWin_0"));
  EXPECT_FALSE(IsChromiumClassName(L"Chrome_RenderWidgetHostHWND"));

  struct Case {
    const wchar_t* name;
    bool office;
  };
  for (const Case& c : {Case{L"XLMAIN", true}, Case{L"OMain", true}, Case{L"PP12FrameClass", true},
                        Case{L"PP9FrameClass", true}, Case{L"PPTFrameClass", false}, Case{L"PPFrameClass", false},
                        Case{L"PP12FrameClassX", false}, Case{L"LMAIN", false}, Case{L"xlmain", false},
                        Case{L"PP1", false}, Case{L"", false}}) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
    EXPECT_EQ(IsOfficeMainWindowClass(c.name), c.office);
  }
  EXPECT_EQ(MainWindowSearchFor(L"MS-SDIb"), MainWindowSearch::kOffice);
  EXPECT_EQ(MainWindowSearchFor(L"AcrobatOffscreenDocumentWnd"), MainWindowSearch::kAcrobat);
  EXPECT_EQ(MainWindowSearchFor(L"XLMAIN"), MainWindowSearch::kNone);
  EXPECT_TRUE(IsSearchedMainWindowClass(MainWindowSearch::kAcrobat, L"AdobeAcrobat"));
  EXPECT_FALSE(IsSearchedMainWindowClass(MainWindowSearch::kAcrobat, L"XLMAIN"));

  EXPECT_TRUE(InSemicolonList(L";mmc.exe;dwm.exe;", L"dwm.exe"));
  EXPECT_FALSE(InSemicolonList(L";mmc.exe;dwm.exe;", L"wm.exe"));
  EXPECT_FALSE(InSemicolonList(L";mmc.exe;dwm.exe;", L""));
}

TEST(WindowStyles, MdiChildPlacementAndConsole) {
  struct Case {
    std::uint32_t style, exStyle;
    bool mdi;
  };
  for (const Case& c : {Case{0, kExStyleMdiChild, true}, Case{kStyleChild | kStyleCaption, 0, true},
                        Case{kStyleChild | kStyleCaption | kStylePopup, 0, false},
                        Case{kStyleChild | 0x00800000u /* border only */, 0, false},
                        Case{kStyleCaption, 0, false}}) {
    SCOPED_TRACE(c.style);
    EXPECT_EQ(IsMdiChildStyle(c.style, c.exStyle), c.mdi);
  }
  EXPECT_EQ(PlacementStateFromShowCommand(2), 1);
  EXPECT_EQ(PlacementStateFromShowCommand(3), 2);
  EXPECT_EQ(PlacementStateFromShowCommand(1), 0);
  EXPECT_EQ(PlacementStateFromShowCommand(6), 0);  // SW_MINIMIZE is not the minimized state

  EXPECT_TRUE(IsConsoleClass(L"ConsoleWindowClass", false));
  EXPECT_FALSE(IsConsoleClass(L"ConsoleWindowClass", true));
}

}  // namespace
