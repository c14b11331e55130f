#pragma once
// One regular-expression test through the PCRE (version 1) interface: compile with
// default options and tables, study unless anchored or the first character is known,
// execute, release. The entry points come from whoever has the library: the run-time
// loaded "pcre64.dll" in the Windows tree, the linked system PCRE in the native tree.
#include <cstddef>
#include <set>
#include <string>
#include <string_view>

namespace dl::model::pcre {

// The PCRE1 "extra" block, field for field (unsigned long follows each platform's ABI).
struct Extra {
  unsigned long flags;
  void* study_data;
  unsigned long match_limit;
  void* callout_data;
  const unsigned char* tables;
  unsigned long match_limit_recursion;
  unsigned char** mark;
  void* executable_jit;
};

inline constexpr int kAnchored = 0x00000010;
inline constexpr int kInfoOptions = 0;
inline constexpr int kInfoCaptureCount = 2;
inline constexpr int kInfoFirstByte = 4;
inline constexpr unsigned long kExtraMatchLimit = 0x0002;
inline constexpr unsigned long kExtraMatchLimitRecursion = 0x0010;
inline constexpr int kErrorNoMatch = -1;

// Limits every execution: a caption is at most 100 characters, so an honest pattern
// stays far below them, while a pattern that backtracks without end would otherwise
// stall (or, by its recursion depth, overflow the stack of) the application's thread.
inline constexpr unsigned long kMatchLimit = 1000000;
inline constexpr unsigned long kRecursionLimit = 1000;

using CompileFn = void* (*)(const char* pattern, int options, const char** error, int* errorOffset,
                            const unsigned char* tables);
using StudyFn = Extra* (*)(const void* code, int options, const char** error);
using ExecFn = int (*)(const void* code, const Extra* extra, const char* subject, int length,
                       int startOffset, int options, int* ovector, int ovectorSize);
using FullInfoFn = int (*)(const void* code, const Extra* extra, int what, void* where);
using FreeFn = void (*)(void* block);
using FreeStudyFn = void (*)(Extra* extra);

// A missing entry point is nullptr and answers the failure value of its call.
struct EntryPoints {
  CompileFn compile = nullptr;
  StudyFn study = nullptr;
  ExecFn exec = nullptr;
  FullInfoFn fullInfo = nullptr;
  FreeFn free = nullptr;             // releases what compile returned
  FreeStudyFn freeStudy = nullptr;   // releases what study returned; `free` when absent
};

// Without a release function every test would leak what PCRE allocated.
[[nodiscard]] inline bool CanRelease(const EntryPoints& e) noexcept { return e.free != nullptr; }

// Matched or not; raises model::Error with the system's messages for an invalid
// pattern, a failed study and any execution error other than "no match".
[[nodiscard]] bool MatchPattern(const EntryPoints& entry, std::string_view pattern, std::string_view subject);

// "PCRE_ERROR_NULL" for -2 and so on; "Unknown PCRE error code %d" for the rest.
[[nodiscard]] std::wstring ErrorCodeName(int code);

// Remembers which failing patterns were reported already, so that the event log gets
// one line per pattern instead of one per window. Holds a bounded number of patterns;
// once full, nothing more is reported.
class FailureReports {
 public:
  static constexpr std::size_t kMaxPatterns = 256;
  // True the first time for a pattern (the caller reports it then).
  bool ShouldReport(std::string_view pattern);
  void Clear() noexcept { patterns_.clear(); }

 private:
  std::set<std::string, std::less<>> patterns_;
};

}  // namespace dl::model::pcre
