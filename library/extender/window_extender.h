#pragma once
// The per-window object of the library: built from a rule's parameter string, it owns the rule's
// actions, triggers and toolbox, subclasses the window through a trampoline, runs every message
// through its parts, offers them the window's services and asks its owner to close it when the
// window goes.
#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "library/runtime/library_services.h"
#include "library/extender/color_change_debounce.h"
#include "library/extender/dpi_queries.h"
#include "library/extender/frame_icons.h"
#include "library/extender/monitor_subscription.h"
#include "library/extender/size_move_tooltip.h"
#include "library/extender/timer_collection.h"
#include "library/extender/utility_window.h"
#include "library/extender/whook.h"
#include "library/extender/window_cloaking.h"
#include "library/extender/window_part_interfaces.h"
#include "library/model/collections.h"
#include "library/extender/window_extender_interfaces.h"
#include "platform/handles.h"

namespace dl::extender {

// Service-message codes an extender handles or sends itself.
inline constexpr WPARAM kSvcAttachComplete = 1;
inline constexpr WPARAM kSvcCloseRequest = 3;
inline constexpr WPARAM kSvcPing = 10;
inline constexpr LRESULT kSvcPingAnswer = 42;
inline constexpr WPARAM kSvcCheckHookLater = 30;
inline constexpr WPARAM kSvcSetCursor = 31;
inline constexpr WPARAM kSvcMonitorsAllInfo = 40;
inline constexpr WPARAM kSvcMonitorsOnly = 41;
inline constexpr WPARAM kSvcRefreshFrameIcons = 55;
inline constexpr WPARAM kSvcCloak = 61;
inline constexpr WPARAM kSvcUncloak = 62;
inline constexpr WPARAM kSvcReapplyRule = 67;
inline constexpr WPARAM kSvcSetMarkProperty = 71;
inline constexpr WPARAM kSvcRemoveMarkProperty = 72;

// Unregistration kind an extender passes when its window is destroyed.
inline constexpr int kErDestroyed = 2;
// Close requests re-posted while nested, over the extender's life.
inline constexpr int kMaxDetachTries = 50;
inline constexpr int kHookChecksToTrust = 10;
inline constexpr int kMaxRehooks = 4;
inline constexpr UINT kHookCheckIntervalMs = 100;

class TWindowExtender
    : public model::ObjectClass<TWindowExtender, model::TAbstractItem, L"TWindowExtender">,
      public virtual IMMCenterSubscriber,
      public virtual IMessageHandler,
      public virtual IChildMessageHandler,
      public virtual rules::IWindowExtender,
      public virtual IWindowPartOwner,
      public virtual IWindowHandler,
      public entry::IWindowExtender {
 public:
  TWindowExtender();
  ~TWindowExtender() override;

  // IItem, reached along several paths.
  [[nodiscard]] std::wstring GetName() const override { return TAbstractItem::GetName(); }
  void SetName(std::wstring_view name) override { TAbstractItem::SetName(name); }
  void ParseParams(std::wstring_view params) override { TAbstractItem::ParseParams(params); }
  [[nodiscard]] bool IsObjectOfClass(model::TAbstractClass cls) const noexcept override {
    return TAbstractItem::IsObjectOfClass(cls);
  }

  // ISlave.
  void Init(model::IItem* owner) override;
  void Done() override;
  void Bind() override;
  void Unbind() override;
  [[nodiscard]] model::RefPtr<model::IItem> GetOwner() const override;

  // The dispatcher's view.
  [[nodiscard]] HWND GetWnd() const noexcept override { return wnd_; }
  void AttachWindow(HWND wnd) override;
  void DetachWindow() override;
  [[nodiscard]] int WindowProcNestingCount() const noexcept override { return nesting_.load(); }
  void RequestExclusiveAccess() noexcept override { exclusiveAccessLock_.lock(); }
  void ReleaseExclusiveAccess() noexcept override { exclusiveAccessLock_.unlock(); }
  void ReapplyRule();
  [[nodiscard]] std::wstring GetParamDefault(std::wstring_view name, std::wstring_view def) const override;
  void SetHandlerProperty(std::wstring_view name, int value) override { SetProp(name, value); }
  [[nodiscard]] int GetHandlerProperty(std::wstring_view name, int def) const override {
    return static_cast<int>(GetProp(name, def));
  }
  void RemoveHandlerProperty(std::wstring_view name) override { RemoveProp(name); }
  [[nodiscard]] entry::IWindowExtender* HookView() noexcept override { return this; }
  void OnMessageFromServer(HWND receiverWnd, std::wstring_view receiver, int commandCode,
                           const entry::CommandData& data) override;

  // The hooks' view.
  entry::IMessageHandler* GetMessageHandler() override { return &hookHandler_; }
  entry::IMessageHandler* FindAction(const wchar_t* name) override;
  void ResetHook() override;

  // IWindowPartOwner.
  [[nodiscard]] IWindowHandler* GetWindowHandler() override { return this; }
  [[nodiscard]] TWindowParts* GetActions() override { return actions_.Get(); }
  [[nodiscard]] TWindowParts* GetTriggers() override { return triggers_.Get(); }

  // IWindowHandler.
  [[nodiscard]] std::wstring GetWndClassName() const override { return windowClassName_; }
  void AttachMessageHandler(IMessageHandler* handler) override;
  void DetachMessageHandler(IMessageHandler* handler) override;
  void CallOriginalWndProc(WindowMessage& message) override;
  Timer* CreateNewTimer() override { return timerCollection_.CreateNewTimer(); }
  void SetProp(std::wstring_view name, std::intptr_t value) override;
  [[nodiscard]] std::intptr_t GetProp(std::wstring_view name, std::intptr_t defValue) const override;
  void RemoveProp(std::wstring_view name) override;
  void PropChangeSubscribe(IPropChangeSubscriber* subscriber) override;
  void PropChangeUnsubscribe(IPropChangeSubscriber* subscriber) override;
  void Subscribe(std::wstring_view name, IServerMessageReceiver* receiver) override;
  void Unsubscribe(std::wstring_view name) override;
  void Unsubscribe(IServerMessageReceiver* receiver) override;
  [[nodiscard]] bool IsConsole() const override;
  [[nodiscard]] bool IsMDI() const noexcept override { return isMdi_; }
  [[nodiscard]] bool IsMetroFrame() const noexcept override { return isMetroFrame_; }
  [[nodiscard]] bool IsApplicationFrameWindow() const noexcept override { return isApplicationFrameWindow_; }
  [[nodiscard]] bool IsTabbedContainerWindow() const noexcept override { return isTabbedContainerWindow_; }
  [[nodiscard]] bool IsGoogleChromeWindow() const noexcept override { return isGoogleChromeWindow_; }
  void SubclassChildWindow(HWND child, IChildMessageHandler* handler) override;
  void UnsubclassChildWindow(HWND child, IChildMessageHandler* handler) override;
  [[nodiscard]] HWND GetServiceWnd() const noexcept override { return serviceWnd_.get(); }
  void Office2007SubclassingSubscribe(IOffice2007MenuBarMessageHandler* handler) override;
  void Office2007SubclassingUnsubscribe(IOffice2007MenuBarMessageHandler* handler) override;
  [[nodiscard]] HWND GetOffice2007MenuBarWnd() const noexcept override { return officeMenuBarWnd_; }
  void RegisterSpecialAgent(IAgent* agent, std::intptr_t id) override;
  void UnregisterSpecialAgent(IAgent* agent) override;
  [[nodiscard]] model::RefPtr<IAgent> GetSpecialAgent(std::intptr_t id) const override;
  [[nodiscard]] HICON GetSpecialIcon(std::wstring_view name) const override;
  [[nodiscard]] model::RefPtr<IToolbox> GetToolbox() const override { return toolbox_; }
  [[nodiscard]] std::wstring GetRegistryParamsPath() const override;
  [[nodiscard]] bool InSizeMoveLoop() const noexcept override { return inSizeMoveLoop_; }
  void SetTargetRectForDPIChange(const RECT& rc) override { dpiCache_.SetTargetRectForDPIChange(rc); }
  void ResetTargetRectForDPIChange() override { dpiCache_.ResetTargetRectForDPIChange(); }
  void InitializeTransparency() override;
  void FinalizeTransparency() override;
  bool SetTransparency(int percent) override;
  [[nodiscard]] int GetTransparency() const override;
  void RemoveTransparency() override;
  void ShowSizeMoveTooltip(int index, const std::wstring& caption) override;
  void HideSizeMoveTooltip(int index) override { ShowSizeMoveTooltip(index, std::wstring()); }
  [[nodiscard]] HWND GetSizeMoveTooltipWindow() const noexcept override {
    return tooltip_ ? tooltip_->Window() : nullptr;
  }
  [[nodiscard]] int GetWindowDPI() override;
  [[nodiscard]] int GetWindowNonClientDPI() override;
  bool CloakWindow() override;
  bool UncloakWindow() override;
  void RefreshFrameIcons() override;

  // The extender's own reactions, around the window's procedure.
  bool BeforeMessage(WindowMessage& message) override;
  void AfterMessage(WindowMessage& message, bool beforeHandled) override;
  bool BeforeChildMessage(HWND wnd, WindowMessage& message) override;
  void AfterChildMessage(HWND wnd, WindowMessage& message, bool beforeHandled) override;
  void OnMMCenterUpdate(TMMCenterUpdateType reason) override;

  // Seen from tests and benchmarks: the state the Part's algorithms leave behind.
  [[nodiscard]] WHook* Hook() const noexcept { return hook_.get(); }
  [[nodiscard]] const TimerCollection& Timers() const noexcept { return timerCollection_; }
  [[nodiscard]] int RehookCount() const noexcept { return rehookCount_; }
  [[nodiscard]] int CheckExtenderTryCount() const noexcept { return checkExtenderTryCount_; }
  [[nodiscard]] bool HookCheckRunning() const noexcept { return checkExtenderTimer_ && checkExtenderTimer_->Enabled(); }
  [[nodiscard]] bool ColorChangePending() const noexcept { return colorChange_ && colorChange_->Pending(); }
  [[nodiscard]] const WindowDpiCache& DpiCache() const noexcept { return dpiCache_; }
  [[nodiscard]] bool WindowWasCloaked() const noexcept { return cloaking_.WindowWasCloaked(); }
  [[nodiscard]] std::size_t SubclassedChildCount() const;
  [[nodiscard]] std::size_t MessageHandlerCount() const noexcept { return messageHandlers_.size(); }
  [[nodiscard]] int DetachTryCount() const noexcept { return detachTryCount_; }
  [[nodiscard]] bool OfficeSearchActive() const noexcept { return officeSubclassingEnabled_; }
  [[nodiscard]] int OfficeSearchAttemptsLeft() const noexcept { return officeTimerHitsLeft_; }

  // Live extenders in this process (each counts itself in on the busy counter as well).
  [[nodiscard]] static long LiveCount() noexcept;

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;
  void InitObject() override;
  void SetParam(const std::wstring& name, const model::Variant& value) override;

 private:
  // The hooks hand messages of non-subclassed windows and mouse messages of child windows
  // through this view.
  class HookMessageView final : public entry::IMessageHandler {
   public:
    explicit HookMessageView(extender::IMessageHandler& target) noexcept : target_(&target) {}
    void Retarget(extender::IMessageHandler* target) noexcept { target_ = target; }
    bool BeforeMessage(entry::TMessageRecord& message) override;
    void AfterMessage(entry::TMessageRecord& message, bool flag) override;

   private:
    extender::IMessageHandler* target_;
  };

  struct ChildRecord {
    std::unique_ptr<WHook> hook;
    std::vector<model::RefPtr<IChildMessageHandler>> handlers;
  };

  void AddPart(const std::wstring& kind, const std::wstring& value);
  void ComputeFlags();
  void OfferWindowToParts();
  void FollowWindow();
  [[nodiscard]] bool NeedsNoninvasiveFollowing() const;
  void WriteLifecycleLine(std::wstring_view operation, std::wstring_view detail) const noexcept;
  void CheckExtenderTimerNotify(Timer& sender);

  class WindowProcScope;
  class AfterMessageScope;
  void WindowProc(HWND wnd, WindowMessage& message);
  void ChildProc(HWND wnd, WindowMessage& message);
  bool AnswerServiceQuery(HWND wnd, WindowMessage& message);
  void ServiceProc(HWND wnd, WindowMessage& message) noexcept;
  bool OwnBeforeMessage(WindowMessage& message);
  void OwnAfterMessage(WindowMessage& message);
  void CloseRequest(const WindowMessage& message);
  void RestartColorChangeTimer();
  void DetachWindowServices();
  [[nodiscard]] bool QualifiesAsRuleWindow() const;

  void StartOfficeSearch();
  void OfficeSearchStep(Timer& sender);
  void OfficeRecheckStep(Timer& sender);
  void ReleaseOfficeMenuBar();
  [[nodiscard]] HWND FindOfficeMenuBar(HWND only) const;

  model::RefPtr<TWindowParts> actions_;
  model::RefPtr<TWindowParts> triggers_;
  std::vector<model::RefPtr<IMessageHandler>> messageHandlers_;
  // Handlers detached while a message is inside: the loops call handlers without taking a
  // reference each, so these are released when the outermost call of the window procedure leaves.
  std::vector<model::RefPtr<IMessageHandler>> detachedWhileInside_;
  model::RefPtr<rules::IWindowExtenderOwner> owner_;
  model::RefPtr<IToolbox> toolbox_;
  platform::CriticalSection exclusiveAccessLock_;
  HWND wnd_ = nullptr;
  std::wstring windowClassName_;
  std::unique_ptr<WHook> hook_;
  // Changed only by the window's own thread (window procedures run there); read by any.
  std::atomic<int> nesting_{0};
  int detachTryCount_ = 0;
  Timer* checkExtenderTimer_ = nullptr;
  int checkExtenderTryCount_ = 0;
  int rehookCount_ = 0;
  TimerCollection timerCollection_;
  model::RefPtr<model::TPointerCollection> properties_;
  model::RefPtr<model::TStringCollection> params_;
  std::vector<model::RefPtr<IPropChangeSubscriber>> propChangeSubscribers_;
  model::RefPtr<model::TInterfaceCollection> serverMessageSubscribers_;
  bool isMdi_ = false;
  bool isMetroFrame_ = false;
  bool isApplicationFrameWindow_ = false;
  bool isTabbedContainerWindow_ = false;
  bool isGoogleChromeWindow_ = false;
  std::unordered_map<HWND, std::shared_ptr<ChildRecord>> subclassedWindows_;
  mutable platform::CriticalSection subclassedWindowsLock_;
  bool isDialogInExplorer_ = false;
  UniqueUtilityWindow serviceWnd_;
  bool officeSubclassingEnabled_ = false;
  std::vector<model::RefPtr<IOffice2007MenuBarMessageHandler>> officeMenuBarHandlers_;
  HWND officeMenuBarWnd_ = nullptr;
  Timer* officeTimer_ = nullptr;
  int officeTimerHitsLeft_ = 0;
  Timer* officeRecheckTimer_ = nullptr;
  DWORD officeFullRecheckTime_ = 0;
  std::vector<std::pair<std::intptr_t, model::RefPtr<IAgent>>> specialAgents_;
  std::wstring specialIcons_;
  bool inSizeMoveLoop_ = false;
  // The window services, for the attached window; what detach does not finish, the next
  // attach starts afresh.
  std::unique_ptr<SizeMoveTooltip> tooltip_;          // from the first text on
  std::unique_ptr<ColorChangeDebounce> colorChange_;  // from the first colour change on
  WindowDpiCache dpiCache_;
  WindowCloaking cloaking_;
  FrameIcons frameIcons_;
  // How the window was layered before InitializeTransparency, so that detach puts it back.
  enum class TransparencyOrigin { kNone, kOpaque, kOwnAlpha, kUntouched };
  TransparencyOrigin transparencyOrigin_ = TransparencyOrigin::kNone;
  int transparencyAtInitialize_ = 0;
  HWND appFrameInputSinkWnd_ = nullptr;
  UINT inputSinkButtonDownMsg_ = 0;
  DWORD inputSinkButtonDownTime_ = 0;
  bool inputSinkTimeRecorded_ = false;
  bool consoleFollowed_ = false;
  bool subscribedToMonitors_ = false;

  HookMessageView hookHandler_{*this};
  HookMessageView actionHandler_{*this};
};

// Registers the extender under "WINDOWEXTENDER" unless a class has that name already.
void RegisterWindowExtenderClass() noexcept;

}  // namespace dl::extender
