// Where a process start with the library goes, in one run, against a process that loads the
// bare hook library (medians of interleaved rounds):
//  1. whole processes of start_probe (it imports only kernel32, user32 and the C runtime):
//     bare hook library; bare hook library after the system DLLs the library used to import
//     (ole32, shlwapi); the library only mapped; the library loaded; and the same with a window
//     made first, as a GUI program has one before its first message;
//  2. the steps of the library's initialisation, timed in fresh processes of this program, in
//     the order the library takes them, with the system modules each step brought in: the
//     earlier way (the monitor center made at start) and the present way (at its first use).
// Fails only when a child fails.
//   start_steps_bench [--steps <mapping name> earlier|present]   (the child of the step rounds)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "library/entry/hook_stubs.h"
#include "library/entry/plugin_host_environment.h"
#include "library/entry/process_gate.h"
#include "library/extender/process_flags.h"
#include "library/extender/wndproc_trampoline.h"
#include "library/link/process_monitor_center.h"
#include "library/runtime/process_local_storage.h"
#include "library/runtime/shared_messages.h"
#include "tests/support/bin_dir.h"

namespace {

using namespace dl;

constexpr int kRounds = 9;

double Now() {
  LARGE_INTEGER f, t;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&t);
  return 1e6 * double(t.QuadPart) / double(f.QuadPart);
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Modules a step may bring into a fresh process; each costs a load and its own start-up.
const wchar_t* const kWatched[] = {L"winex11.drv", L"uxtheme.dll", L"ole32.dll",  L"combase.dll",
                                   L"shlwapi.dll", L"comctl32.dll", L"imm32.dll", L"psapi.dll"};
constexpr int kWatchedCount = sizeof kWatched / sizeof kWatched[0];

unsigned LoadedWatched() {
  unsigned bits = 0;
  for (int i = 0; i < kWatchedCount; ++i)
    if (::GetModuleHandleW(kWatched[i])) bits |= 1u << i;
  return bits;
}

struct StepResult {
  double us;
  unsigned modulesBrought;
};

constexpr int kMaxSteps = 16;
struct StepBlock {
  int count;
  StepResult steps[kMaxSteps];
};

struct Step {
  const char* name;
  void (*run)();
};

void AllowThroughFilter() {
  using ChangeFn = BOOL(WINAPI*)(UINT, DWORD);
  auto change = reinterpret_cast<ChangeFn>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilter")));
  if (!change) return;
  if (entry::Messages().service) change(entry::Messages().service, 1);
  if (entry::Messages().taskbarCreated) change(entry::Messages().taskbarCreated, 1);
}

entry::IEmbeddedApplication* g_app = nullptr;
bool g_monitorCenterAtStart = false;

// The library's initialisation in its order (library_init.cpp), one step at a time.
const Step kSteps[] = {
    {"shared messages and atoms", [] { entry::RegisterSharedMessages(); }},
    {"process-local storage", [] { (void)entry::ProcessLocalStorage::Instance().Open(); }},
    {"trampoline pool", [] { extender::InitTrampolinePool(); }},
    {"process flags", [] { (void)extender::CurrentProcessFlags(); }},
    {"monitor center",
     [] {
       if (g_monitorCenterAtStart)
         link::CreateProcessMonitorCenter();
       else
         link::CreateProcessMonitorCenterAtFirstUse();
     }},
    {"message filter", &AllowThroughFilter},
    {"process gate",
     [] {
       entry::GateInputs inputs = entry::ReadGateInputs();
       entry::GateFlags flags = entry::ComputeGateFlags(inputs);
       flags.hasConsole = ::GetConsoleWindow() != nullptr;
       entry::SetProcessGate(flags, inputs.os);
     }},
    {"hook stubs", [] { (void)entry::PrepareHookStubs(); }},
    {"application created", [] { g_app = entry::CreateEmbeddedApplication(); }},
    {"application Init",
     [] {
       if (g_app) g_app->Init();
     }},
    {"first message",
     [] {
       ::PostThreadMessageW(::GetCurrentThreadId(), WM_NULL, 0, 0);
       MSG msg;
       ::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
     }},
};
constexpr int kStepCount = sizeof kSteps / sizeof kSteps[0];
constexpr int kMonitorStep = 4;  // the one step done differently the earlier way
static_assert(kStepCount <= kMaxSteps);

std::string ModuleNames(unsigned bits) {
  std::string names;
  for (int i = 0; i < kWatchedCount; ++i) {
    if (!(bits & (1u << i))) continue;
    if (!names.empty()) names += ", ";
    for (const wchar_t* c = kWatched[i]; *c; ++c) names += static_cast<char>(*c);
  }
  return names;
}

// mappingName "-": the steps are printed instead, for a run by hand under a Wine trace.
int StepsChild(const wchar_t* mappingName, bool earlier) {
  g_monitorCenterAtStart = earlier;
  const bool print = std::wcscmp(mappingName, L"-") == 0;
  HANDLE mapping = print ? nullptr : ::OpenFileMappingW(FILE_MAP_WRITE, FALSE, mappingName);
  if (!print && !mapping) return 2;
  StepBlock local{};
  auto* block = print ? &local
                      : static_cast<StepBlock*>(::MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(StepBlock)));
  if (!block) return 3;
  for (int i = 0; i < kStepCount; ++i) {
    const unsigned before = LoadedWatched();
    if (print) std::printf("step: %s\n", kSteps[i].name), std::fflush(stdout);
    const double start = Now();
    kSteps[i].run();
    block->steps[i].us = Now() - start;
    block->steps[i].modulesBrought = LoadedWatched() & ~before;
    if (print) std::printf("  %.0f us %s\n", block->steps[i].us, ModuleNames(block->steps[i].modulesBrought).c_str());
  }
  block->count = kStepCount;
  if (!print) {
    ::UnmapViewOfFile(block);
    ::CloseHandle(mapping);
  }
  // The process ends here, as the probe does, with the application still up.
  return 0;
}

