// The dispatcher's life: construction and teardown, activation with the main program's
// shared blocks, the main program's commands, and refreshing or detaching every window.
#include <algorithm>
#include <mutex>

#include "library/runtime/shared_messages.h"
#include "platform/callback_guard.h"
#include "platform/registered_messages.h"
#include "protocol/plugin_commands.h"
#include "protocol/service_codes.h"
#include "library/extender/classification_windows.h"
#include "library/extender/noninvasive_marks.h"
#include "library/rules/rule_dispatcher.h"
#include "library/rules/unanswering_threads.h"
#include "library/rules/window_marks.h"
#include "platform/text.h"

namespace dl::rules {
namespace {

constexpr wchar_t kProcessedProperty[] = L"processed";
constexpr UINT kDetachTimeoutMs = 1000;

constexpr int kCommandRulesChanged = protocol::kPluginRulesChanged;
constexpr int kCommandServerGone = protocol::kPluginServerUnregistered;
constexpr int kCommandSettingChanged = protocol::kPluginSettingChanged;
constexpr int kCommandServerRegistered = protocol::kPluginServerRegistered;
constexpr int kCommandUnloading = protocol::kPluginUnloading;

bool IsMdiChildCandidate(HWND wnd) noexcept {
  const auto exStyle = static_cast<DWORD>(::GetWindowLongPtrW(wnd, GWL_EXSTYLE));
  const auto style = static_cast<DWORD>(::GetWindowLongPtrW(wnd, GWL_STYLE));
  if (exStyle & WS_EX_MDICHILD) return true;
  return (style & (WS_CHILD | WS_CAPTION)) == (WS_CHILD | WS_CAPTION) && !(style & WS_POPUP);
}

bool HasClass(HWND wnd, const wchar_t* name) noexcept {
  wchar_t buffer[64];
  const int n = ::GetClassNameW(wnd, buffer, 64);
  return n > 0 && std::wstring_view(buffer, static_cast<std::size_t>(n)) == name;
}

struct VisitContext {
  TRuleDispatcher* dispatcher;
  std::vector<HWND>* list;
  bool child;
  std::exception_ptr failure;
};

}  // namespace

TRuleDispatcher::TRuleDispatcher(DispatcherEnvironment environment) : environment_(std::move(environment)) {
  SetName(entry::kRuleDispatcherPluginName);
  AddWindowMarkAtoms();
  if (environment_.ownsProcessHooks && environment_.createThreadHookList)
    threadHookList_ = environment_.createThreadHookList();
  if (threadHookList_) {
    entry::Services().threadHookList.store(threadHookList_.get(), std::memory_order_release);
    entry::InstallThreadDetachRoutine();
  }
  // No icon manager pool in this build: nothing is pushed, the flag only records the need.
  needUpdateSkin_.store(1);
}

TRuleDispatcher::~TRuleDispatcher() { Destroy(); }

void TRuleDispatcher::Destroy() noexcept {
  if (destroyed_) return;
  destroyed_ = true;
  Withdraw();
  {
    std::lock_guard lock(windowExtendersLock_);
    windowExtenders_.clear();
  }
  {
    std::lock_guard lock(captionDataLock_);
    captionData_.clear();
  }
  std::vector<HWND> windows;
  {
    std::lock_guard lock(windowListLock_);
    windows.swap(windowList_);
    unbindingWindowList_.clear();
  }
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) RemoveWindowMarks(*it);
  {
    std::lock_guard lock(winExParamsLock_);
    winExParams_.clear();
  }
  if (threadHookList_) {
    auto& services = entry::Services();
    entry::IThreadLocalHookList* mine = threadHookList_.get();
    if (services.threadHookList.compare_exchange_strong(mine, nullptr)) entry::RemoveThreadDetachRoutine();
    threadHookList_.reset();  // unhooks every thread
  }
}

