#include "library/entry/thread_hook_list.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <utility>

#include "library/entry/hook_stubs.h"
#include "library/runtime/process_local_storage.h"
#include "library/entry/thread_hook_procs.h"
#include "library/extender/utility_window.h"
#include "library/extender/wndproc_trampoline.h"
#include "library/runtime/handed_out_list.h"
#include "platform/handles.h"
#include "platform/registered_messages.h"
#include "protocol/service_codes.h"
#include "protocol/window_class_names.h"

namespace dl::entry {
namespace {

constexpr DWORD kUnhookWindowStyle = 0x88000000;

bool ThreadStillRuns(DWORD threadId) noexcept {
  platform::UniqueHandle thread(::OpenThread(SYNCHRONIZE, FALSE, threadId));
  return thread && ::WaitForSingleObject(thread.get(), 0) == WAIT_TIMEOUT;
}

HMODULE ModuleOf(const void* address) noexcept {
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       static_cast<LPCWSTR>(address), &module);
  return module;
}

// A release sent to the owning thread of an unhook window. Its address travels in the service
// message, which any process can send to the window, so the window only accepts an address that
// is still registered here: anything else is never read, freed or counted out.
struct ReleaseRequest {
  explicit ReleaseRequest(ThreadHookItem&& from) noexcept : item(std::move(from)) {}
  ThreadHookItem item;
  ReleaseRequest* prev = nullptr;
  ReleaseRequest* next = nullptr;
};

constinit HandedOutList<ReleaseRequest> g_requests;

}  // namespace

ThreadHookItem::ThreadHookItem(ThreadHookItem&& other) noexcept
    : threadId_(other.threadId_),
      unhookWnd_(std::exchange(other.unhookWnd_, nullptr)),
      windowsHooks_(std::exchange(other.windowsHooks_, {})),
      winEventHooks_(std::exchange(other.winEventHooks_, {})) {}

void ThreadHookItem::Release() noexcept {
  if (!ThreadStillRuns(threadId_)) {
    // Its hooks and windows ended with the thread.
    unhookWnd_ = nullptr;
    windowsHooks_ = {};
    winEventHooks_ = {};
    return;
  }
  for (HHOOK& hook : windowsHooks_) {
    if (hook && ::UnhookWindowsHookEx(hook)) hook = nullptr;
  }
  windowsHooks_ = {};  // a hook that would not go still only reaches the stubs
  if (unhookWnd_ && ::GetWindowThreadProcessId(unhookWnd_, nullptr) != ::GetCurrentThreadId()) {
    StorageCountIn();
    auto* request = new (std::nothrow) ReleaseRequest(std::move(*this));
    if (request) {
      g_requests.Add(request);
      if (::SendNotifyMessageA(request->item.unhookWnd_, platform::ServiceMessage(), protocol::kSvcUnhookThreadItem,
                               reinterpret_cast<LPARAM>(request))) {
        return;  // the owning thread finishes the release and counts out
      }
      // Not sent; unless the owner has taken it meanwhile, it is still ours.
      if (g_requests.Take(reinterpret_cast<LPARAM>(request)) != request) return;
    }
    StorageCountOut();
    if (!request) return;
    // The owner cannot be asked: do what can be done from here rather than leave event hooks
    // pointing into this copy, and let the window close itself.
    ThreadHookItem& item = request->item;
    for (HWINEVENTHOOK& hook : item.winEventHooks_) {
      if (hook) ::UnhookWinEvent(hook);
      hook = nullptr;
    }
    ::SetWindowLongPtrA(item.unhookWnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(extender::DefaultWindowProc(false)));
    ::PostMessageA(item.unhookWnd_, WM_CLOSE, 0, 0);
    item.unhookWnd_ = nullptr;
    delete request;
    return;
  }
  ReleaseOnOwningThread();
}

void ThreadHookItem::ReleaseOnOwningThread() noexcept {
  for (HWINEVENTHOOK& hook : winEventHooks_) {
    if (hook) ::UnhookWinEvent(hook);
    hook = nullptr;
  }
  if (HWND window = std::exchange(unhookWnd_, nullptr)) {
    ::SetWindowLongPtrA(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(extender::DefaultWindowProc(false)));
    ::DestroyWindow(window);
  }
}

LRESULT CALLBACK ThreadHookItem::UnhookWndProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  if (msg == platform::ServiceMessage() && wParam == protocol::kSvcUnhookThreadItem) {
    std::unique_ptr<ReleaseRequest> request(g_requests.Take(lParam));
    if (!request) return 0;  // not a request of ours: nothing to release, nothing to count out
    request->item.ReleaseOnOwningThread();
    request.reset();
    StorageCountOut();
    return 1;
  }
  return ::DefWindowProcA(window, msg, wParam, lParam);
}