// Runs a child to its end; its wall time in microseconds, or -1 when it failed.
double RunChild(const std::wstring& program, const std::wstring& arguments) {
  std::wstring commandLine = L"\"" + program + L"\" " + arguments;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  const double start = Now();
  if (!::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
    return -1;
  const bool ended = ::WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0;
  const double elapsed = Now() - start;
  DWORD code = 1;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  ::CloseHandle(pi.hThread);
  return ended && code == 0 ? elapsed : -1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 4 && std::wcscmp(argv[1], L"--steps") == 0) return StepsChild(argv[2], std::wcscmp(argv[3], L"earlier") == 0);

  const std::wstring bin = test::BinDir();
  const std::wstring probe = bin + L"\\start_probe.exe";
  const std::wstring bare = L"\"" + bin + L"\\bare_hook.dll\"", library = L"\"" + bin + L"\\dlmemb64.dll\"";
  struct Variant {
    const char* name;
    std::wstring arguments;
  };
  const Variant variants[] = {
      {"bare hook library", L"bare " + bare},
      {"  after ole32 and shlwapi", L"imports " + bare},
      {"library mapped, not started", L"mapped " + library},
      {"library loaded", L"bare " + library},
      {"window, bare hook library", L"--window bare " + bare},
      {"window, library loaded", L"--window bare " + library},
  };
  constexpr int kVariants = sizeof variants / sizeof variants[0];
  std::vector<double> times[kVariants];
  for (const Variant& v : variants) RunChild(probe, v.arguments);  // warm-up: the files in the cache
  for (int round = 0; round < kRounds; ++round) {
    for (int i = 0; i < kVariants; ++i) {
      const double t = RunChild(probe, variants[i].arguments);
      if (t < 0) {
        std::printf("start_steps_bench: start_probe %ls failed\n", variants[i].arguments.c_str());
        return 1;
      }
      times[i].push_back(t);
    }
  }
  std::puts("whole process (start_probe)           median (us)  against bare");
  const double bareUs = Median(times[0]), bareWindowUs = Median(times[4]);
  for (int i = 0; i < kVariants; ++i) {
    const double us = Median(times[i]);
    std::printf("%-36s %12.0f  %6.2f\n", variants[i].name, us, us / (i >= 4 ? bareWindowUs : bareUs));
  }

  // The steps, each run in a fresh process so that every first-time cost is seen.
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::wstring mappingName = L"Local\\dl_start_steps_" + std::to_wstring(::GetCurrentProcessId());
  HANDLE mapping =
      ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, sizeof(StepBlock), mappingName.c_str());
  auto* block = mapping ? static_cast<StepBlock*>(::MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(StepBlock)))
                        : nullptr;
  if (!block) {
    std::puts("start_steps_bench: no mapping for the steps");
    return 1;
  }
  // Rounds interleaved: the earlier way, then the present way.
  std::vector<double> stepTimes[2][kStepCount];
  unsigned brought[2][kStepCount] = {};
  const wchar_t* const ways[2] = {L" earlier", L" present"};
  for (int round = 0; round < kRounds; ++round) {
    for (int way = 0; way < 2; ++way) {
      block->count = 0;
      if (RunChild(self, L"--steps " + mappingName + ways[way]) < 0 || block->count != kStepCount) {
        std::puts("start_steps_bench: a steps child failed");
        return 1;
      }
      for (int i = 0; i < kStepCount; ++i) {
        stepTimes[way][i].push_back(block->steps[i].us);
        brought[way][i] |= block->steps[i].modulesBrought;
      }
    }
  }
  std::printf("\ninitialisation step (fresh process)  earlier (us)  present (us)  present/bare start  modules brought in (earlier; present)\n");
  double total[2] = {};
  for (int i = 0; i < kStepCount; ++i) {
    const double earlier = Median(stepTimes[0][i]), present = Median(stepTimes[1][i]);
    total[0] += earlier;
    total[1] += present;
    std::printf("%-36s %12.0f  %12.0f  %6.3f  %s; %s\n", kSteps[i].name, earlier, present, present / bareUs,
                ModuleNames(brought[0][i]).c_str(), ModuleNames(brought[1][i]).c_str());
  }
  std::printf("%-36s %12.0f  %12.0f  %6.3f\n", "together", total[0], total[1], total[1] / bareUs);
  std::printf("\nchanged                              earlier (us)  present (us)  earlier/bare start\n");
  std::printf("%-36s %12.0f  %12.0f  %6.3f\n", "ole32, shlwapi imported", Median(times[1]) - bareUs, 0.0,
              (Median(times[1]) - bareUs) / bareUs);
  std::printf("%-36s %12.0f  %12.0f  %6.3f\n", "monitor center made at start", Median(stepTimes[0][kMonitorStep]),
              Median(stepTimes[1][kMonitorStep]), Median(stepTimes[0][kMonitorStep]) / bareUs);
  ::UnmapViewOfFile(block);
  ::CloseHandle(mapping);
  return 0;
}
