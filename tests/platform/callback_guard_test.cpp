// The callback guard: nothing escapes, the boundary's failure value comes back, and the first
// failure of the module is the one recorded.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdexcept>
#include <string>

#include "platform/callback_guard.h"
#include "platform/no_destructor.h"

namespace {
using namespace dl::platform;

TEST(CallbackGuard, PassesResultsThroughAndTurnsAnyExceptionIntoTheFailureValue) {
  EXPECT_EQ(GuardCallback("passes", LRESULT{-1}, [] { return LRESULT{7}; }), 7);
  EXPECT_EQ(GuardCallback("throws std", LRESULT{-1}, []() -> LRESULT { throw std::runtime_error("x"); }), -1);
  EXPECT_EQ(GuardCallback("throws other", BOOL{FALSE}, []() -> BOOL { throw 42; }), FALSE);
  int ran = 0;
  EXPECT_TRUE(GuardCallback("void passes", [&] { ++ran; }));
  EXPECT_FALSE(GuardCallback("void throws", [&] {
    ++ran;
    throw std::bad_alloc();
  }));
  EXPECT_EQ(ran, 2);
}

TEST(CallbackGuard, KeepsTheFirstFailureAndTheThreadsLastError) {
  ::SetLastError(ERROR_ACCESS_DENIED);
  RecordCallbackFailure("later");
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED)) << "recording changed the last error";
  ASSERT_NE(FirstCallbackFailure(), nullptr);
  // Whatever failed first in this program (the test above, if it ran first) stays the record.
  const std::string first = FirstCallbackFailure();
  RecordCallbackFailure("much later");
  EXPECT_EQ(std::string(FirstCallbackFailure()), first);
}

struct CountsDestruction {
  explicit CountsDestruction(int* counter) : counter(counter), text(L"owns heap memory, more than SSO holds") {}
  ~CountsDestruction() { ++*counter; }
  int* counter;
  std::wstring text;
};

TEST(NoDestructor, BuildsItsObjectAndNeverDestroysIt) {
  static_assert(std::is_trivially_destructible_v<NoDestructor<std::wstring>>,
                "a function-local static of it must register no exit-time destructor");
  int destroyed = 0;
  {
    NoDestructor<CountsDestruction> object(&destroyed);
    EXPECT_EQ(object->text, L"owns heap memory, more than SSO holds");
    EXPECT_EQ((*object).counter, &destroyed);
  }
  EXPECT_EQ(destroyed, 0);
}

}  // namespace
