// Cost of the link between this process and a real stand-in process (devcenter serve): the round
// trip of one request with its reply, and requests per second from one client, each against a
// plain sent WM_NULL to the same server window in the same run. Prints figures and ratios; fails
// only when the link does not work at all.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

#include "library/link/messenger_client.h"
#include "platform/handles.h"
#include "protocol/message_names.h"
#include "protocol/messenger_names.h"
#include "tests/support/bin_dir.h"

namespace {
using namespace dl;

double Now() {
  LARGE_INTEGER f, t;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&t);
  return double(t.QuadPart) / double(f.QuadPart);
}

class CountingSender final : public model::TInterfacedObject, public virtual link::IMessageSender {
 public:
  std::atomic<int> replies{0}, failures{0};
  void OnMessageProcessed(int, std::uintptr_t, const link::Bytes&) override { ++replies; }
  void OnSendMessageFailed(int, std::uintptr_t) override { ++failures; }

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override {
    if (iid == link::IMessageSender::kIid) return static_cast<link::IMessageSender*>(this);
    return TInterfacedObject::FindInterface(iid);
  }
};

bool WaitFor(const auto& done, double seconds) {
  const double end = Now() + seconds;
  while (!done()) {
    if (Now() > end) return false;
    ::Sleep(0);
  }
  return true;
}

}  // namespace

int main() {
  std::wstring cmd = L"\"" + test::BinDir() + L"\\devcenter.exe\" serve --hold-ms 60000";
  STARTUPINFOW si{sizeof(si)};
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("cannot start devcenter serve\n");
    return 1;
  }
  platform::UniqueHandle process(pi.hProcess), thread(pi.hThread);
  HWND server = nullptr;
  WaitFor([&] { return (server = ::FindWindowExA(HWND_MESSAGE, nullptr, protocol::kMessengerServerClass[0], nullptr)) != nullptr; }, 20);
  if (!server) {
    std::printf("no server window\n");
    ::TerminateProcess(process.get(), 1);
    return 1;
  }

  link::MessengerEnvironment env;
  env.handshakeMessage = ::RegisterWindowMessageW(protocol::kHandshakeMessageName);
  model::RefPtr<link::TMessengerClient> client = link::TMessengerClient::Create(std::move(env));
  client->ResumeClientThread();
  int rc = 0;
  if (!WaitFor([&] { return client->IsRegistered(0); }, 20)) {
    std::printf("client did not register\n");
    rc = 1;
  } else {
    constexpr int kRounds = 300;
    // Baseline: a bare cross-process sent message to the same window.
    double t0 = Now();
    for (int i = 0; i < kRounds; ++i) ::SendMessageTimeoutW(server, WM_NULL, 0, 0, SMTO_BLOCK, 1000, nullptr);
    const double bare = (Now() - t0) / kRounds;

    model::RefPtr<CountingSender> sender(new CountingSender);
    t0 = Now();
    for (int i = 0; i < kRounds; ++i) {
      const int want = sender->replies + 1;
      (void)client->SendMessage(L"Bench", 1, "x", 0, sender.Get(), 0);
      if (!WaitFor([&] { return sender->replies >= want; }, 5)) break;
    }
    const double roundTrip = (Now() - t0) / kRounds;

    constexpr int kBurst = 2000;
    t0 = Now();
    for (int i = 0; i < kBurst; ++i) (void)client->SendMessage(L"Bench", 2, "payload", 0, nullptr, 0);
    const bool drained = WaitFor([&] { return client->PendingCount() == 0; }, 60);
    const double burst = Now() - t0;

    std::printf("bare sent message to the server window: %.1f us\n", bare * 1e6);
    std::printf("request with reply, round trip:         %.1f us  (%.1fx the bare message)\n", roundTrip * 1e6,
                roundTrip / bare);
    std::printf("requests without reply from one client: %.0f per second  (%.1f us each, %.1fx the bare message)\n",
                kBurst / burst, burst / kBurst * 1e6, burst / kBurst / bare);
    if (sender->replies != kRounds || !drained || sender->failures != 0) {
      std::printf("link broken: %d replies, %d failures, drained %d\n", sender->replies.load(), sender->failures.load(),
                  drained);
      rc = 1;
    }
  }
  client->Done();
  ::TerminateProcess(process.get(), 0);
  return rc;
}
