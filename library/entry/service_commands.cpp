#include "library/entry/service_commands.h"

#include <cstdint>

#include "library/entry/messenger_binding.h"

#include "library/runtime/library_services.h"
#include "library/entry/hook_helpers.h"
#include "library/extender/classification_windows.h"
#include "library/entry/library_init.h"
#include "protocol/entry_state.h"
#include "protocol/service_codes.h"
#include "library/runtime/shared_messages.h"

namespace dl::entry {
namespace {

IProcessHook* ActiveDispatcher() {
  auto* hook = Services().processHook.load(std::memory_order_acquire);
  return hook && hook->IsActive() ? hook : nullptr;
}

ServiceOutcome CaptionChanged(const MSG& msg) {
  IProcessHook* hook = ActiveDispatcher();
  if (!hook) return ServiceOutcome::kContinue;
  const UINT service = Messages().service;
  if (IsConsoleObserver(msg.hwnd)) {
    HWND real = ConsoleRealWindow(msg.hwnd);
    hook->OnCaptionChanged(real, service, 0);
    if (IWindowExtender* extender = hook->GetWindowExtender(real)) {
      if (IMessageHandler* action = extender->FindAction(L"AltMinimize")) {
        TMessageRecord record{msg.message, msg.wParam, msg.lParam, 0};
        action->AfterMessage(record, false);
      }
    }
  } else {
    hook->OnCaptionChanged(msg.hwnd, service, 0);
  }
  return ServiceOutcome::kSwallow;
}

ServiceOutcome ConsiderLater(const MSG& msg) {
  if (extender::IsMessageOnlyWindow(msg.hwnd)) return ServiceOutcome::kContinue;
  auto* hook = Services().processHook.load(std::memory_order_acquire);
  if (hook && IsTopLevelApplicationWindow(msg.hwnd) && !hook->WindowIsUnbinding(msg.hwnd)) {
    hook->ConsiderWindow(msg.hwnd, 0, Messages().service, 0);
    return ServiceOutcome::kSwallow;
  }
  return ServiceOutcome::kContinue;
}

ServiceOutcome RestoreHook(const MSG& msg) {
  auto* hook = Services().processHook.load(std::memory_order_acquire);
  if (!hook) return ServiceOutcome::kContinue;
  const UINT service = Messages().service;
  if (::SendMessageW(msg.hwnd, service, protocol::kSvcQueryHookInPlace, 0) == protocol::kSvcHookInPlace) return ServiceOutcome::kContinue;
  IWindowExtender* extender = hook->GetWindowExtender(msg.hwnd);
  if (!extender) return ServiceOutcome::kContinue;
  extender->ResetHook();
  ::SendMessageW(msg.hwnd, service, protocol::kSvcUnregisterWindow, 0);
  ::SendMessageW(msg.hwnd, service, protocol::kSvcConsiderWindow, 0);
  return ServiceOutcome::kSwallow;
}

ServiceOutcome RefreshWindowState(const MSG& msg) {
  IProcessHook* hook = ActiveDispatcher();
  if (!hook) return ServiceOutcome::kContinue;
  HWND wnd = IsConsoleObserver(msg.hwnd) ? ConsoleRealWindow(msg.hwnd) : msg.hwnd;
  hook->RefreshWindowState(wnd, true);
  return ServiceOutcome::kSwallow;
}

ServiceOutcome AnswerEntryState(const MSG& msg) {
  HWND answer = reinterpret_cast<HWND>(msg.lParam);
  ::PostMessageW(answer, Messages().service, protocol::kSvcDebugEntryStateReply,
                 protocol::PackEntryStateReply(CurrentEntryState(), ::GetCurrentProcessId()));
  return ServiceOutcome::kSwallow;
}

}  // namespace

ServiceOutcome HandleServiceCommand(MSG& msg) {
  switch (msg.wParam) {
    case protocol::kSvcCaptionChanged:
      return CaptionChanged(msg);
    case protocol::kSvcConsiderLater:
      return ConsiderLater(msg);
    case protocol::kSvcRestoreHook:
      return RestoreHook(msg);
    case protocol::kSvcSetCapture:
      ::SetCapture(reinterpret_cast<HWND>(msg.lParam));
      return ServiceOutcome::kSwallow;
    case protocol::kSvcReleaseCapture:
      ::ReleaseCapture();
      return ServiceOutcome::kSwallow;
    case protocol::kSvcReleaseTrampoline:
      if (auto release = Services().releaseTrampoline.load(std::memory_order_acquire)) release(msg.lParam);
      return ServiceOutcome::kSwallow;
    case protocol::kSvcRefreshWindowState:
      return RefreshWindowState(msg);
    case protocol::kSvcDebugEntryStateQuery:
      return AnswerEntryState(msg);
    case protocol::kSvcDebugLinkRequest:
      SendDiagnosticRequest(static_cast<int>(static_cast<std::uint32_t>(msg.lParam & 0xFFFFFFFF)),
                            CurrentEntryState());
      return ServiceOutcome::kSwallow;
    default:
      return ServiceOutcome::kContinue;
  }
}

}  // namespace dl::entry
