#pragma once
// The one guard for code that the system calls back: window and hook procedures, enumeration
// and timer callbacks. Nothing may unwind into the system or the application that called, so
// the guard swallows every exception, hands back the boundary's failure value, and records the
// first failure of this module once (in the debugger output), so that a silent fault still
// leaves a trace without flooding anything.
#include <type_traits>
#include <utility>

namespace dl::platform {

// Notes a failure at `where` (a string literal); only the first one of the module is written out.
void RecordCallbackFailure(const char* where) noexcept;

// Where the first recorded failure happened, or null while none was.
[[nodiscard]] const char* FirstCallbackFailure() noexcept;

// Runs `body`; on an exception records it and returns `failure`.
template <typename R, typename F>
[[nodiscard]] R GuardCallback(const char* where, R failure, F&& body) noexcept {
  try {
    return std::forward<F>(body)();
  } catch (...) {
    RecordCallbackFailure(where);
    return failure;
  }
}

// Runs `body`, which returns nothing; on an exception records it. True when the body completed.
template <typename F>
bool GuardCallback(const char* where, F&& body) noexcept {
  try {
    std::forward<F>(body)();
    return true;
  } catch (...) {
    RecordCallbackFailure(where);
    return false;
  }
}

}  // namespace dl::platform
