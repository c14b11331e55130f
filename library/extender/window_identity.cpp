#include "library/extender/window_identity.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <vector>

#include "library/extender/process_flags.h"
#include "platform/callback_guard.h"
#include "platform/handles.h"
#include "platform/text.h"

namespace dl::extender {
namespace {
HWND ToHwnd(WindowRef wnd) noexcept { return reinterpret_cast<HWND>(wnd); }
WindowRef ToRef(HWND wnd) noexcept { return reinterpret_cast<WindowRef>(wnd); }

constexpr int kMaxRootWalk = 64;  // owner chains are short; this only stops loops

std::optional<LRESULT> SendWithTimeout(HWND wnd, bool unicode, UINT msg, WPARAM wParam, LPARAM lParam,
                                       unsigned timeoutMs) noexcept {
  DWORD_PTR result = 0;
  const LRESULT ok = unicode ? ::SendMessageTimeoutW(wnd, msg, wParam, lParam, 0, timeoutMs, &result)
                             : ::SendMessageTimeoutA(wnd, msg, wParam, lParam, 0, timeoutMs, &result);
  if (!ok) return std::nullopt;
  return static_cast<LRESULT>(result);
}

struct FindMainWindow {
  DWORD processId;
  MainWindowSearch search;
  HWND found = nullptr;
};

BOOL CALLBACK FindMainWindowProc(HWND wnd, LPARAM lParam) noexcept {
  auto* state = reinterpret_cast<FindMainWindow*>(lParam);
  try {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(wnd, &pid);
    if (pid != state->processId) return TRUE;
    if (!IsSearchedMainWindowClass(state->search, ClassNameOf(wnd))) return TRUE;
    state->found = wnd;
    return FALSE;
  } catch (...) {
    return FALSE;
  }
}

HWND NextUp(HWND wnd, HWND desktop) noexcept {
  HWND next = ::GetWindow(wnd, GW_OWNER);
  if (!next) {
    next = ::GetAncestor(wnd, GA_PARENT);
    if (next == desktop || next == ::GetAncestor(desktop, GA_PARENT)) next = nullptr;
  }
  if (!next) next = reinterpret_cast<HWND>(::GetWindowLongPtrW(wnd, GWLP_HWNDPARENT));
  if (next == desktop || (next && !::IsWindow(next))) return nullptr;
  return next;
}

std::wstring SnapshotExecutableName(DWORD processId) {
  platform::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return {};
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = ::Process32FirstW(snapshot.get(), &entry); ok; ok = ::Process32NextW(snapshot.get(), &entry))
    if (entry.th32ProcessID == processId) return entry.szExeFile;
  return {};
}
}  // namespace

std::wstring ClassNameOf(HWND wnd) {
  wchar_t buffer[256];
  const int n = wnd ? ::GetClassNameW(wnd, buffer, 256) : 0;
  return n > 0 ? std::wstring(buffer, static_cast<std::size_t>(n)) : std::wstring();
}

std::wstring SystemWindowTextSource::ClassName(WindowRef wnd) const { return ClassNameOf(ToHwnd(wnd)); }

WindowRef SystemWindowTextSource::FirstChild(WindowRef wnd) const {
  return ToRef(::GetWindow(ToHwnd(wnd), GW_CHILD));
}

bool SystemWindowTextSource::IsConsoleWindow(WindowRef wnd) const {
  return IsConsoleClass(ClassNameOf(ToHwnd(wnd)), OsFlags().win7OrLater);
}

std::optional<std::wstring> SystemWindowTextSource::AskedText(WindowRef ref, unsigned timeoutMs) const {
  const HWND wnd = ToHwnd(ref);
  const bool unicode = ::IsWindowUnicode(wnd) != FALSE;
  const auto length = SendWithTimeout(wnd, unicode, WM_GETTEXTLENGTH, 0, 0, timeoutMs);
  if (!length || *length < 0) return std::nullopt;
  const std::size_t capacity = std::min<std::size_t>(static_cast<std::size_t>(*length), kMaxAskedCaptionLength) + 1;
  if (unicode) {
    std::vector<wchar_t> buffer(capacity, L'\0');
    const auto copied = SendWithTimeout(wnd, true, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer.data()),
                                        timeoutMs);
    if (!copied) return std::nullopt;
    const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max<LRESULT>(*copied, 0)), capacity - 1);
    return std::wstring(CutAtFirstZero(std::wstring_view(buffer.data(), n)));
  }
  // An ANSI window counts its text in bytes of the ANSI code page.
  std::vector<char> buffer(capacity, '\0');
  const auto copied =
      SendWithTimeout(wnd, false, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(buffer.data()), timeoutMs);
  if (!copied) return std::nullopt;
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(std::max<LRESULT>(*copied, 0)), capacity - 1);
  std::string_view text(buffer.data(), n);
  if (auto zero = text.find('\0'); zero != std::string_view::npos) text = text.substr(0, zero);
  return platform::AnsiToWide(text);
}

