#include "library/rules/regex_library.h"

#include <windows.h>

#include <mutex>

#include "library/model/error.h"
#include "library/model/event_log.h"
#include "library/model/pcre_match.h"
#include "platform/callback_guard.h"
#include "platform/handles.h"

namespace dl::rules {
namespace {
namespace pcre = model::pcre;

struct RegexRuntime {
  platform::CriticalSection lock;
  std::wstring folder;
  platform::UniqueModule module;
  pcre::EntryPoints entry;
  // PCRE exports its release function as a variable holding a function pointer; read
  // it at each use, as PCRE's own callers do.
  pcre::FreeFn* freeVariable = nullptr;
  pcre::FailureReports reported;
};

// Never destroyed: it may be used until the library leaves the process.
RegexRuntime& Runtime() noexcept {
  static auto* runtime = new RegexRuntime();
  return *runtime;
}

template <typename Fn>
Fn Resolve(HMODULE module, const char* name) noexcept {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

bool LoadLocked(RegexRuntime& r) noexcept {
  if (r.module) return true;
  if (r.folder.empty()) return false;
  try {
    std::wstring path = r.folder;
    if (path.back() != L'\\' && path.back() != L'/') path += L'\\';
    path += kRegexLibraryFileName;
    platform::LastErrorGuard keepError;
    // No "cannot find" message boxes inside the application we run in.
    DWORD oldMode = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &oldMode);
    HMODULE module = ::LoadLibraryW(path.c_str());
    ::SetThreadErrorMode(oldMode, nullptr);
    if (!module) return false;
    r.module.reset(module);
  } catch (...) {
    return false;
  }
  HMODULE m = r.module.get();
  r.entry.compile = Resolve<pcre::CompileFn>(m, "pcre_compile");
  r.entry.study = Resolve<pcre::StudyFn>(m, "pcre_study");
  r.entry.exec = Resolve<pcre::ExecFn>(m, "pcre_exec");
  r.entry.fullInfo = Resolve<pcre::FullInfoFn>(m, "pcre_fullinfo");
  r.entry.free = Resolve<pcre::FreeFn>(m, "pcre_free_ex");
  r.freeVariable = r.entry.free ? nullptr : reinterpret_cast<pcre::FreeFn*>(::GetProcAddress(m, "pcre_free"));
  r.entry.freeStudy = Resolve<pcre::FreeStudyFn>(m, "pcre_free_study");
  return true;
}

void ForgetLocked(RegexRuntime& r) noexcept {
  r.entry = {};
  r.freeVariable = nullptr;
  r.module.reset();
}

}  // namespace

void SetRegexLibraryFolder(std::wstring_view folder) noexcept {
  RegexRuntime& r = Runtime();
  std::lock_guard guard(r.lock);
  try {
    r.folder.assign(folder);
  } catch (...) {
    r.folder.clear();
  }
}

bool IsRegexLibraryConfigured() noexcept {
  RegexRuntime& r = Runtime();
  std::lock_guard guard(r.lock);
  return !r.folder.empty();
}

bool IsRegexLibraryLoaded() noexcept {
  RegexRuntime& r = Runtime();
  std::lock_guard guard(r.lock);
  return LoadLocked(r);
}

void LockRegexLibrary() noexcept { Runtime().lock.lock(); }
void UnlockRegexLibrary() noexcept { Runtime().lock.unlock(); }

void UnloadRegexLibrary() noexcept {
  RegexRuntime& r = Runtime();
  std::lock_guard guard(r.lock);
  if (!r.module) return;
  ForgetLocked(r);
  r.folder.clear();
  r.reported.Clear();
}

bool MatchesPattern(std::string_view pattern, std::string_view subject) noexcept {
  RegexRuntime& r = Runtime();
  std::lock_guard guard(r.lock);
  if (r.folder.empty() || !LoadLocked(r)) return false;
  pcre::EntryPoints entry = r.entry;
  if (r.freeVariable) entry.free = *r.freeVariable;
  try {
    return pcre::MatchPattern(entry, pattern, subject);
  } catch (const model::Error& error) {
    try {
      if (r.reported.ShouldReport(pattern)) model::WriteEventLog(error.Message());
    } catch (...) {
      platform::RecordCallbackFailure("regex_library: MatchesPattern");
    }
  } catch (...) {
    platform::RecordCallbackFailure("regex_library: MatchesPattern");
  }
  return false;
}

}  // namespace dl::rules
