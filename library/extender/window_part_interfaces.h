#pragma once
// The interfaces between a window extender and its window parts (actions, triggers, agents,
// the toolbox): what a part is, the messages it may see, and the services the extender offers
// it through IWindowHandler.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "library/runtime/plugin_interfaces.h"
#include "library/extender/wndproc_trampoline.h"
#include "library/model/items.h"

namespace dl::extender {

class Timer;
struct IWindowHandler;

// Sees every message of the window: BeforeMessage answers true to claim it (the window's own
// procedure is then not called); AfterMessage is told whether any handler claimed it.
struct IMessageHandler : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{F5C57385-AB37-49A0-BA2F-F01FCB8A2EB8}");
  virtual bool BeforeMessage(WindowMessage& message) = 0;
  virtual void AfterMessage(WindowMessage& message, bool beforeHandled) = 0;
};

// Sees the messages of a child window subclassed on its behalf.
struct IChildMessageHandler : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{8E3B6F21-5C47-4A09-B1D8-2F6E9A7C3D15}");
  virtual bool BeforeChildMessage(HWND wnd, WindowMessage& message) = 0;
  virtual void AfterChildMessage(HWND wnd, WindowMessage& message, bool beforeHandled) = 0;
};

// Told each time the ribbon/menu-bar child of the frame has been found and subclassed.
struct IOffice2007MenuBarMessageHandler : virtual IChildMessageHandler {
  static constexpr model::Guid kIid = model::MakeGuid("{4C1D8A73-9E52-4B36-A0F7-6D2B1E8C5A94}");
  virtual void WindowSubclassed() = 0;
};

struct IPropChangeSubscriber : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{B6A2E94D-3F18-4C7B-9D05-8E1C7A3F62B0}");
  virtual void OnPropChanged(std::wstring_view name, std::intptr_t value) = 0;
};

// A window part that takes commands the main program addresses to it by name.
struct IServerMessageReceiver : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{80D81052-E435-4E73-9B19-3D43D0A4C540}");
  virtual void OnMessageFromServer(int commandCode, const std::string& commandData) = 0;
};

// Actions, triggers, agents and the toolbox.
struct IWindowPart : virtual model::ISlave {
  static constexpr model::Guid kIid = model::MakeGuid("{3CC955CD-8F32-4507-AC6F-73035A237957}");
  [[nodiscard]] virtual bool IsProperWindow(HWND wnd) = 0;
  virtual void AttachWindow() = 0;
  virtual void DetachWindow() = 0;
  [[nodiscard]] virtual bool IsAttached() const = 0;
};

struct ITrigger : virtual IWindowPart {
  static constexpr model::Guid kIid = model::MakeGuid("{630F0AF0-4F09-46FC-9CEC-EE6AA6272444}");
};

struct IAction : virtual IWindowPart {
  static constexpr model::Guid kIid = model::MakeGuid("{207E06FD-F347-4FB0-A206-5E90E8E774F3}");
};

struct IAgent : virtual IWindowPart {
  static constexpr model::Guid kIid = model::MakeGuid("{60C04E36-35FD-45B9-BE90-42B428A822DF}");
};

// Nothing in this library implements a toolbox; a rule may still name one.
struct IToolbox : virtual IWindowPart {
  static constexpr model::Guid kIid = model::MakeGuid("{E7C4A159-2B6D-4F83-9A1E-5D0C8B3F7A26}");
};

// A collection of window parts, keyed by part name (without regard to case).
class TWindowParts : public model::TAbstractCollection {
 public:
  // Appends under the part's name; false when the name is taken already.
  bool Add(IWindowPart* part);
  [[nodiscard]] model::RefPtr<IWindowPart> GetItemByIndex(int index) const;
  [[nodiscard]] model::RefPtr<IWindowPart> GetItemByName(std::wstring_view name) const;
};

struct IWindowPartOwner : virtual model::IItem {
  static constexpr model::Guid kIid = model::MakeGuid("{D1FEA1C3-CAEE-4288-A6C3-B66EB864CAC6}");
  [[nodiscard]] virtual IWindowHandler* GetWindowHandler() = 0;
  [[nodiscard]] virtual TWindowParts* GetActions() = 0;
  [[nodiscard]] virtual TWindowParts* GetTriggers() = 0;
};

