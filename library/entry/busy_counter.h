#pragma once
// The process's busy counter: activities that are running library code or will call back
// into it. Hook and window procedures count themselves in and out around their work.
namespace dl::entry {

long CountIn() noexcept;   // returns the new value
long CountOut() noexcept;  // returns the new value
long BusyCount() noexcept;

class BusyScope {
 public:
  BusyScope() noexcept { CountIn(); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;
  ~BusyScope() { CountOut(); }
};

}  // namespace dl::entry