std::optional<std::wstring> SystemWindowTextSource::StoredText(WindowRef ref) const {
  wchar_t buffer[kMaxStoredCaptionLength + 1] = {};
  ::SetLastError(0);
  const int n = ::InternalGetWindowText(ToHwnd(ref), buffer, static_cast<int>(kMaxStoredCaptionLength + 1));
  if (::GetLastError() != 0) return std::nullopt;
  return std::wstring(CutAtFirstZero(std::wstring_view(buffer, static_cast<std::size_t>(std::max(n, 0)))));
}

std::wstring ComposedClassName(HWND wnd) {
  platform::LastErrorGuard keepError;
  return ComposeClassName(SystemWindowTextSource{}, ToRef(wnd));
}

std::wstring ComposedCaption(HWND wnd, unsigned timeoutMs) {
  platform::LastErrorGuard keepError;
  return ComposeCaption(SystemWindowTextSource{}, ToRef(wnd), timeoutMs);
}

HWND RootWindow(HWND wnd) {
  platform::LastErrorGuard keepError;
  if (!wnd || !::IsWindow(wnd)) return wnd;
  const HWND desktop = ::GetDesktopWindow();
  HWND root = wnd;
  for (int i = 0; i < kMaxRootWalk; ++i) {
    HWND next = NextUp(root, desktop);
    if (!next || next == wnd) break;
    root = next;
  }

  const MainWindowSearch search = MainWindowSearchFor(ClassNameOf(root));
  if (search == MainWindowSearch::kNone) return root;
  FindMainWindow state{0, search};
  ::GetWindowThreadProcessId(root, &state.processId);
  if (state.processId == 0) return root;
  ::EnumWindows(FindMainWindowProc, reinterpret_cast<LPARAM>(&state));
  return state.found ? state.found : root;
}

DWORD ProcessOfWindow(HWND wnd) noexcept {
  platform::LastErrorGuard keepError;
  DWORD pid = 0;
  if (!::GetWindowThreadProcessId(wnd, &pid)) return 0;
  try {
    if (CurrentProcessFlags().consoleHost && ClassNameOf(wnd) == L"ConsoleWindowClass") {
      // The console host keeps the console's client process in the window data.
      const auto client = static_cast<DWORD>(::GetWindowLongPtrW(wnd, 0));
      if (client != 0) return client;
    }
  } catch (...) {
    platform::RecordCallbackFailure("window_identity: ProcessOfWindow");
  }
  return pid;
}

std::wstring ImagePathOfProcess(DWORD processId, bool allowLimitedQuery) {
  platform::LastErrorGuard keepError;
  if (processId == ::GetCurrentProcessId()) return Executable().lowerPath;
  std::wstring path;
  if (platform::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
      process) {
    wchar_t buffer[MAX_PATH * 4];
    const DWORD n = ::GetModuleFileNameExW(process.get(), nullptr, buffer, static_cast<DWORD>(std::size(buffer)));
    if (n > 0) path.assign(buffer, n);
  }
  if (path.empty() && allowLimitedQuery) {
    if (platform::UniqueHandle process(::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId)); process) {
      wchar_t buffer[MAX_PATH * 4];
      DWORD size = static_cast<DWORD>(std::size(buffer));
      if (::QueryFullProcessImageNameW(process.get(), 0, buffer, &size)) path.assign(buffer, size);
    }
  }
  if (path.empty()) path = SnapshotExecutableName(processId);
  return ApplyLongPathRule(std::move(path));
}

DWORD FindProcessByExecutableName(const std::wstring& name, DWORD parentProcessId) {
  platform::LastErrorGuard keepError;
  const std::wstring lowerName = ToLowerSystem(name);
  if (lowerName.empty()) return 0;
  if (lowerName == Executable().lowerName) return ::GetCurrentProcessId();
  platform::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL ok = ::Process32FirstW(snapshot.get(), &entry); ok; ok = ::Process32NextW(snapshot.get(), &entry)) {
    if (parentProcessId != 0 && entry.th32ParentProcessID != parentProcessId) continue;
    if (ToLowerSystem(entry.szExeFile) == lowerName) return entry.th32ProcessID;
  }
  return 0;
}

int PlacementState(HWND wnd) noexcept {
  platform::LastErrorGuard keepError;
  WINDOWPLACEMENT placement{};
  placement.length = sizeof(placement);
  if (!::GetWindowPlacement(wnd, &placement)) return 0;
  return PlacementStateFromShowCommand(placement.showCmd);
}

}  // namespace dl::extender
