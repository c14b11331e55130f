#include "host/host_run.h"

#include <windows.h>

#include "host/event_log.h"
#include "host/foreign_copy.h"
#include "host/host_events.h"
#include "host/host_library.h"
#include "platform/registered_messages.h"
#include "protocol/product_names.h"
#include "protocol/service_codes.h"
#include "host/library_placement.h"
#include "host/single_instance.h"
#include "platform/handles.h"

namespace dl::host {
namespace {
constexpr DWORD kReadyTimeoutMs = 5000;
constexpr DWORD kWakeOnAnyInput = 0x1CFF;

void SetEventIfAny(const platform::UniqueHandle& event) noexcept {
  if (event) ::SetEvent(event.get());
}

bool LoadLibraryFor(const HostRunSettings& settings, HostLibrary& library, const HostEvents& events) {
  const std::wstring ownPath = settings.ownFolder + protocol::kLibraryFileName;
  Placement placement = PlaceLibrary(ownPath, settings.args.useTempCopy, settings.tempLibraryPath);
  if (placement.needRelogin || IsForeignCopyLoaded(placement.path)) {
    SetEventIfAny(events.needRelogin);
    return false;
  }
  if (!library.Load(placement.path)) return false;
  return library.CallExport("InstallMainHooks");
}

void WaitAndPump(HANDLE shutdown, HANDLE mainProcess, HostLibrary& library) {
  const HANDLE handles[2] = {shutdown, mainProcess};
  const UINT serviceMessage = platform::ServiceMessage();
  for (;;) {
    DWORD rc = ::MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, kWakeOnAnyInput);
    if (rc != WAIT_OBJECT_0 + 2) return;
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (library.FilterCommand(msg, serviceMessage)) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
  }
}
}  // namespace

void RunHostSession(const HostRunSettings& settings, EventLog& log) noexcept {
  try {
    SingleInstance marker;
    if (!marker.Acquire()) return;
    HostEvents events;
    const UINT serviceMessage = platform::ServiceMessage();

    const DWORD mainProcessId = settings.args.mainProcessId;
    if (mainProcessId == 0) return;
    platform::UniqueHandle mainProcess(::OpenProcess(SYNCHRONIZE, FALSE, mainProcessId));
    log.Write(L"OpenProcess", std::to_wstring(mainProcessId), mainProcess.valid());
    if (!mainProcess) return;
    const HWND mainWindow = settings.args.mainWindow;
    if (!mainWindow) return;

    // Whatever happens from here on: unload, then tell the main program we are gone.
    HostLibrary library(log);
    struct RunEnding {
      HostLibrary& library;
      const platform::UniqueHandle& shutdown;
      ~RunEnding() {
        library.Shutdown();
        SetEventIfAny(shutdown);
      }
    } ending{library, events.shutdown};

    if (!LoadLibraryFor(settings, library, events)) return;

    // Make the thread's queue exist before anyone learns our thread id, so
    // commands posted right after the ready message are not lost.
    MSG probe;
    ::PeekMessageW(&probe, nullptr, 0, 0, PM_NOREMOVE);
    DWORD_PTR answer = 0;
    ::SendMessageTimeoutW(mainWindow, serviceMessage, protocol::kSvcHostReady, static_cast<LPARAM>(::GetCurrentThreadId()),
                          SMTO_NORMAL, kReadyTimeoutMs, &answer);
    SetEventIfAny(events.startup);

    WaitAndPump(events.shutdown.get(), mainProcess.get(), library);
  } catch (...) {
    // The run ends; the ending above has already run during unwinding.
  }
}

}  // namespace dl::host
