// The extender's life: construction from parameters, Init/Bind, attach, the post-attach hook
// check, detach, Unbind/Done and destruction.
#include "library/extender/window_extender.h"

#include <utility>

#include "library/runtime/process_local_storage.h"
#include "library/runtime/shared_messages.h"
#include "library/extender/classification_windows.h"
#include "library/extender/noninvasive_marks.h"
#include "library/extender/process_flags.h"
#include "library/extender/utility_window.h"
#include "library/extender/window_extender_rules.h"
#include "library/extender/window_identity.h"
#include "library/model/class_registry.h"
#include "library/model/event_log.h"
#include "library/model/hex.h"
#include "library/model/params.h"
#include "platform/callback_guard.h"
#include "platform/process_identity.h"
#include "platform/registered_messages.h"

namespace dl::extender {
namespace {

constinit std::atomic<long> g_serial{0};
constinit std::atomic<long> g_live{0};

constexpr wchar_t kRuleNameParam[] = L"window_rule_name";
constexpr wchar_t kAppFrameInputSinkClass[] = L"ApplicationFrameInputSinkWindow";

template <typename F>
void ForEachPart(TWindowParts* parts, bool reverse, F&& f) {
  if (!parts) return;
  const int count = parts->GetCount();
  for (int k = 0; k < count; ++k) {
    const int i = reverse ? count - 1 - k : k;
    if (model::RefPtr<IWindowPart> part = parts->GetItemByIndex(i)) f(*part);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------
// Part collections.

bool TWindowParts::Add(IWindowPart* part) {
  if (!part) return false;
  return TInterfaceCollection::Add(part, false, part->GetName()) != nullptr;
}

model::RefPtr<IWindowPart> TWindowParts::GetItemByIndex(int index) const {
  model::RefPtr<model::IInterface> item = GetItemsI(index);
  return item.As<IWindowPart>();
}

model::RefPtr<IWindowPart> TWindowParts::GetItemByName(std::wstring_view name) const {
  const int index = IndexByKey(name);
  return index < 0 ? model::RefPtr<IWindowPart>() : GetItemByIndex(index);
}

// ---------------------------------------------------------------------------------------
// Construction and parameters.

TWindowExtender::TWindowExtender() {
  // A live extender keeps the library busy: its window may call into it at any time.
  entry::StorageCountIn();
  g_live.fetch_add(1);
}

TWindowExtender::~TWindowExtender() {
  if (wnd_) DetachWindow();
  timerCollection_.Clear();
  {
    std::lock_guard lock(subclassedWindowsLock_);
    subclassedWindows_.clear();
    officeMenuBarHandlers_.clear();
  }
  messageHandlers_.clear();
  g_live.fetch_sub(1);
  entry::StorageCountOut();
}

long TWindowExtender::LiveCount() noexcept { return g_live.load(); }

void TWindowExtender::InitObject() {
  TAbstractItem::InitObject();
  SetName(L"WindowExtender" + std::to_wstring(g_serial.fetch_add(1) + 1));
  actions_ = new TWindowParts();
  triggers_ = new TWindowParts();
  properties_ = new model::TPointerCollection();
  serverMessageSubscribers_ = new model::TInterfaceCollection();
  params_ = new model::TStringCollection();
}

void TWindowExtender::SetParam(const std::wstring& name, const model::Variant& value) {
  TAbstractItem::SetParam(name, value);
  const std::wstring text = value.AsString();
  if (name == L"action" || name == L"trigger") {
    AddPart(name, text);
  } else if (name == L"special_icons") {
    specialIcons_ = text;
  } else if (name == L"toolbox") {
    model::RefPtr<model::TAbstractObject> object;
    try {
      object = model::CreateObjectFromSpec(text);
    } catch (...) {
      object.Reset();  // a toolbox that fails to build leaves the window without one
    }
    if (object) toolbox_ = object.As<IToolbox>();
    else model::WriteEventLog(L"WindowExtender;toolbox;" + SplitPartSpec(text).className + L";not available");
  } else {
    params_->Add(model::HexToString(text), false, name);
  }
}

void TWindowExtender::AddPart(const std::wstring& kind, const std::wstring& value) {
  const PartSpec spec = SplitPartSpec(value);
  std::wstring partName;
  model::ExtractParam(spec.params, L"name", partName);
  TWindowParts* parts = kind == L"trigger" ? triggers_.Get() : actions_.Get();
  if (model::RefPtr<IWindowPart> existing = parts->GetItemByName(partName)) {
    existing->ParseParams(spec.params);  // a later entry amends the earlier one
    return;
  }
  if (!model::FindObjectClass(spec.className)) {
    // Rules may already name capabilities that this library does not have yet.
    model::WriteEventLog(L"WindowExtender;" + kind + L";" + spec.className + L";unknown class skipped");
    return;
  }
  model::RefPtr<model::TAbstractObject> object;
  try {
    object = model::CreateObjectByClassName(spec.params, spec.className);
  } catch (...) {
    // One part that refuses its parameters leaves the others in place.
    model::WriteEventLog(L"WindowExtender;" + kind + L";" + spec.className + L";construction failed");
    return;
  }
  if (!object) return;
  model::RefPtr<IWindowPart> part;
  if (kind == L"trigger") part = object.As<ITrigger>();
  else part = object.As<IAction>();
  if (part) parts->Add(part.Get());
}

std::wstring TWindowExtender::GetParamDefault(std::wstring_view name, std::wstring_view def) const {
  std::wstring value;
  if (params_ && params_->GetValue(name, value)) return value;
  return std::wstring(def);
}

void* TWindowExtender::FindInterface(const model::Guid& iid) noexcept {
  if (iid == IMMCenterSubscriber::kIid) return static_cast<IMMCenterSubscriber*>(this);
  if (iid == IMessageHandler::kIid) return static_cast<IMessageHandler*>(this);
  if (iid == IChildMessageHandler::kIid) return static_cast<IChildMessageHandler*>(this);
  if (iid == entry::IServerMessageRedirector::kIid) return static_cast<entry::IServerMessageRedirector*>(this);
  if (iid == IWindowPartOwner::kIid) return static_cast<IWindowPartOwner*>(this);
  if (iid == IWindowHandler::kIid) return static_cast<IWindowHandler*>(this);
  if (iid == rules::IWindowExtender::kIid) return static_cast<rules::IWindowExtender*>(this);
  if (iid == model::ISlave::kIid) return static_cast<model::ISlave*>(this);
  return TAbstractItem::FindInterface(iid);
}

// ---------------------------------------------------------------------------------------
// Init, Bind, Unbind, Done.

void TWindowExtender::Init(model::IItem* owner) {
  owner_ = model::QueryAs<rules::IWindowExtenderOwner>(owner);
  if (toolbox_) toolbox_->Init(this);
  ForEachPart(actions_.Get(), false, [&](IWindowPart& p) { p.Init(this); });
  ForEachPart(triggers_.Get(), false, [&](IWindowPart& p) { p.Init(this); });
}

void TWindowExtender::Bind() {
  if (toolbox_) toolbox_->Bind();
  ForEachPart(actions_.Get(), false, [](IWindowPart& p) { p.Bind(); });
  ForEachPart(triggers_.Get(), false, [](IWindowPart& p) { p.Bind(); });
  if (!subscribedToMonitors_) {
    SubscribeToMonitorUpdates(this);
    subscribedToMonitors_ = true;
  }
}

void TWindowExtender::Unbind() {
  if (subscribedToMonitors_) {
    UnsubscribeFromMonitorUpdates(this);
    subscribedToMonitors_ = false;
  }
  ForEachPart(triggers_.Get(), true, [](IWindowPart& p) { p.Unbind(); });
  ForEachPart(actions_.Get(), true, [](IWindowPart& p) { p.Unbind(); });
  if (toolbox_) toolbox_->Unbind();
}

void TWindowExtender::Done() {
  if (wnd_) DetachWindow();
  ForEachPart(triggers_.Get(), true, [](IWindowPart& p) { p.Done(); });
  ForEachPart(actions_.Get(), true, [](IWindowPart& p) { p.Done(); });
  if (toolbox_) toolbox_->Done();
  owner_.Reset();
}

model::RefPtr<model::IItem> TWindowExtender::GetOwner() const {
  return owner_ ? model::RefPtr<model::IItem>(owner_.Get()) : model::RefPtr<model::IItem>();
}

// ---------------------------------------------------------------------------------------
// Attach.

void TWindowExtender::WriteLifecycleLine(std::wstring_view operation, std::wstring_view detail) const noexcept {
  try {
    if (!model::EventLogEnabled()) return;
    model::WriteEventLog(ExtenderLogLine(GetParamDefault(kRuleNameParam, L""), windowClassName_,
                                         reinterpret_cast<std::uintptr_t>(wnd_), operation, detail));
  } catch (...) {
    platform::RecordCallbackFailure("window_extender: WriteLifecycleLine");
  }
}

void TWindowExtender::AttachWindow(HWND wnd) {
  if (wnd_ || !wnd) return;
  wnd_ = wnd;
  windowClassName_ = ComposedClassName(wnd);
  WriteLifecycleLine(L"AttachWindow", L"-");

  serviceWnd_.reset(AllocateUtilityWindow(MakeWndMethod<&TWindowExtender::ServiceProc>(this), HWND_MESSAGE, nullptr,
                                      WS_POPUP, WS_EX_TOOLWINDOW));
  timerCollection_.SetWindowHandle(serviceWnd_.get());
  const ExecutableIdentity& exe = Executable();
  timerCollection_.SetIdSeed(TimerIdSeedFor(exe.lowerName, exe.lowerPath));

  ComputeFlags();
  OfferWindowToParts();
  if (!::IsWindow(wnd_)) {
    // Destroyed while the parts looked at it: nothing to follow.
    DetachWindow();
    return;
  }
  FollowWindow();

  if (isApplicationFrameWindow_) {
    for (HWND child = ::FindWindowExW(wnd_, nullptr, kAppFrameInputSinkClass, nullptr); child;) {
      appFrameInputSinkWnd_ = child;
      SubclassChildWindow(child, this);
      break;
    }
  }
  ::PostMessageW(wnd_, platform::ServiceMessage(), kSvcAttachComplete, 0);
}

void TWindowExtender::ComputeFlags() {
  const ProcessFlags& process = CurrentProcessFlags();
  isDialogInExplorer_ = Executable().lowerName == L"explorer.exe" && windowClassName_ == L"#32770";
  isMdi_ = IsMdiChild(wnd_);
  isMetroFrame_ = IsImmersiveFrame(wnd_);
  isApplicationFrameWindow_ = extender::IsApplicationFrameWindow(wnd_) && (process.frameHost || process.shell);
  isTabbedContainerWindow_ = IsTabbedContainer(wnd_);
  isGoogleChromeWindow_ = IsChromiumWindow(wnd_);
}

void TWindowExtender::OfferWindowToParts() {
  auto offer = [&](IWindowPart& part) {
    try {
      if (part.IsProperWindow(wnd_)) part.AttachWindow();
      else part.Unbind();
    } catch (...) {
      // A part that fails here is treated as one that does not fit; the others go on.
      WriteLifecycleLine(L"AttachWindow", L"part failed: " + part.GetName());
      try {
        if (part.IsAttached()) part.DetachWindow();
        part.Unbind();
      } catch (...) {
        platform::RecordCallbackFailure("window_extender: OfferWindowToParts");
      }
    }
  };
  if (toolbox_) offer(*toolbox_);
  ForEachPart(actions_.Get(), false, offer);
  ForEachPart(triggers_.Get(), false, offer);
}

bool TWindowExtender::NeedsNoninvasiveFollowing() const {
  return extender::NeedsNoninvasiveFollowing(windowClassName_, Executable().lowerPath,
                                             platform::IsModuleLoaded(L"nvsmartmax64.dll"));
}

void TWindowExtender::FollowWindow() {
  const WndMethod method = MakeWndMethod<&TWindowExtender::WindowProc>(this);
  if (IsConsoleWindow(wnd_)) {
    if (HWND observer = ConsoleObserverOf(wnd_)) {
      hook_ = std::make_unique<WHook>(observer, method);
      consoleFollowed_ = true;
    }
    return;
  }
  if (NeedsNoninvasiveFollowing()) {
    MarkNoninvasive(wnd_, entry::Messages().noninvasiveAtom);
    return;
  }
  hook_ = std::make_unique<WHook>(wnd_, method);
  checkExtenderTryCount_ = 0;
  rehookCount_ = 0;
  checkExtenderTimer_ = timerCollection_.CreateNewTimer();
  if (checkExtenderTimer_) {
    checkExtenderTimer_->SetInterval(kHookCheckIntervalMs);
    checkExtenderTimer_->SetOnTimer([this](Timer& t) { CheckExtenderTimerNotify(t); });
    checkExtenderTimer_->SetEnabled(true);
  }
}

void TWindowExtender::CheckExtenderTimerNotify(Timer& sender) {
  if (!::IsWindow(wnd_)) {
    sender.SetEnabled(false);
    return;
  }
  DWORD_PTR answer = 0;
  // Bounded: a window that hangs must not hang the check with it.
  if (::SendMessageTimeoutW(wnd_, platform::ServiceMessage(), kSvcPing, 0, SMTO_BLOCK | SMTO_ABORTIFHUNG, 1000,
                            &answer) &&
      static_cast<LRESULT>(answer) == kSvcPingAnswer) {
    if (++checkExtenderTryCount_ >= kHookChecksToTrust) sender.SetEnabled(false);
    return;
  }
  sender.SetEnabled(false);
  if (!hook_) return;
  if (rehookCount_ < kMaxRehooks) {
    ++rehookCount_;
    hook_->RehookWindowFromScratch();
    checkExtenderTryCount_ = 0;
    sender.SetEnabled(true);
    return;
  }
  WriteLifecycleLine(L"CheckExtenderTimerNotify", L"[WARNING] Rehook count exceeded");
}

// ---------------------------------------------------------------------------------------
// Detach.

void TWindowExtender::DetachWindow() {
  if (!wnd_) return;
  timerCollection_.SetWindowHandle(nullptr);
  timerCollection_.Clear();
  serviceWnd_.reset();
  checkExtenderTimer_ = nullptr;
  officeTimer_ = nullptr;
  officeRecheckTimer_ = nullptr;
  colorChange_.reset();
  if (appFrameInputSinkWnd_) {
    UnsubclassChildWindow(appFrameInputSinkWnd_, this);
    appFrameInputSinkWnd_ = nullptr;
  }
  // The trampoline turns into a forwarder: a message still on its way reaches the window's
  // previous procedure, never this object.
  hook_.reset();
  consoleFollowed_ = false;
  tooltip_.reset();
  auto detach = [](IWindowPart& part) {
    if (part.IsAttached()) part.DetachWindow();
  };
  ForEachPart(triggers_.Get(), true, detach);
  ForEachPart(actions_.Get(), true, detach);
  if (toolbox_) detach(*toolbox_);
  // After the parts: they may still have finished their own transparency or cloaking.
  DetachWindowServices();
  {
    // Children subclassed for parts that never let them go: unhooked with the window.
    std::lock_guard lock(subclassedWindowsLock_);
    subclassedWindows_.clear();
  }
  officeMenuBarWnd_ = nullptr;
  officeSubclassingEnabled_ = false;
  wnd_ = nullptr;
}

void TWindowExtender::ReapplyRule() {
  if (!wnd_) return;
  HWND target = wnd_;
  if (consoleFollowed_ && hook_) target = hook_->Handle();
  ::PostMessageW(target, platform::ServiceMessage(), kSvcReapplyRule, 0);
}

void TWindowExtender::ResetHook() {
  if (hook_) hook_->RehookWindow(false);
}

// ---------------------------------------------------------------------------------------

void RegisterWindowExtenderClass() noexcept {
  try {
    if (!model::FindObjectClass(rules::kWindowExtenderClassName))
      model::RegisterObjectClass<TWindowExtender>(rules::kWindowExtenderClassName);
  } catch (...) {
    // Taken meanwhile: the class that holds the name is the one to use.
  }
}

}  // namespace dl::extender