void TRuleDispatcher::Publish() noexcept {
  published_.store(true);
  if (environment_.ownsProcessHooks) entry::Services().processHook.store(this, std::memory_order_release);
}

void TRuleDispatcher::Withdraw() noexcept {
  if (!published_.exchange(false)) return;
  if (!environment_.ownsProcessHooks) return;
  entry::IProcessHook* mine = this;
  entry::Services().processHook.compare_exchange_strong(mine, nullptr);
}

// ---------------------------------------------------------------------------------------
// The shared blocks.

bool TRuleDispatcher::OpenServiceBlock() {
  std::unique_ptr<IServiceBlock> block;
  try {
    if (environment_.blocks.openServiceBlock) block = environment_.blocks.openServiceBlock();
  } catch (...) {
    platform::RecordCallbackFailure("rule_dispatcher_commands: OpenServiceBlock");
  }
  const bool valid = static_cast<bool>(block);
  {
    std::lock_guard lock(mappingInfoLock_);
    serviceMapping_ = std::move(block);
  }
  if (valid) ReadSettings();
  return valid;
}

void TRuleDispatcher::ReadSettings() {
  std::shared_ptr<IServiceBlock> service;
  {
    std::lock_guard lock(mappingInfoLock_);
    service = serviceMapping_;
  }
  if (!service) return;
  const ServiceSettings settings = service->Read();
  if (environment_.setRegexFolder) environment_.setRegexFolder(settings.RegexFolder);
  if (environment_.setEventLogEnabled) environment_.setEventLogEnabled(settings.EventLogEnabled);
  if (environment_.setServerDpi) environment_.setServerDpi(settings.ServerDpi);
}

bool TRuleDispatcher::OpenRuleBlock() {
  std::shared_ptr<IServiceBlock> service;
  {
    std::lock_guard lock(mappingInfoLock_);
    service = serviceMapping_;
  }
  if (!service) return false;
  const std::uint32_t id = service->Read().RuleBlockId;
  if (id == 0 || !environment_.blocks.openRuleBlock) return false;
  std::unique_ptr<IRuleBlock> block;
  try {
    block = environment_.blocks.openRuleBlock(id);
  } catch (...) {
    platform::RecordCallbackFailure("rule_dispatcher_commands: OpenRuleBlock");
  }
  // A block that cannot be opened keeps the previous one.
  if (!block) return false;
  {
    std::lock_guard lock(mappingInfoLock_);
    mappingInfo_ = std::move(block);
  }
  needUpdateSkin_.store(1);
  return true;
}

// ---------------------------------------------------------------------------------------
// Activation.

void TRuleDispatcher::Init(model::IItem* owner) {
  TAbstractPlugin::Init(owner);
  if (!OpenServiceBlock()) return;
  if (!OpenRuleBlock()) return;
  Publish();
  active_.store(true, std::memory_order_release);
}

void TRuleDispatcher::Done() {
  std::vector<ExtenderEntry> extenders;
  {
    std::lock_guard lock(windowExtendersLock_);
    extenders.swap(windowExtenders_);
  }
  // The windows stay as they are: each extender only unbinds and ends.
  for (auto it = extenders.rbegin(); it != extenders.rend(); ++it) {
    try {
      it->extender->RequestExclusiveAccess();
      struct Release {
        IWindowExtender& e;
        ~Release() { e.ReleaseExclusiveAccess(); }
      } release{*it->extender};
      it->extender->Unbind();
      it->extender->Done();
    } catch (...) {
      platform::RecordCallbackFailure("rule_dispatcher_commands: Done");
    }
  }
  extenders.clear();
  Withdraw();
  try {
    if (environment_.unloadRegex) environment_.unloadRegex();
  } catch (...) {
    platform::RecordCallbackFailure("rule_dispatcher_commands: Done");
  }
  {
    std::lock_guard lock(mappingInfoLock_);
    mappingInfo_.reset();
    serviceMapping_.reset();
  }
  TAbstractPlugin::Done();
}

