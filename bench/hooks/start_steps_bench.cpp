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
#include <cstdlib>
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
#include "platform/process_identity.h"
#include "tests/support/bin_dir.h"

namespace {

using namespace dl;

constexpr int kRounds = 15;  // whole processes on a shared machine: more rounds than a step needs

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

// A look at the loaded-module list: asking the loader for an absent name costs a path search.
unsigned LoadedWatched() {
  unsigned bits = 0;
  for (int i = 0; i < kWatchedCount; ++i)
    if (platform::IsModuleLoaded(kWatched[i])) bits |= 1u << i;
  return bits;
}

struct StepResult {
  double us;
  unsigned modulesBrought;
};

constexpr int kMaxSteps = 16;
struct StepBlock {
  int count;
  double mainAt, stepsEndAt;  // the performance counter is system-wide: the parent compares
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
bool g_libraryAbsent = false;  // the steps' baseline: a process that only retrieves its message

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

LRESULT CALLBACK PlainProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(wnd, msg, wParam, lParam);
}

// A window as a GUI program has one before its first message; it stays until the process ends.
bool MakeWindow() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &PlainProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"dl_start_steps_window";
  ::RegisterClassW(&wc);
  return ::CreateWindowExW(0, wc.lpszClassName, L"start steps", WS_OVERLAPPEDWINDOW, 0, 0, 100, 80, nullptr, nullptr,
                           wc.hInstance, nullptr) != nullptr;
}

// way: none (no library steps), earlier (the monitor center made at start) or present.
// mappingName "-": the steps are printed instead, for a run by hand under a Wine trace.
int StepsChild(const wchar_t* mappingName, const wchar_t* way, bool window) {
  const double mainAt = Now();
  g_monitorCenterAtStart = std::wcscmp(way, L"earlier") == 0;
  g_libraryAbsent = std::wcscmp(way, L"none") == 0;
  if (window && !MakeWindow()) return 4;
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
    if (!g_libraryAbsent || i == kStepCount - 1) kSteps[i].run();
    block->steps[i].us = Now() - start;
    block->steps[i].modulesBrought = LoadedWatched() & ~before;
    if (print) std::printf("  %.0f us %s\n", block->steps[i].us, ModuleNames(block->steps[i].modulesBrought).c_str());
  }
  block->count = kStepCount;
  block->mainAt = mainAt;
  block->stepsEndAt = Now();
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
  if ((argc == 4 || argc == 5) && std::wcscmp(argv[1], L"--steps") == 0)
    return StepsChild(argv[2], argv[3], argc == 5 && std::wcscmp(argv[4], L"window") == 0);

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
  // Rounds interleaved over the ways; each child also says when its main began and its steps
  // ended, which splits its life into start, steps and exit.
  struct Way {
    const char* name;
    const wchar_t* arguments;
  };
  const Way ways[] = {{"none", L" none"},
                      {"earlier", L" earlier"},
                      {"present", L" present"},
                      {"none, window", L" none window"},
                      {"earlier, window", L" earlier window"},
                      {"present, window", L" present window"}};
  constexpr int kWays = sizeof ways / sizeof ways[0];
  std::vector<double> stepTimes[kWays][kStepCount], startTimes[kWays], exitTimes[kWays], wholeTimes[kWays];
  unsigned brought[kWays][kStepCount] = {};
  for (int round = 0; round < kRounds; ++round) {
    for (int way = 0; way < kWays; ++way) {
      block->count = 0;
      const double launchedAt = Now();
      const double whole = RunChild(self, L"--steps " + mappingName + ways[way].arguments);
      const double endedAt = Now();
      if (whole < 0 || block->count != kStepCount) {
        std::printf("start_steps_bench: a steps child (%s) failed\n", ways[way].name);
        return 1;
      }
      wholeTimes[way].push_back(whole);
      if (std::getenv("DL_START_STEPS_RAW"))
        std::printf("raw %s whole %.0f start %.0f main-to-end %.0f exit %.0f\n", ways[way].name, whole,
                    block->mainAt - launchedAt, block->stepsEndAt - block->mainAt, endedAt - block->stepsEndAt);
      startTimes[way].push_back(block->mainAt - launchedAt);
      exitTimes[way].push_back(endedAt - block->stepsEndAt);
      for (int i = 0; i < kStepCount; ++i) {
        stepTimes[way][i].push_back(block->steps[i].us);
        brought[way][i] |= block->steps[i].modulesBrought;
      }
    }
  }
  const double noneUs = Median(wholeTimes[0]), noneWindowUs = Median(wholeTimes[3]);
  std::printf("\nstep (fresh process of this program)  earlier (us)  present (us)  with a window: earlier  present"
              "  present/none  modules brought in (earlier; present; window, earlier; window, present)\n");
  double total[kWays] = {};
  for (int i = 0; i < kStepCount; ++i) {
    double m[kWays];
    for (int way = 0; way < kWays; ++way) total[way] += m[way] = Median(stepTimes[way][i]);
    std::printf("%-36s %12.0f  %12.0f  %12.0f  %12.0f  %6.3f  %s; %s; %s; %s\n", kSteps[i].name, m[1], m[2], m[4], m[5],
                m[2] / noneUs, ModuleNames(brought[1][i]).c_str(), ModuleNames(brought[2][i]).c_str(),
                ModuleNames(brought[4][i]).c_str(), ModuleNames(brought[5][i]).c_str());
  }
  std::printf("%-36s %12.0f  %12.0f  %12.0f  %12.0f  %6.3f\n", "steps together", total[1], total[2], total[4], total[5],
              total[2] / noneUs);
  std::printf("\nwhole child of this program          median (us)  against none   start to main   steps    exit\n");
  for (int way = 0; way < kWays; ++way) {
    const double whole = Median(wholeTimes[way]);
    std::printf("%-36s %12.0f  %6.2f  %12.0f  %8.0f  %8.0f\n", ways[way].name, whole,
                whole / (way >= 3 ? noneWindowUs : noneUs), Median(startTimes[way]), total[way],
                Median(exitTimes[way]));
  }
  std::printf("\nchanged                              earlier (us)  present (us)  earlier/bare start\n");
  std::printf("%-36s %12.0f  %12.0f  %6.3f\n", "ole32, shlwapi imported", Median(times[1]) - bareUs, 0.0,
              (Median(times[1]) - bareUs) / bareUs);
  std::printf("%-36s %12.0f  %12.0f  %6.3f\n", "monitor center made at start", Median(stepTimes[1][kMonitorStep]),
              Median(stepTimes[2][kMonitorStep]), Median(stepTimes[1][kMonitorStep]) / bareUs);
  std::printf("%-36s %12.0f  %12.0f  %6.3f\n", "  with a window made first", Median(stepTimes[4][kMonitorStep]),
              Median(stepTimes[5][kMonitorStep]), Median(stepTimes[4][kMonitorStep]) / bareWindowUs);
  ::UnmapViewOfFile(block);
  ::CloseHandle(mapping);
  return 0;
}
