// Window registration, rule lookup, and the creation and removal of extenders.
#include "library/rules/rule_dispatcher.h"

#include <algorithm>
#include <mutex>

#include "platform/callback_guard.h"
#include "platform/registered_messages.h"
#include "library/extender/classification_windows.h"
#include "library/model/class_registry.h"
#include "library/rules/never_extended_classes.h"
#include "library/rules/registration_notice.h"
#include "library/rules/window_band.h"
#include "library/rules/window_text.h"
#include "library/rules/window_marks.h"
#include "platform/text.h"

namespace dl::rules {
namespace {

constexpr wchar_t kCaptionRuleNameParam[] = L"window_rule_name";
constexpr wchar_t kDefaultWindowRuleName[] = L"DefaultWindowRule";
// Windows carrying this property ask not to be re-examined on caption changes.
constexpr wchar_t kNoCaptionTrackingProperty[] = L"{703D709D-6421-49D3-8A80-81D9A05E9284}";

bool Contains(const std::vector<HWND>& list, HWND wnd) noexcept {
  return std::find(list.begin(), list.end(), wnd) != list.end();
}
void Erase(std::vector<HWND>& list, HWND wnd) noexcept {
  list.erase(std::remove(list.begin(), list.end(), wnd), list.end());
}

// Holds an extender's exclusive access for a scope, released also when a step throws.
class ExclusiveAccess {
 public:
  explicit ExclusiveAccess(IWindowExtender& extender) noexcept : extender_(extender) {
    extender_.RequestExclusiveAccess();
  }
  ~ExclusiveAccess() { extender_.ReleaseExclusiveAccess(); }
  ExclusiveAccess(const ExclusiveAccess&) = delete;
  ExclusiveAccess& operator=(const ExclusiveAccess&) = delete;

