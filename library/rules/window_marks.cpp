#include "library/rules/window_marks.h"

#include <atomic>

namespace dl::rules {
namespace {

constinit std::atomic<ATOM> g_crcAtom{0};
constinit std::atomic<ATOM> g_validAtom{0};

ATOM Ensure(std::atomic<ATOM>& slot, const wchar_t* name) noexcept {
  ATOM atom = slot.load(std::memory_order_acquire);
  if (atom) return atom;
  atom = ::GlobalAddAtomW(name);
  ATOM expected = 0;
  if (!slot.compare_exchange_strong(expected, atom) && atom) {
    ::GlobalDeleteAtom(atom);  // another thread was first; keep one reference per load
    atom = expected;
  }
  return atom;
}

ATOM CrcAtom() noexcept { return Ensure(g_crcAtom, kRuleCrcMarkName); }
ATOM ValidAtom() noexcept { return Ensure(g_validAtom, kRuleCrcValidMarkName); }

}  // namespace

void SetWindowMarks(HWND wnd, std::uint32_t checksum) noexcept {
  const ATOM crc = CrcAtom();
  const ATOM valid = ValidAtom();
  if (!crc || !valid) return;
  ::SetPropW(wnd, MAKEINTATOM(crc), reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(checksum)));
  ::SetPropW(wnd, MAKEINTATOM(valid), reinterpret_cast<HANDLE>(std::uintptr_t{1}));
}

void RemoveWindowMarks(HWND wnd) noexcept {
  if (const ATOM crc = CrcAtom()) ::RemovePropW(wnd, MAKEINTATOM(crc));
  if (const ATOM valid = ValidAtom()) ::RemovePropW(wnd, MAKEINTATOM(valid));
}

std::optional<std::uint32_t> ReadWindowMarks(HWND wnd) noexcept {
  const ATOM crc = CrcAtom();
  const ATOM valid = ValidAtom();
  if (!crc || !valid || !::GetPropW(wnd, MAKEINTATOM(valid))) return std::nullopt;
  return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(::GetPropW(wnd, MAKEINTATOM(crc))));
}

void AddWindowMarkAtoms() noexcept {
  (void)CrcAtom();
  (void)ValidAtom();
}

}  // namespace dl::rules