void TRuleDispatcher::OnMessageFromServer(int commandCode, const entry::CommandData& data) {
  switch (commandCode) {
    case kCommandRulesChanged: {
      const bool opened = OpenRuleBlock();
      if (opened && IsActive()) {
        PushSkin();
        RefreshAllWindows();
      }
      break;
    }
    case kCommandServerGone:
      active_.store(false, std::memory_order_release);
      {
        std::lock_guard lock(mappingInfoLock_);
        mappingInfo_.reset();
      }
      DetachAllWindows();
      PurgeVanishedWindows();
      break;
    case kCommandSettingChanged:
      if (data == "EventLogEnabled") {
        bool haveService = false;
        {
          std::lock_guard lock(mappingInfoLock_);
          haveService = static_cast<bool>(serviceMapping_);
        }
        if (haveService)
          ReadSettings();
        else
          OpenServiceBlock();
      } else if (data == "TabbedExplorerEnabled") {
        if (environment_.explorerProcess) RefreshAllWindows();
      }
      break;
    case kCommandServerRegistered: {
      bool haveService = false;
      bool haveRules = false;
      {
        std::lock_guard lock(mappingInfoLock_);
        haveService = static_cast<bool>(serviceMapping_);
        haveRules = static_cast<bool>(mappingInfo_);
      }
      if (haveService)
        ReadSettings();
      else if (!OpenServiceBlock())
        return;
      if (!haveRules) {
        if (!OpenRuleBlock()) return;
        Publish();
      }
      active_.store(true, std::memory_order_release);
      RefreshAllWindows();
      break;
    }
    case kCommandUnloading:
      {
        std::lock_guard lock(mappingInfoLock_);
        serviceMapping_.reset();
      }
      if (threadHookList_) {
        entry::RemoveThreadDetachRoutine();
        threadHookList_->Clear();
      }
      break;
    default:
      break;
  }
}

void TRuleDispatcher::PushSkin() {
  // The skin goes to the icon manager pool of the caption buttons; without a pool there
  // is nobody to push it to, and the flag stays set for the pool that comes later.
}

// ---------------------------------------------------------------------------------------
// Refreshing all windows.

void TRuleDispatcher::RefreshAllWindows() {
  // Runs on the messenger client's thread: a window thread that does not answer is asked once.
  UnansweringThreads threads;
  for (HWND wnd : CollectWindows()) RefreshWindowState(wnd, false, threads.CaptionTimeoutFor(wnd));
}

