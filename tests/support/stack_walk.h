#pragma once
// A stack walk with the system's unwinder, as a debugger, a profiler or a crash reporter does.
#include <windows.h>

#include <string>

namespace dl::test {

struct CodeRange {
  DWORD64 begin = 0;
  DWORD64 end = 0;
  [[nodiscard]] bool Contains(DWORD64 address) const { return address >= begin && address < end; }
};

// The extent of the function that contains address, from its unwind information; empty when it
// has none.
CodeRange FunctionContaining(const void* address);

// Walks this thread's stack from the caller; true when one of the frames is inside range. Code
// without unwind information is taken for a leaf. trace, when given, gets a line per frame: the
// address and the file of its module.
bool StackWalkReaches(CodeRange range, std::string* trace = nullptr);

}  // namespace dl::test