// The services an extender offers its parts, all on the window's thread.
struct IWindowHandler : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{1F6E2D84-7A39-4C5B-8E10-B3D9C6A4F257}");
  [[nodiscard]] virtual HWND GetWnd() const noexcept = 0;
  [[nodiscard]] virtual std::wstring GetWndClassName() const = 0;
  virtual void AttachMessageHandler(IMessageHandler* handler) = 0;
  virtual void DetachMessageHandler(IMessageHandler* handler) = 0;
  virtual void CallOriginalWndProc(WindowMessage& message) = 0;
  // Null while no window is attached; the extender owns the timer.
  virtual Timer* CreateNewTimer() = 0;
  virtual void SetProp(std::wstring_view name, std::intptr_t value) = 0;
  [[nodiscard]] virtual std::intptr_t GetProp(std::wstring_view name, std::intptr_t defValue) const = 0;
  virtual void RemoveProp(std::wstring_view name) = 0;
  virtual void PropChangeSubscribe(IPropChangeSubscriber* subscriber) = 0;
  virtual void PropChangeUnsubscribe(IPropChangeSubscriber* subscriber) = 0;
  virtual void Subscribe(std::wstring_view name, IServerMessageReceiver* receiver) = 0;
  virtual void Unsubscribe(std::wstring_view name) = 0;
  virtual void Unsubscribe(IServerMessageReceiver* receiver) = 0;
  [[nodiscard]] virtual bool IsConsole() const = 0;
  [[nodiscard]] virtual bool IsMDI() const noexcept = 0;
  [[nodiscard]] virtual bool IsMetroFrame() const noexcept = 0;
  [[nodiscard]] virtual bool IsApplicationFrameWindow() const noexcept = 0;
  [[nodiscard]] virtual bool IsTabbedContainerWindow() const noexcept = 0;
  [[nodiscard]] virtual bool IsGoogleChromeWindow() const noexcept = 0;
  virtual void SubclassChildWindow(HWND child, IChildMessageHandler* handler) = 0;
  virtual void UnsubclassChildWindow(HWND child, IChildMessageHandler* handler) = 0;
  [[nodiscard]] virtual std::wstring GetParamDefault(std::wstring_view name, std::wstring_view def) const = 0;
  [[nodiscard]] virtual HWND GetServiceWnd() const noexcept = 0;
  virtual void Office2007SubclassingSubscribe(IOffice2007MenuBarMessageHandler* handler) = 0;
  virtual void Office2007SubclassingUnsubscribe(IOffice2007MenuBarMessageHandler* handler) = 0;
  [[nodiscard]] virtual HWND GetOffice2007MenuBarWnd() const noexcept = 0;
  virtual void RegisterSpecialAgent(IAgent* agent, std::intptr_t id) = 0;
  virtual void UnregisterSpecialAgent(IAgent* agent) = 0;
  [[nodiscard]] virtual model::RefPtr<IAgent> GetSpecialAgent(std::intptr_t id) const = 0;
  // The caller owns the copy; 0 when the rule names no such icon.
  [[nodiscard]] virtual HICON GetSpecialIcon(std::wstring_view name) const = 0;
  [[nodiscard]] virtual model::RefPtr<IToolbox> GetToolbox() const = 0;
  virtual void ResetHook() = 0;
  [[nodiscard]] virtual std::wstring GetRegistryParamsPath() const = 0;
  [[nodiscard]] virtual bool InSizeMoveLoop() const noexcept = 0;
  virtual void SetTargetRectForDPIChange(const RECT& rc) = 0;
  virtual void ResetTargetRectForDPIChange() = 0;

  // Transparency in percent (0 opaque, 100 fully transparent). InitializeTransparency prepares
  // the window once (it records "CurrentWindowTransparency" and "FirstTimeTransparencyApplied");
  // FinalizeTransparency undoes the preparation. SetTransparency keeps the colour key and records
  // the new value; RemoveTransparency leaves the window opaque and not layered.
  virtual void InitializeTransparency() = 0;
  virtual void FinalizeTransparency() = 0;
  virtual bool SetTransparency(int percent) = 0;
  [[nodiscard]] virtual int GetTransparency() const = 0;
  virtual void RemoveTransparency() = 0;

  // Two lines (index 0 and 1) of a tooltip that follows the cursor; it exists while either line
  // has text.
  virtual void ShowSizeMoveTooltip(int index, const std::wstring& caption) = 0;
  virtual void HideSizeMoveTooltip(int index) = 0;
  [[nodiscard]] virtual HWND GetSizeMoveTooltipWindow() const noexcept = 0;

  // Cached until the window's next WM_DPICHANGED.
  [[nodiscard]] virtual int GetWindowDPI() = 0;
  [[nodiscard]] virtual int GetWindowNonClientDPI() = 0;

  // What the service codes for cloaking do, for a part on the window's thread; true on success.
  virtual bool CloakWindow() = 0;
  virtual bool UncloakWindow() = 0;
  // App-frame windows only: the hosted app's icons on the frame, unless an action changed them.
  virtual void RefreshFrameIcons() = 0;
};

}  // namespace dl::extender
