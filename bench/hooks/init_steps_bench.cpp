// What the steps of library initialisation cost that run before a process's first window, done
// the earlier way and the present way, in one run (medians of interleaved rounds):
//  - finding whether a module is loaded: asking the loader by name, or one look at its list;
//  - reading the executable's identity: twice (gate and process flags) with the long-path
//    expansion every time, or once, expanding only a short path;
//  - the class atoms: nineteen registrations at start, or none until a window is first tested;
//  - the process-local storage: mapped again to find the trampoline pool, or read once.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "platform/process_identity.h"

namespace {

double Microseconds(const std::function<void()>& work) {
  LARGE_INTEGER f, a, b;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&a);
  work();
  ::QueryPerformanceCounter(&b);
  return 1e6 * double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

const wchar_t* const kAbsent[] = {L"mso.dll", L"FixVersionDll.dll", L"nview64.dll"};

void ModulesByLoader() {
  for (const wchar_t* name : kAbsent) (void)::GetModuleHandleW(name);
}
void ModulesByList() {
  for (const wchar_t* name : kAbsent) (void)dl::platform::IsModuleLoaded(name);
}

std::wstring PathOnce() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  return std::wstring(path, n);
}
void IdentityTwiceWithLongPath() {
  for (int i = 0; i < 2; ++i) {
    std::wstring path = PathOnce();
    wchar_t longPath[MAX_PATH];
    (void)::GetLongPathNameW(path.c_str(), longPath, MAX_PATH);
    ::CharLowerBuffW(path.data(), static_cast<DWORD>(path.size()));
  }
}
void IdentityOnce() { (void)dl::platform::ReadProcessIdentity(); }

void ClassAtoms() {
  for (int i = 0; i < 19; ++i) {
    const std::wstring name = L"dl_init_bench_class_" + std::to_wstring(i);
    (void)::RegisterClipboardFormatW(name.c_str());
  }
}

HANDLE g_mapping = nullptr;
void MapAgainTwice() {
  for (int i = 0; i < 2; ++i) {
    HANDLE m = ::OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, L"Local\\dl_init_steps_bench");
    void* view = m ? ::MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 40) : nullptr;
    if (view) ::UnmapViewOfFile(view);
    if (m) ::CloseHandle(m);
  }
}

}  // namespace

int main() {
  g_mapping = ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 40, L"Local\\dl_init_steps_bench");
  struct Step {
    const char* name;
    std::function<void()> before, after;
  };
  const Step steps[] = {
      {"three absent modules looked up", &ModulesByLoader, &ModulesByList},
      {"executable identity read", &IdentityTwiceWithLongPath, &IdentityOnce},
      {"class atoms at start", &ClassAtoms, [] {}},
      {"storage mapped for the pool", &MapAgainTwice, [] {}},
  };
  std::printf("%-34s %12s %12s\n", "step", "before (us)", "after (us)");
  double totalBefore = 0, totalAfter = 0;
  for (const Step& step : steps) {
    std::vector<double> b, a;
    step.before();
    step.after();
    for (int round = 0; round < 15; ++round) {
      b.push_back(Microseconds(step.before));
      a.push_back(Microseconds(step.after));
    }
    const double mb = Median(b), ma = Median(a);
    totalBefore += mb;
    totalAfter += ma;
    std::printf("%-34s %12.1f %12.1f\n", step.name, mb, ma);
  }
  std::printf("%-34s %12.1f %12.1f\n", "together", totalBefore, totalAfter);
  if (g_mapping) ::CloseHandle(g_mapping);
  return 0;
}
