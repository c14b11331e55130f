#pragma once
// The plug-in model of the embedded application: plug-ins, the routing of commands
// from the main program, and the application as the plug-ins see it.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

#include "library/model/interfaces.h"
#include "library/model/items.h"
#include "protocol/plugin_commands.h"

namespace dl::entry {

// Command data travels as the bytes the main program sent (fields of the wire format).
using CommandData = std::string;

// One 32-bit integer field: byte count 4, then the value, both little-endian.
[[nodiscard]] CommandData PackIntegerField(std::uint32_t value);

// Receives commands addressed below a plug-in ("plugins/<name>/<sub-receiver>").
struct IServerMessageRedirector : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{5E0B7A61-2C4D-4F8E-9A3B-1D6C8E2F4A70}");
  virtual void OnMessageFromServer(HWND receiverWnd, std::wstring_view receiver, int commandCode,
                                   const CommandData& data) = 0;
};

// What the messenger client calls on the application.
struct IServerMessageDispatcher : virtual IServerMessageRedirector {
  static constexpr model::Guid kIid = model::MakeGuid("{B3F1C2D4-6A7E-4B80-8C9D-0E1F2A3B4C5D}");
  virtual void OnClientRegistered(HWND messengerWnd, int serverInstance) = 0;
  virtual void OnClientUnregistered(int serverInstance) = 0;
  virtual void OnUnloading() = 0;
};

struct IPlugin : virtual model::ISlave {
  static constexpr model::Guid kIid = model::MakeGuid("{0F6E5D4C-3B2A-4918-8776-A5B4C3D2E1F0}");
  virtual void OnMessageFromServer(int commandCode, const CommandData& data) = 0;
  virtual void OnWindowMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
};

// The embedded application as its plug-ins reach it (through the owner they are given).
// The hook procedures use the narrower interface of library_services.h.
struct IPluginHost : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{7A2B9C1D-4E5F-4061-9273-84A5B6C7D8E9}");
  virtual void Init() = 0;
  virtual void Done() = 0;
  [[nodiscard]] virtual bool IsUnloading() const noexcept = 0;
  virtual void OnReloading() = 0;
  [[nodiscard]] virtual HWND GetMainCenterWindow() const noexcept = 0;
  virtual void OnWindowMessage(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
  virtual void AddPlugin(IPlugin* plugin) = 0;
  [[nodiscard]] virtual model::RefPtr<IPlugin> GetPlugin(std::wstring_view name) const = 0;
  [[nodiscard]] virtual bool NeedWinEventHook(DWORD eventId) const = 0;
};

// Names of the plug-ins this library installs, and of those other builds may add.
inline constexpr wchar_t kRuleDispatcherPluginName[] = L"RuleDispatcher";
inline constexpr wchar_t kVirtualDesktopsPluginName[] = L"VirtualDesktops";

// Codes the application broadcasts to every plug-in: the contract's plug-in commands.
inline constexpr int kBroadcastServerUnregistered = protocol::kPluginServerUnregistered;
inline constexpr int kBroadcastServerRegistered = protocol::kPluginServerRegistered;
inline constexpr int kBroadcastUnloading = protocol::kPluginUnloading;
inline constexpr int kBroadcastShellServerRegistered = protocol::kPluginShellServerRegistered;
inline constexpr int kBroadcastShellServerUnregistered = protocol::kPluginShellServerUnregistered;

}  // namespace dl::entry
