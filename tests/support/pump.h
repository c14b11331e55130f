#pragma once
// Waiting on a thread that owns windows: its messages keep flowing while a condition is polled.
#include <chrono>
#include <functional>

namespace dl::test {

// Dispatches this thread's messages, then tests `done`, until it holds or `limit` has passed.
bool PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(5));

}  // namespace dl::test
