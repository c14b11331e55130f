#include "library/rules/window_band.h"

#include "library/extender/classification_atoms.h"
#include "library/extender/process_flags.h"

namespace dl::rules {
namespace {

using GetWindowBandFn = BOOL(WINAPI*)(HWND, DWORD*);

GetWindowBandFn LookUpGetWindowBand() noexcept {
  static const GetWindowBandFn fn = [] {
    HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
    return user32 ? reinterpret_cast<GetWindowBandFn>(reinterpret_cast<void*>(::GetProcAddress(user32, "GetWindowBand")))
                  : nullptr;
  }();
  return fn;
}

}  // namespace

bool BandPasses(int band, bool coreWindow, const BandInputs& in) noexcept {
  if (!in.win8OrLater) return true;
  switch (band) {
    case 1:
    case 2:
    case 16:
      return !(in.win10OrLater && coreWindow);
    case 4:
      return true;
    case 8:
      return in.win10OrLater && in.frameHostProcess;
    default:
      return false;
  }
}

bool WindowPassesBandStep(HWND wnd) noexcept {
  const auto& os = extender::OsFlags();
  if (!os.win8OrLater) return true;
  GetWindowBandFn getBand = LookUpGetWindowBand();
  if (!getBand) return true;
  DWORD value = 0;
  const int band = getBand(wnd, &value) ? static_cast<int>(value) : -1;
  const BandInputs in{os.win8OrLater, os.win10OrLater, extender::CurrentProcessFlags().frameHost};
  const bool core = extender::WindowHasClass(wnd, extender::KnownClass::kCoreWindow);
  return BandPasses(band, core, in);
}

}  // namespace dl::rules
