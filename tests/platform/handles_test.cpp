#include "platform/handles.h"

#include <gtest/gtest.h>

namespace {
using namespace dl::platform;

bool IsOpenHandle(HANDLE h) {
  DWORD flags = 0;
  return ::GetHandleInformation(h, &flags) != FALSE;
}

TEST(UniqueHandle, ClosesOnScopeExitAndOnReset) {
  HANDLE raw = nullptr;
  {
    UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    ASSERT_TRUE(event);
    raw = event.get();
    EXPECT_TRUE(IsOpenHandle(raw));
  }
  EXPECT_FALSE(IsOpenHandle(raw));

  UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  raw = event.get();
  event.reset();
  EXPECT_FALSE(event);
  EXPECT_FALSE(IsOpenHandle(raw));
}

TEST(UniqueHandle, MoveTransfersOwnershipAndReleaseGivesItUp) {
  UniqueHandle a(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  HANDLE raw = a.get();
  UniqueHandle b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(b.get(), raw);
  HANDLE released = b.release();
  EXPECT_FALSE(b);
  EXPECT_TRUE(IsOpenHandle(released));
  ::CloseHandle(released);
}

TEST(UniqueFileHandle, InvalidHandleValueIsEmpty) {
  UniqueFileHandle file(::CreateFileW(L"C:\\no\\such\\folder\\file.txt", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                      nullptr));
  EXPECT_FALSE(file);
  EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
}

TEST(ScopedSelectObject, PutsThePreviousObjectBack) {
  UniqueMemoryDc dc(::CreateCompatibleDC(nullptr));
  ASSERT_TRUE(dc);
  HGDIOBJ before = ::GetCurrentObject(dc.get(), OBJ_BRUSH);
  UniqueGdiObject brush(::CreateSolidBrush(RGB(1, 2, 3)));
  {
    ScopedSelectObject select(dc.get(), brush.get());
    EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BRUSH), brush.get());
  }
  EXPECT_EQ(::GetCurrentObject(dc.get(), OBJ_BRUSH), before);
}

TEST(LastErrorGuard, RestoresZeroButKeepsAnEarlierError) {
  ::SetLastError(0);
  { LastErrorGuard guard; ::SetLastError(ERROR_ACCESS_DENIED); }
  EXPECT_EQ(::GetLastError(), 0u);

  ::SetLastError(ERROR_FILE_NOT_FOUND);
  { LastErrorGuard guard; ::SetLastError(ERROR_ACCESS_DENIED); }
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}
}  // namespace