bool ThreadLocalHookList::Install(ThreadHookItem& item) noexcept {
  const DWORD threadId = item.threadId_;
  if (!settings_.reducedHookProcess) {
    HOOKPROC proc0 = settings_.callWndProc ? settings_.callWndProc : CallWndProcStub();
    HOOKPROC proc1 = settings_.callWndProcRet ? settings_.callWndProcRet : CallWndProcRetStub();
    // Without storage there are no stubs: no window hooks then, only event hooks.
    if (proc0 && proc1) {
      item.windowsHooks_[0] = ::SetWindowsHookExW(WH_CALLWNDPROC, proc0, nullptr, threadId);
      if (!item.windowsHooks_[0]) return false;
      item.windowsHooks_[1] = ::SetWindowsHookExW(WH_CALLWNDPROCRET, proc1, nullptr, threadId);
      if (!item.windowsHooks_[1]) return false;
    }
  }
  if (!settings_.needWinEventHook) return true;
  WINEVENTPROC proc = settings_.winEventProc ? settings_.winEventProc : &WindowEventProc;
  HMODULE module = ModuleOf(reinterpret_cast<const void*>(proc));
  for (std::size_t i = 0; i < kThreadWinEvents.size(); ++i) {
    const DWORD event = kThreadWinEvents[i];
    if (!settings_.needWinEventHook(event)) continue;
    item.winEventHooks_[i] =
        ::SetWinEventHook(event, event, module, proc, ::GetCurrentProcessId(), threadId, WINEVENT_INCONTEXT);
    if (!item.winEventHooks_[i]) return false;
    if (!item.unhookWnd_) {
      item.unhookWnd_ = extender::AllocateUtilityWindow(extender::WndMethod{}, HWND_MESSAGE, protocol::kLocalUnhookWindowClass.narrow,
                                                        kUnhookWindowStyle, 0);
      if (!item.unhookWnd_) return false;
      ::SetWindowLongPtrA(item.unhookWnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ThreadHookItem::UnhookWndProc));
    }
  }
  return true;
}

bool ThreadLocalHookList::HookThread(DWORD threadId) noexcept {
  {
    std::lock_guard lock(hookListLock_);
    for (const auto& item : hookList_)
      if (item->threadId_ == threadId) return true;
  }
  // Hooks are installed outside the lock; two first messages of one thread both get here.
  std::unique_ptr<ThreadHookItem> item(new (std::nothrow) ThreadHookItem(threadId));
  if (!item || !Install(*item)) return false;  // what was installed goes with the item
  std::unique_ptr<ThreadHookItem> duplicate;
  {
    std::lock_guard lock(hookListLock_);
    const bool present = std::any_of(hookList_.begin(), hookList_.end(),
                                     [&](const auto& other) { return other->threadId_ == threadId; });
    try {
      if (present) duplicate = std::move(item);
      else hookList_.push_back(std::move(item));
    } catch (...) {
      duplicate = std::move(item);
    }
  }
  return true;
}

void ThreadLocalHookList::UnhookThread(DWORD threadId) noexcept {
  std::unique_ptr<ThreadHookItem> item;
  {
    std::lock_guard lock(hookListLock_);
    auto it = std::find_if(hookList_.begin(), hookList_.end(),
                           [&](const auto& entry) { return entry->threadId_ == threadId; });
    if (it == hookList_.end()) return;
    item = std::move(*it);
    hookList_.erase(it);
  }
}

void ThreadLocalHookList::Clear() noexcept {
  std::vector<std::unique_ptr<ThreadHookItem>> items;
  {
    std::lock_guard lock(hookListLock_);
    items.swap(hookList_);
  }
  while (!items.empty()) items.pop_back();  // last first
}

std::optional<ThreadLocalHookList::Snapshot> ThreadLocalHookList::Find(DWORD threadId) noexcept {
  std::lock_guard lock(hookListLock_);
  for (const auto& item : hookList_)
    if (item->threadId_ == threadId) return Snapshot{item->unhookWnd_, item->windowsHooks_, item->winEventHooks_};
  return std::nullopt;
}

std::size_t ThreadLocalHookList::Count() noexcept {
  std::lock_guard lock(hookListLock_);
  return hookList_.size();
}

}  // namespace dl::entry
