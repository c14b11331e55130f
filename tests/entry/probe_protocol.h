#pragma once
// How tests talk to the probe application: sent queries answered by its window procedure.
#include <windows.h>

namespace dl::entry::test {

inline constexpr wchar_t kProbeClassName[] = L"DlEntryHookProbe";

enum ProbeMessage : UINT {
  kProbeCountSeen = WM_APP + 1,   // wParam: service code; answer: how often the window procedure saw it
  kProbeLastLParam = WM_APP + 2,  // wParam: service code; answer: lParam it last carried
  kProbeLibraryMapped = WM_APP + 3,  // answer: 1 when dlmemb64.dll is mapped in the probe
  kProbeCapture = WM_APP + 4,     // answer: GetCapture() on the probe's thread
  kProbeMarker = WM_APP + 5,      // posted; counted, so a test knows earlier posts were handled
  kProbeMarkersSeen = WM_APP + 6,
};

inline constexpr WPARAM kProbeMaxCode = 256;  // codes at or above this share the last slot

}  // namespace dl::entry::test