 private:
  IWindowExtender& extender_;
};

}  // namespace

// ---------------------------------------------------------------------------------------
// Small list operations, each under its own lock.

std::shared_ptr<IRuleBlock> TRuleDispatcher::RuleBlock() {
  std::lock_guard lock(mappingInfoLock_);
  return mappingInfo_;
}

model::RefPtr<IWindowExtender> TRuleDispatcher::FindExtender(HWND wnd) {
  std::lock_guard lock(windowExtendersLock_);
  for (const auto& entry : windowExtenders_)
    if (entry.wnd == wnd) return entry.extender;
  return {};
}

bool TRuleDispatcher::IsWindowExtended(HWND wnd) { return static_cast<bool>(FindExtender(wnd)); }

entry::IWindowExtender* TRuleDispatcher::GetWindowExtender(HWND wnd) {
  std::lock_guard lock(windowExtendersLock_);
  for (const auto& entry : windowExtenders_)
    if (entry.wnd == wnd) return entry.extender->HookView();
  return nullptr;
}

bool TRuleDispatcher::IsRegistered(HWND wnd) {
  std::lock_guard lock(windowListLock_);
  return Contains(windowList_, wnd);
}

bool TRuleDispatcher::WindowIsUnbinding(HWND wnd) {
  std::lock_guard lock(windowListLock_);
  return Contains(unbindingWindowList_, wnd);
}

bool TRuleDispatcher::HasWindowParams(HWND wnd) {
  std::lock_guard lock(winExParamsLock_);
  return std::any_of(winExParams_.begin(), winExParams_.end(), [&](const auto& p) { return p.second == wnd; });
}

void TRuleDispatcher::StoreParams(HWND wnd, std::wstring params) {
  std::lock_guard lock(winExParamsLock_);
  for (auto& entry : winExParams_) {
    if (entry.second == wnd) {
      entry.first = std::move(params);
      return;
    }
  }
  winExParams_.emplace_back(std::move(params), wnd);
}

std::optional<std::wstring> TRuleDispatcher::TakeParams(HWND wnd) {
  std::lock_guard lock(winExParamsLock_);
  for (auto it = winExParams_.begin(); it != winExParams_.end(); ++it) {
    if (it->second == wnd) {
      std::wstring params = std::move(it->first);
      winExParams_.erase(it);
      return params;
    }
  }
  return std::nullopt;
}

void TRuleDispatcher::DropParams(HWND wnd) { (void)TakeParams(wnd); }

void TRuleDispatcher::DeleteCaptionData(HWND wnd) {
  std::lock_guard lock(captionDataLock_);
  captionData_.erase(wnd);
}

void TRuleDispatcher::AddUnbinding(HWND wnd) {
  std::lock_guard lock(windowListLock_);
  if (!Contains(unbindingWindowList_, wnd)) unbindingWindowList_.push_back(wnd);
}

void TRuleDispatcher::RemoveUnbinding(HWND wnd) {
  std::lock_guard lock(windowListLock_);
  Erase(unbindingWindowList_, wnd);
}

std::vector<HWND> TRuleDispatcher::GetExtendedWindowsList() {
  std::lock_guard lock(windowExtendersLock_);
  std::vector<HWND> windows;
  windows.reserve(windowExtenders_.size());
  for (const auto& entry : windowExtenders_) windows.push_back(entry.extender->GetWnd());
  return windows;
}

TRuleDispatcher::ListSizes TRuleDispatcher::Sizes() {
  ListSizes sizes{};
  {
    std::lock_guard lock(windowExtendersLock_);
    sizes.extenders = windowExtenders_.size();
  }
  {
    std::lock_guard lock(windowListLock_);
    sizes.windows = windowList_.size();
    sizes.unbinding = unbindingWindowList_.size();
  }
  {
    std::lock_guard lock(winExParamsLock_);
    sizes.params = winExParams_.size();
  }
  {
    std::lock_guard lock(captionDataLock_);
    sizes.captions = captionData_.size();
  }
  return sizes;
}

WindowDescription TRuleDispatcher::Describe(HWND wnd, unsigned captionTimeoutMs) {
  return environment_.describeWindow ? environment_.describeWindow(wnd) : DescribeRealWindow(wnd, captionTimeoutMs);
}

void TRuleDispatcher::Notify(int code, const std::string& data) {
  if (environment_.sendToServer) environment_.sendToServer(std::string(), code, data);
}

// ---------------------------------------------------------------------------------------
// From a window event to a registration.

void TRuleDispatcher::ConsiderWindow(HWND wnd, int reason, UINT, UINT ignoreVisibility) {
  if (!IsActive()) return;
  // Early exits first: this runs for every window event of the process.
  if (reason != kReasonCaptionChanged && IsWindowExtended(wnd)) return;
  const bool bandPasses =
      environment_.passesBandStep ? environment_.passesBandStep(wnd) : WindowPassesBandStep(wnd);
  if (!bandPasses) return;
  if (IsNeverExtendedClass(ComposedClassNameOf(wnd))) return;
  RegisterWindow(wnd, reason);
  if (HasWindowParams(wnd)) CheckVisibleWindow(wnd, ignoreVisibility != 0);
}

void TRuleDispatcher::RegisterWindow(HWND wnd, int reason) {
  std::shared_ptr<IRuleBlock> rules = RuleBlock();
  if (!rules) return;
  bool listed = false;
  {
    std::lock_guard lock(windowListLock_);
    listed = Contains(windowList_, wnd);
    if (!listed) windowList_.push_back(wnd);
  }
  if (listed && reason != kReasonCaptionChanged && HasWindowParams(wnd)) return;
  if (!listed) {
    std::string caption = ReadCaption(wnd);
    if (!caption.empty()) {
      std::lock_guard lock(captionDataLock_);
      captionData_.insert_or_assign(wnd, TWindowCaptionData{std::move(caption), 0, ::GetTickCount(), 0});
    }
  }
  const int action = reason == kReasonCaptionChanged ? kNoticeCaptionRuleChanged : kNoticeRegistered;
  const WindowDescription window = Describe(wnd);
  RuleLookup found;
  try {
    found = rules->FindRule(window);
  } catch (...) {
    found = {};  // a rule block that cannot be read gives no rule
  }
  std::string notice;
  if (environment_.sendToServer && found.Info.Type != RuleType::rtNone &&
      (!listed || reason == kReasonCaptionChanged || !found.Params.empty()))
    notice = BuildRegistrationNotice(window, found.Info);
  Apply(action, window, found.Params, found.Info, notice);
}

void TRuleDispatcher::Apply(int action, const WindowDescription& window, const std::wstring& params,
                            const RuleInfo& rule, const std::string& notice) {
  HWND wnd = window.Wnd;
  if (!::IsWindow(wnd)) {
    UnregisterWindow(wnd, kUnregVanished);
    return;
  }
  if (action == kNoticeRegistered) {
    if (!params.empty()) {
      SetWindowMarks(wnd, rule.ParamsCRC);
      // Lotus Notes builds its frame after creating it.
      if (window.WindowClass == L"NOTES") ::Sleep(150);
      StoreParams(wnd, params);
    } else {
      RemoveWindowMarks(wnd);
    }
    if (!notice.empty()) Notify(kNoticeRegistered, notice);
    return;
  }
  // A caption change.
  const bool newRuleApplies = rule.Type != RuleType::rtExclusion && rule.Enabled;
  const std::wstring newName = newRuleApplies ? platform::AnsiToWide(rule.Name) : std::wstring();
  model::RefPtr<IWindowExtender> extender = FindExtender(wnd);
  const std::wstring currentName = extender ? extender->GetParamDefault(kCaptionRuleNameParam, L"") : std::wstring();
  if (newName == currentName) return;
  if (!currentName.empty() && currentName != kDefaultWindowRuleName) {
    // A window with a specific rule never falls back to the default rule by its caption.
    if (newName == kDefaultWindowRuleName) return;
    if (!newName.empty()) {
      std::lock_guard lock(captionDataLock_);
      auto it = captionData_.find(wnd);
      if (it != captionData_.end()) it->second.ChangeCount = std::max(it->second.ChangeCount, kCaptionChangeNever);
    }
  }
  if (newName.empty()) return;
  if (extender)
    OnClose(extender.Get(), kUnregReplaceExtender);
  else
    DropParams(wnd);
  StoreParams(wnd, params);
  SetWindowMarks(wnd, rule.ParamsCRC);
  if (!notice.empty()) Notify(kNoticeCaptionRuleChanged, notice);
}

void TRuleDispatcher::CheckVisibleWindow(HWND wnd, bool ignoreVisibility) {
  if (!ignoreVisibility && !::IsWindowVisible(wnd) && !NeedToExtend(wnd)) return;
  std::optional<std::wstring> params;
  {
    std::lock_guard lock(winExParamsLock_);
    for (const auto& entry : winExParams_)
      if (entry.second == wnd) params = entry.first;
  }
  if (!params) return;
  if (environment_.toolboxFor) {
    std::wstring toolbox = environment_.toolboxFor(wnd);
    if (!toolbox.empty()) *params += L"\\toolbox=" + toolbox;
  }
  DropParams(wnd);
  CreateExtender(wnd, *params);
}

void TRuleDispatcher::CreateExtender(HWND wnd, const std::wstring& params) {
  model::RefPtr<IWindowExtender> created;
  {
    std::lock_guard lock(windowExtendersLock_);
    const bool present = std::any_of(windowExtenders_.begin(), windowExtenders_.end(),
                                     [&](const ExtenderEntry& e) { return e.wnd == wnd; });
    if (!present) {
      try {
        created = model::CreateObjectByClassName(params, kWindowExtenderClassName).As<IWindowExtender>();
      } catch (...) {
        created.Reset();  // a parameter the extender refuses: the window stays as it is
      }
      if (created) windowExtenders_.push_back({wnd, created});
    }
  }
  if (created) {
    try {
      ExclusiveAccess access(*created);
      created->Init(this);
      created->Bind();
      // The caption-button skin goes to the icon manager pool, which this build does not have.
      created->AttachWindow(wnd);
    } catch (...) {
      // The extender stays listed; it asks to be closed when its window goes.
    }
  }
  PurgeVanishedWindows();
}

// Extenders and registrations of windows that no longer exist. The snapshot is taken
// under the lock and the windows are unregistered outside it, so that unregistering
// (which takes the other lists' locks and calls the extenders) never nests in it.
void TRuleDispatcher::PurgeVanishedWindows() {
  std::vector<HWND> vanished;
  {
    std::lock_guard lock(windowExtendersLock_);
    for (auto it = windowExtenders_.rbegin(); it != windowExtenders_.rend(); ++it)
      if (!::IsWindow(it->wnd)) vanished.push_back(it->wnd);
  }
  for (HWND wnd : vanished) UnregisterWindow(wnd, kUnregVanished);
  {
    std::lock_guard lock(captionDataLock_);
    for (auto it = captionData_.begin(); it != captionData_.end();)
      it = ::IsWindow(it->first) ? std::next(it) : captionData_.erase(it);
  }
  // Registered windows without an extender vanish too; their handles could come back as
  // other windows.
  std::vector<HWND> gone;
  {
    std::lock_guard lock(windowListLock_);
    for (auto it = windowList_.rbegin(); it != windowList_.rend(); ++it)
      if (!::IsWindow(*it)) gone.push_back(*it);
  }
  for (HWND wnd : gone) UnregisterWindow(wnd, kUnregVanished);
}

void TRuleDispatcher::UnregisterWindow(HWND wnd, int kind) {
  if (model::RefPtr<IWindowExtender> extender = FindExtender(wnd)) {
    // Inside its own window procedure the extender asks again once it has left it.
    if (extender->WindowProcNestingCount() == 0) OnClose(extender.Get(), kind);
    return;
  }
  DeleteCaptionData(wnd);
  {
    std::lock_guard lock(windowListLock_);
    if (!Contains(unbindingWindowList_, wnd)) unbindingWindowList_.push_back(wnd);
    Erase(windowList_, wnd);
  }
  DropParams(wnd);
  RemoveWindowMarks(wnd);
  RemoveUnbinding(wnd);
  if (kind == kUnregRuleChanged) ConsiderWindow(wnd, kReasonEvent, platform::ServiceMessage(), 1);
}

void TRuleDispatcher::OnClose(IWindowExtender* extender, int unregKind) {
  if (!extender) return;
  model::RefPtr<IWindowExtender> hold(extender);
  const HWND wnd = extender->GetWnd();
  bool again = false;
  {
    std::lock_guard lock(windowListLock_);
    if (!Contains(unbindingWindowList_, wnd)) unbindingWindowList_.push_back(wnd);
    again = unregKind != kUnregReplaceExtender && Contains(windowList_, wnd);
  }
  {
    std::lock_guard lock(windowExtendersLock_);
    windowExtenders_.erase(std::remove_if(windowExtenders_.begin(), windowExtenders_.end(),
                                          [&](const ExtenderEntry& e) { return e.extender.Get() == extender; }),
                           windowExtenders_.end());
  }
  try {
    ExclusiveAccess access(*extender);
    extender->DetachWindow();
    extender->Unbind();
    extender->Done();
  } catch (...) {
    platform::RecordCallbackFailure("rule_dispatcher: OnClose");
  }
  if (again) UnregisterWindow(wnd, unregKind);
  RemoveUnbinding(wnd);
}

// ---------------------------------------------------------------------------------------
// Caption changes.

void TRuleDispatcher::OnCaptionChanged(HWND wnd, UINT message, LPARAM caption) {
  if (!IsActive() || !extender::IsTopLevelApplicationWindow(wnd) || !IsRegistered(wnd)) return;
  if (::GetPropW(wnd, kNoCaptionTrackingProperty)) return;
  bool consider = false;
  {
    // Decided under the caption lock; the window is considered after it is released.
    std::unique_lock lock(captionDataLock_);
    auto it = captionData_.find(wnd);
    if (it == captionData_.end()) {
      captionData_.emplace(wnd, TWindowCaptionData{std::string(), 1, ::GetTickCount(), 0});
      consider = true;
    } else {
      std::string text;
      if (message == WM_SETTEXT) {
        if (caption) text = CaptionFromSetText(wnd, caption);
      } else {
        if (!ThrottleCaptionCheck(it->second, ::GetTickCount())) return;
        lock.unlock();  // reading may send WM_GETTEXT to the window
        text = ReadCaption(wnd);
        lock.lock();
        it = captionData_.find(wnd);
        if (it == captionData_.end()) return;
      }
      consider = TakeNewCaption(it->second, text, environment_.shellExperienceHost);
    }
  }
  if (consider) ConsiderWindow(wnd, kReasonCaptionChanged, message, 0);
}

// ---------------------------------------------------------------------------------------
// Queries.

RuleInfo TRuleDispatcher::GetWindowRuleInfo(HWND wnd, unsigned captionTimeoutMs) {
  std::shared_ptr<IRuleBlock> rules = RuleBlock();
  if (!rules) return {};
  try {
    return rules->FindRule(Describe(wnd, captionTimeoutMs)).Info;
  } catch (...) {
    return {};
  }
}

std::string TRuleDispatcher::GetWindowRuleSkin(HWND) {
  std::shared_ptr<IRuleBlock> rules = RuleBlock();
  if (!rules) return {};
  try {
    return rules->Skin();
  } catch (...) {
    return {};
  }
}

void TRuleDispatcher::OnMessageFromServer(HWND receiverWnd, std::wstring_view receiver, int commandCode,
                                          const entry::CommandData& data) {
  if (model::RefPtr<IWindowExtender> extender = FindExtender(receiverWnd))
    extender->OnMessageFromServer(receiverWnd, receiver, commandCode, data);
}

void* TRuleDispatcher::FindInterface(const model::Guid& iid) noexcept {
  if (iid == entry::IServerMessageRedirector::kIid) return static_cast<entry::IServerMessageRedirector*>(this);
  if (iid == IWindowExtenderOwner::kIid) return static_cast<IWindowExtenderOwner*>(this);
  return TAbstractPlugin::FindInterface(iid);
}

}  // namespace dl::rules