std::vector<HWND> TRuleDispatcher::CollectWindows() {
  {
    std::lock_guard lock(windowExtendersLock_);
    for (auto& entry : windowExtenders_) entry.extender->SetHandlerProperty(kProcessedProperty, 0);
  }
  std::vector<HWND> list;
  VisitContext context{this, &list, false, nullptr};
  ::EnumWindows(
      [](HWND wnd, LPARAM param) noexcept -> BOOL {
        auto* ctx = reinterpret_cast<VisitContext*>(param);
        try {
          ctx->dispatcher->Visit(wnd, false, *ctx->list);
        } catch (...) {
          ctx->failure = std::current_exception();
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&context));
  std::vector<HWND> unseen;
  {
    std::lock_guard lock(windowExtendersLock_);
    for (auto& entry : windowExtenders_)
      if (entry.extender->GetHandlerProperty(kProcessedProperty, 0) == 0) unseen.push_back(entry.extender->GetWnd());
  }
  for (HWND wnd : unseen) Visit(wnd, false, list);
  {
    std::lock_guard lock(windowExtendersLock_);
    for (auto& entry : windowExtenders_) entry.extender->RemoveHandlerProperty(kProcessedProperty);
  }
  if (context.failure) std::rethrow_exception(context.failure);
  return list;
}

void TRuleDispatcher::Visit(HWND wnd, bool child, std::vector<HWND>& list) {
  if (child && !IsMdiChildCandidate(wnd)) return;
  if (HasClass(wnd, L"Quillon_ConsolePatch_ObserverClass")) {
    ::PostMessageW(wnd, WM_NULL, 0, 0);
    return;
  }
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wnd, &pid);
  if (pid != ::GetCurrentProcessId() || !extender::IsTopLevelApplicationWindow(wnd)) return;
  if (model::RefPtr<IWindowExtender> extender = FindExtender(wnd)) {
    std::lock_guard lock(windowExtendersLock_);
    extender->SetHandlerProperty(kProcessedProperty, 1);
  } else if (!::IsWindowVisible(wnd)) {
    return;
  }
  list.push_back(wnd);
  if (child) return;
  VisitContext context{this, &list, true, nullptr};
  ::EnumChildWindows(
      wnd,
      [](HWND c, LPARAM param) noexcept -> BOOL {
        auto* ctx = reinterpret_cast<VisitContext*>(param);
        try {
          ctx->dispatcher->Visit(c, true, *ctx->list);
        } catch (...) {
          ctx->failure = std::current_exception();
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&context));
  if (context.failure) std::rethrow_exception(context.failure);
}

void TRuleDispatcher::SendServiceCommand(HWND wnd, WPARAM code, LPARAM arg) {
  const UINT service = platform::ServiceMessage();
  if (environment_.reducedHookProcess)
    ::PostMessageW(wnd, service, code, arg);
  else
    ::SendNotifyMessageW(wnd, service, code, arg);
}

void TRuleDispatcher::RefreshWindowState(HWND wnd, bool force) {
  RefreshWindowState(wnd, force, extender::kCaptionTimeoutMs);
}

void TRuleDispatcher::RefreshWindowState(HWND wnd, bool force, unsigned captionTimeoutMs) {
  const std::optional<std::uint32_t> mark = ReadWindowMarks(wnd);
  const RuleInfo rule = GetWindowRuleInfo(wnd, captionTimeoutMs);
  if (mark && rule.ParamsCRC == *mark && !force) return;
  const bool hasRule = rule.ParamsCRC != 0 || (rule.Enabled && rule.Type == RuleType::rtExclusion);
  if (mark && !hasRule)
    SendServiceCommand(wnd, protocol::kSvcUnregisterWindow, kUnregRuleGone);
  else if (mark && hasRule)
    SendServiceCommand(wnd, protocol::kSvcUnregisterWindow, kUnregRuleChanged);
  else if (!mark && hasRule)
    SendServiceCommand(wnd, protocol::kSvcConsiderWindow, 0);
}

void TRuleDispatcher::DetachAllWindows() {
  const std::vector<HWND> windows = GetExtendedWindowsList();
  const UINT service = platform::ServiceMessage();
  const ATOM noninvasive = entry::Messages().noninvasiveAtom;
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    HWND wnd = *it;
    if (environment_.reducedHookProcess) {
      ::PostMessageW(wnd, service, protocol::kSvcUnregisterWindow, kUnregDetachAll);
    } else if (extender::IsMarkedNoninvasive(wnd, noninvasive)) {
      // Its extender must be gone before the dispatcher goes on; a window that does not
      // answer within the time is skipped.
      DWORD_PTR result = 0;
      ::SendMessageTimeoutW(wnd, service, protocol::kSvcUnregisterWindow, kUnregDetachAll, SMTO_BLOCK | SMTO_ABORTIFHUNG,
                            kDetachTimeoutMs, &result);
    } else {
      ::SendNotifyMessageW(wnd, service, protocol::kSvcUnregisterWindow, kUnregDetachAll);
    }
  }
}

model::RefPtr<entry::IPlugin> CreateRuleDispatcher(DispatcherEnvironment environment) {
  return model::RefPtr<entry::IPlugin>(new TRuleDispatcher(std::move(environment)));
}

}  // namespace dl::rules
