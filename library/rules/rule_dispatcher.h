#pragma once
// The rule dispatcher: decides which top-level windows of this process get a window
// extender and with which parameters. It filters window events, registers windows,
// looks them up in the rule block the main program publishes, marks them, tells the main
// program, and creates and removes extenders. It also carries out the main program's rule
// commands and re-examines every window when the rules change.
//
// Locks: each of the five guards only its own data and none is held while another is
// taken or while anything outside the dispatcher is called (window procedures, extenders,
// the messenger). Paths that need two lists take one lock after the other, so there is no
// order between them to get wrong.
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "library/extender/window_extender_interfaces.h"
#include "library/rules/caption_tracking.h"
#include "library/extender/classification_rules.h"
#include "library/rules/rule_source.h"
#include "library/runtime/library_services.h"
#include "library/runtime/plugin_abstract.h"
#include "platform/handles.h"

namespace dl::rules {

// What the dispatcher uses of the rest of the process, filled in by whoever creates it (the
// library's entry for the process's own dispatcher, tests for theirs). Empty members do nothing.
struct DispatcherEnvironment {
  BlockSources blocks;
  // The messenger client's SendMessage (empty receiver = the main program); empty while
  // the process has no messenger client.
  std::function<void(const std::string& receiver, int code, const std::string& data)> sendToServer;
  // Describes a window for matching; the default reads the real window.
  std::function<WindowDescription(HWND)> describeWindow;
  // The value of the first window criterion matching the window, appended as "toolbox".
  std::function<std::wstring(HWND)> toolboxFor;
  std::function<void(const std::wstring& folder)> setRegexFolder;
  std::function<void()> unloadRegex;
  std::function<void(bool enabled)> setEventLogEnabled;
  std::function<void(std::uint32_t dpi)> setServerDpi;
  // Whether the thread-local hook list and the process-wide publication are used (the
  // library's dispatcher); tests that run several dispatchers turn it off.
  bool ownsProcessHooks = true;
  // Makes the thread-local hook list when the dispatcher owns the process hooks; empty: none.
  std::function<std::unique_ptr<entry::IOwnedThreadHookList>()> createThreadHookList;
  bool reducedHookProcess = false;
  bool explorerProcess = false;
  bool shellExperienceHost = false;
  // The band step; the default asks the window's z-order band.
  std::function<bool(HWND)> passesBandStep;
};

// Need-to-extend checks: an invisible window is still extended when one of them wants it.
using TNeedToExtendWindowCheck = bool (*)(HWND wnd);
void RegisterNeedToExtendWindowCheck(TNeedToExtendWindowCheck check);
void UnregisterNeedToExtendWindowCheck(TNeedToExtendWindowCheck check) noexcept;

// Unregistration kinds.
enum UnregKind : int {
  kUnregRuleGone = 0,
  kUnregDetachAll = 1,
  kUnregDestroyed = 2,
  kUnregVanished = 3,
  kUnregRuleChanged = 4,
  kUnregReplaceExtender = 5,
};

// Reasons for considering a window.
enum ConsiderReason : int { kReasonEvent = 0, kReasonCaptionChanged = 1 };

class TRuleDispatcher : public entry::TAbstractPlugin,
                        public virtual entry::IServerMessageRedirector,
                        public virtual IWindowExtenderOwner,
                        public entry::IProcessHook {
 public:
  explicit TRuleDispatcher(DispatcherEnvironment environment);
  ~TRuleDispatcher() override;

  // Plug-in.
  void Init(model::IItem* owner) override;
  void Done() override;
  using TAbstractPlugin::OnMessageFromServer;
  void OnMessageFromServer(int commandCode, const entry::CommandData& data) override;
  void OnWindowMessage(HWND, UINT, WPARAM, LPARAM) override {}
  void OnMessageFromServer(HWND receiverWnd, std::wstring_view receiver, int commandCode,
                           const entry::CommandData& data) override;

  // IProcessHook.
  bool IsActive() override { return active_.load(std::memory_order_acquire); }
  void ConsiderWindow(HWND wnd, int reason, UINT message, UINT ignoreVisibility) override;
  void RegisterWindow(HWND wnd, int reason) override;
  void UnregisterWindow(HWND wnd, int kind) override;
  void CheckVisibleWindow(HWND wnd, bool ignoreVisibility) override;
  bool IsWindowExtended(HWND wnd) override;
  bool IsWindowRegistered(HWND wnd) override { return IsRegistered(wnd); }
  entry::IWindowExtender* GetWindowExtender(HWND wnd) override;
  void OnCaptionChanged(HWND wnd, UINT message, LPARAM caption) override;
  bool WindowIsUnbinding(HWND wnd) override;
  bool HasWindowParams(HWND wnd) override;
  std::vector<HWND> GetExtendedWindowsList() override;
  void RefreshWindowState(HWND wnd, bool force) override;

  // IWindowExtenderOwner.
  void OnClose(IWindowExtender* extender, int unregKind) override;

  // Queries.
  [[nodiscard]] RuleInfo GetWindowRuleInfo(HWND wnd, unsigned captionTimeoutMs = extender::kCaptionTimeoutMs);
  [[nodiscard]] std::string GetWindowRuleSkin(HWND wnd);
  [[nodiscard]] model::RefPtr<IWindowExtender> FindExtender(HWND wnd);
  [[nodiscard]] bool IsRegistered(HWND wnd);
  [[nodiscard]] bool NeedUpdateSkin() const noexcept { return needUpdateSkin_.load() != 0; }

  // Sizes of the dispatcher's lists (diagnostics and leak checks).
  struct ListSizes {
    std::size_t extenders, windows, unbinding, params, captions;
    friend bool operator==(const ListSizes&, const ListSizes&) = default;
  };
  [[nodiscard]] ListSizes Sizes();

  // Refreshing and detaching all windows (commands 2, 3, 4, 33).
  void RefreshAllWindows();
  void DetachAllWindows();
  [[nodiscard]] std::vector<HWND> CollectWindows();
  // Releases what construction made (the plug-in's destruction).
  void Destroy() noexcept;

  // Resolve the IItem operations that reach this class along several paths.
  [[nodiscard]] std::wstring GetName() const override { return TAbstractPlugin::GetName(); }
  void SetName(std::wstring_view name) override { TAbstractPlugin::SetName(name); }
  void ParseParams(std::wstring_view params) override { TAbstractPlugin::ParseParams(params); }
  [[nodiscard]] bool IsObjectOfClass(model::TAbstractClass cls) const noexcept override {
    return TAbstractPlugin::IsObjectOfClass(cls);
  }

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;

 private:
  struct ExtenderEntry {
    HWND wnd;
    model::RefPtr<IWindowExtender> extender;
  };

  [[nodiscard]] std::shared_ptr<IRuleBlock> RuleBlock();
  void Apply(int action, const WindowDescription& window, const std::wstring& params, const RuleInfo& rule,
             const std::string& notice);
  void CreateExtender(HWND wnd, const std::wstring& params);
  void PurgeVanishedWindows();
  void StoreParams(HWND wnd, std::wstring params);
  [[nodiscard]] std::optional<std::wstring> TakeParams(HWND wnd);
  void DropParams(HWND wnd);
  void DeleteCaptionData(HWND wnd);
  void AddUnbinding(HWND wnd);
  void RemoveUnbinding(HWND wnd);
  [[nodiscard]] bool NeedToExtend(HWND wnd);
  [[nodiscard]] WindowDescription Describe(HWND wnd, unsigned captionTimeoutMs = extender::kCaptionTimeoutMs);
  void RefreshWindowState(HWND wnd, bool force, unsigned captionTimeoutMs);
  void Notify(int code, const std::string& data);

  bool OpenServiceBlock();
  void ReadSettings();
  bool OpenRuleBlock();
  void Publish() noexcept;
  void Withdraw() noexcept;
  void PushSkin();
  void Visit(HWND wnd, bool child, std::vector<HWND>& list);
  void SendServiceCommand(HWND wnd, WPARAM code, LPARAM arg);

  DispatcherEnvironment environment_;

  // Construction order; the thread hook list goes first and comes off last.
  std::unique_ptr<entry::IOwnedThreadHookList> threadHookList_;
  std::atomic<int> needUpdateSkin_{1};

  platform::CriticalSection windowExtendersLock_;
  std::vector<ExtenderEntry> windowExtenders_;  // collection order
  platform::CriticalSection windowListLock_;
  std::vector<HWND> windowList_;
  std::vector<HWND> unbindingWindowList_;
  platform::CriticalSection captionDataLock_;
  std::unordered_map<HWND, TWindowCaptionData> captionData_;
  platform::CriticalSection winExParamsLock_;
  std::vector<std::pair<std::wstring, HWND>> winExParams_;
  platform::CriticalSection mappingInfoLock_;
  std::shared_ptr<IServiceBlock> serviceMapping_;
  std::shared_ptr<IRuleBlock> mappingInfo_;

  std::atomic<bool> active_{false};
  std::atomic<bool> published_{false};
  bool destroyed_ = false;
};

// A "RuleDispatcher" plug-in working in `environment`.
[[nodiscard]] model::RefPtr<entry::IPlugin> CreateRuleDispatcher(DispatcherEnvironment environment);

}  // namespace dl::rules
