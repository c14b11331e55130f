#include "library/entry/messenger_binding.h"

#include <atomic>

#include "library/runtime/library_services.h"
#include "library/runtime/library_holding_thread.h"
#include "library/runtime/process_local_storage.h"
#include "library/runtime/shared_messages.h"
#include "library/link/messenger_client.h"
#include "library/model/event_log.h"
#include "protocol/entry_state.h"
#include "protocol/frame_codec.h"
#include "protocol/service_codes.h"
#include "platform/callback_guard.h"

namespace dl::entry {
namespace {

// The hooks' face of the process's client. Constant-initialised, never destroyed: hook
// procedures may read it on any thread at any time.
class ProcessMessengerSlot final : public IMessengerClient, public IMessengerClientInternal {
 public:
  constexpr ProcessMessengerSlot() = default;

  // Takes the process's reference (one AddRef'ed pointer), or drops it with nullptr.
  void Hold(link::TMessengerClient* client) noexcept {
    if (client) client->AddRef();
    if (link::TMessengerClient* old = client_.exchange(client, std::memory_order_acq_rel)) old->Release();
  }
  [[nodiscard]] link::TMessengerClient* Client() const noexcept { return client_.load(std::memory_order_acquire); }

  bool NeedRestart() override { return Client() && Client()->NeedRestart(); }
  void Restart() override {
    if (auto* c = Client()) c->Restart();
  }
  int GetState() override { return Client() ? Client()->GetState() : link::kStateStopped; }
  void Done() override {
    if (auto* c = Client()) c->Done();
  }
  DWORD GetServerThreadId() override { return Client() ? Client()->GetServerThreadId() : 0; }
  DWORD GetClientThreadId() override { return Client() ? Client()->GetClientThreadId() : 0; }
  void ResumeThread() override {
    if (auto* c = Client()) c->ResumeClientThread();
  }

 private:
  std::atomic<link::TMessengerClient*> client_{nullptr};
};

constinit ProcessMessengerSlot g_slot;

void BecomeProcessClient(link::TMessengerClient* client) noexcept {
  g_slot.Hold(client);
  Services().messengerInternal.store(&g_slot, std::memory_order_release);
  Services().messenger.store(&g_slot, std::memory_order_release);
  model::SetEventLogSink(client);
}

void ReleaseProcessClient() noexcept {
  Services().messenger.store(nullptr, std::memory_order_release);
  Services().messengerInternal.store(nullptr, std::memory_order_release);
  model::SetEventLogSink(nullptr);
  g_slot.Hold(nullptr);
}

}  // namespace

void CreateProcessMessenger(ApplicationEnvironment& environment) noexcept {
  try {
    link::MessengerEnvironment env;
    env.handshakeMessage = Messages().handshake;
    env.busyCount = [] { return static_cast<long>(StorageBusyCount()); };
    env.startHoldingThread = [](DWORD (*fn)(void*) noexcept, void* argument) {
      return StartLibraryHoldingThread(fn, argument);
    };
    env.resumeWanted = &Services().messengerResumeWanted;
    env.becomeProcessClient = &BecomeProcessClient;
    model::RefPtr<link::TMessengerClient> client = link::TMessengerClient::Create(std::move(env));

    environment.registerDispatcher = [](IServerMessageDispatcher* dispatcher) {
      if (auto* c = g_slot.Client()) c->RegisterServerMessageDispatcher(dispatcher);
    };
    environment.unregisterDispatcher = [] {
      if (auto* c = g_slot.Client()) c->UnregisterServerMessageDispatcher();
    };
    environment.releaseMessenger = &ReleaseProcessClient;
  } catch (...) {
    // The application runs without a link.
  }
}

unsigned MessengerStateBits() noexcept {
  link::TMessengerClient* client = g_slot.Client();
  if (!client) return 0;
  unsigned bits = static_cast<unsigned>(client->GetState() + 1) << protocol::kEntryLinkStateShift;
  if (client->IsRegistered(0)) bits |= protocol::kEntryLinkRegistered;
  if (client->IsRegistered(1)) bits |= protocol::kEntryShellLinkRegistered;
  return bits;
}

void SendToMainProgram(std::wstring_view receiver, int commandCode, const std::string& data) noexcept {
  try {
    if (link::TMessengerClient* client = g_slot.Client())
      (void)client->SendMessage(receiver, commandCode, data, 0, nullptr, 0);
  } catch (...) {
    platform::RecordCallbackFailure("messenger_binding: SendToMainProgram");
  }
}

void SendDiagnosticRequest(int commandCode, unsigned entryState) noexcept {
  try {
    if (link::TMessengerClient* client = g_slot.Client())
      (void)client->SendMessage(protocol::kDiagnosticsReceiver, commandCode, protocol::PackInteger(entryState), 0, nullptr, 0);
  } catch (...) {
    platform::RecordCallbackFailure("messenger_binding: SendDiagnosticRequest");
  }
}

}  // namespace dl::entry
