// The messenger client in this process, talking to the stand-in's server side on another
// thread: registration, requests, replies, commands, announcements, frames a rogue sends,
// and the ways the server can go away.
#include "library/link/messenger_client.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <regex>
#include <string>
#include <vector>

#include "library/entry/embedded_application.h"
#include "library/runtime/plugin_abstract.h"
#include "library/model/event_log.h"
#include "platform/handles.h"
#include "protocol/frame_codec.h"
#include "protocol/message_names.h"
#include "protocol/messenger_names.h"
#include "tests/support/pump.h"
#include "tools/devcenter/messenger_server_thread.h"

namespace dl::link {
namespace {

using devcenter::MessengerServer;
using devcenter::MessengerServerThread;
using entry::CommandData;
using model::RefPtr;
using namespace std::chrono_literals;

struct Heard {
  std::string plugin;
  int code;
  CommandData data;
  HWND wnd = nullptr;
  std::string sub;
};

// What the plug-ins hear; written on the client thread, read on the test thread.
struct Journal {
  std::mutex mutex;
  std::vector<Heard> heard;
  void Add(Heard h) {
    std::lock_guard lock(mutex);
    heard.push_back(std::move(h));
  }
  std::vector<Heard> Copy() {
    std::lock_guard lock(mutex);
    return heard;
  }
  int Count(const std::string& plugin, int code) {
    int n = 0;
    for (const Heard& h : Copy()) n += h.plugin == plugin && h.code == code;
    return n;
  }
};

class ListeningPlugin : public entry::TAbstractPlugin, public virtual entry::IServerMessageRedirector {
 public:
  ListeningPlugin(std::wstring_view name, Journal& journal) : TAbstractPlugin(name), journal_(journal) {}
  using TAbstractPlugin::OnMessageFromServer;
  void OnMessageFromServer(int code, const CommandData& data) override {
    journal_.Add({Name(), code, data});
  }
  void OnMessageFromServer(HWND wnd, std::wstring_view sub, int code, const CommandData& data) override {
    journal_.Add({Name(), code, data, wnd, std::string(sub.begin(), sub.end())});
  }

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override {
    if (iid == entry::IServerMessageRedirector::kIid) return static_cast<entry::IServerMessageRedirector*>(this);
    return TAbstractPlugin::FindInterface(iid);
  }

 private:
  std::string Name() {
    const std::wstring n = GetName();
    return std::string(n.begin(), n.end());
  }
  Journal& journal_;
};

class RecordingSender final : public model::TInterfacedObject, public virtual IMessageSender {
 public:
  void OnMessageProcessed(int code, std::uintptr_t dataId, const Bytes& result) override {
    std::lock_guard lock(mutex_);
    processed.push_back({code, dataId, result});
  }
  void OnSendMessageFailed(int code, std::uintptr_t dataId) override {
    std::lock_guard lock(mutex_);
    failed.push_back({code, dataId, {}});
  }
  struct Call {
    int code;
    std::uintptr_t dataId;
    Bytes result;
  };
  std::vector<Call> Processed() {
    std::lock_guard lock(mutex_);
    return processed;
  }
  std::vector<Call> Failed() {
    std::lock_guard lock(mutex_);
    return failed;
  }

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override {
    if (iid == IMessageSender::kIid) return static_cast<IMessageSender*>(this);
    return TInterfacedObject::FindInterface(iid);
  }

 private:
  std::mutex mutex_;
  std::vector<Call> processed, failed;
};

DWORD WatchdogThread(DWORD (*fn)(void*) noexcept, void* argument) {
  struct Start {
    DWORD (*fn)(void*) noexcept;
    void* argument;
  };
  auto* start = new Start{fn, argument};
  HANDLE thread = ::CreateThread(
      nullptr, 0,
      [](void* p) -> DWORD {
        std::unique_ptr<Start> s(static_cast<Start*>(p));
        return s->fn(s->argument);
      },
      start, 0, nullptr);
  if (!thread) {
    delete start;
    return FALSE;
  }
  ::CloseHandle(thread);
  return TRUE;
}

class MessengerLink : public ::testing::Test {
 protected:
  void SetUp() override {
    handshake_ = ::RegisterWindowMessageW(protocol::kHandshakeMessageName);
    ASSERT_NE(handshake_, 0u);
  }
  void TearDown() override {
    if (client_) {
      client_->Done();
      busy_ = 0;
      EXPECT_TRUE(test::PumpUntil([&] { return ThreadEnded(); }, 10s)) << "the client thread did not end";
      client_->UnregisterServerMessageDispatcher();
    }
    if (app_) app_->Done();
  }

  void StartServer() {
    server_ = std::make_unique<MessengerServerThread>([this](const std::string& event, nlohmann::json fields) {
      std::lock_guard lock(eventsMutex_);
      events_.push_back(event + " " + fields.dump());
    });
  }

  // The application with listening plug-ins, and its client, resumed as the get-message hook would.
  void StartClient(bool resume = true, UINT serverCheckMs = 5000) {
    entry::ApplicationEnvironment env;
    env.createRuleDispatcher = [this] { return RefPtr<entry::IPlugin>(new ListeningPlugin(L"RuleDispatcher", journal_)); };
    env.createVirtualDesktops = [this] { return RefPtr<entry::IPlugin>(new ListeningPlugin(L"VirtualDesktops", journal_)); };
    env.findWindow = [](const char* cls, const char* title) { return ::FindWindowA(cls, title); };
    app_ = RefPtr<entry::TEmbeddedApplication>(new entry::TEmbeddedApplication(std::move(env)));
    app_->Init();

    MessengerEnvironment menv;
    menv.handshakeMessage = handshake_;
    menv.busyCount = [this] { return busy_.load(); };
    menv.startHoldingThread = [](DWORD (*fn)(void*) noexcept, void* arg) { return WatchdogThread(fn, arg) != FALSE; };
    menv.resumeWanted = &resumeWanted_;
    menv.serverCheckPeriodMs = serverCheckMs;
    client_ = TMessengerClient::Create(std::move(menv));
    client_->RegisterServerMessageDispatcher(app_.Get());
    if (resume) client_->ResumeClientThread();
  }

  bool ThreadEnded() {
    platform::UniqueHandle thread(::OpenThread(SYNCHRONIZE, FALSE, client_->GetClientThreadId()));
    return !thread || ::WaitForSingleObject(thread.get(), 0) == WAIT_OBJECT_0;
  }

  bool Registered() {
    const bool ok = RegisteredWithin();
    if (!ok) {
      std::lock_guard lock(eventsMutex_);
      for (const std::string& e : events_) ADD_FAILURE() << "server: " << e;
      for (const Heard& h : journal_.Copy()) ADD_FAILURE() << "heard: " << h.plugin << " " << h.code;
      ADD_FAILURE() << "state " << client_->GetState() << " registered " << client_->IsRegistered(0);
    }
    return ok;
  }
  bool RegisteredWithin() {
    return test::PumpUntil([&] {
      int n = 0;
      server_->Call([&](MessengerServer& s) { n = s.RegistrationCount(); });
      return n > 0 && journal_.Count("RuleDispatcher", entry::kBroadcastServerRegistered) > 0;
    });
  }

  std::vector<devcenter::ReceivedRequest> Requests() {
    std::vector<devcenter::ReceivedRequest> out;
    server_->Call([&](MessengerServer& s) { out = s.Requests(); });
    return out;
  }

  UINT handshake_ = 0;
  std::mutex eventsMutex_;
  std::vector<std::string> events_;
  std::unique_ptr<MessengerServerThread> server_;
  Journal journal_;
  RefPtr<entry::TEmbeddedApplication> app_;
  std::atomic<long> busy_{0};
  std::atomic<bool> resumeWanted_{false};
  RefPtr<TMessengerClient> client_;
};

TEST_F(MessengerLink, ResumedClientRegistersAndThePluginsHearItWithTheClientWindow) {
  StartServer();
  StartClient(false);
  EXPECT_EQ(client_->GetState(), kStateSuspended);
  EXPECT_TRUE(resumeWanted_.load()) << "the get-message hook's flag must be up while the thread waits";
  EXPECT_TRUE(client_->IsActive()) << "a server window existed at creation";
  client_->ResumeClientThread();
  EXPECT_FALSE(resumeWanted_.load());
  ASSERT_TRUE(Registered());

  const HWND clientWnd = client_->GetWindow();
  ASSERT_TRUE(clientWnd);
  const auto packed = protocol::PackInteger(static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(clientWnd)));
  ASSERT_TRUE(test::PumpUntil([&] { return journal_.Count("VirtualDesktops", entry::kBroadcastShellServerRegistered) == 1; }))
      << "the shell server's announcement did not reach the plug-ins";
  for (const Heard& h : journal_.Copy()) {
    if (h.code == entry::kBroadcastServerRegistered || h.code == entry::kBroadcastShellServerRegistered) {
      EXPECT_EQ(h.data, packed) << h.plugin;
    }
  }
  EXPECT_EQ(client_->GetState(), kStateConnected);
  EXPECT_TRUE(client_->IsRegistered(0));
  EXPECT_TRUE(client_->IsRegistered(1));
  EXPECT_FALSE(client_->NeedRestart()) << "the client thread runs";

  std::vector<devcenter::RegisteredClient> clients;
  server_->Call([&](MessengerServer& s) { clients = s.Clients(); });
  ASSERT_EQ(clients.size(), 1u);
  EXPECT_EQ(clients[0].window, clientWnd);
  EXPECT_EQ(clients[0].processId, ::GetCurrentProcessId());
  char exe[MAX_PATH] = {};
  ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
  EXPECT_EQ(clients[0].title, exe) << "the client window is titled with the executable's path";

  HWND handler = nullptr;
  server_->Call([&](MessengerServer& s) { handler = s.HandlerWindow(0); });
  EXPECT_EQ(app_->GetMainCenterWindow(), handler);
}

TEST_F(MessengerLink, RequestArrivesDecodedWithTheClientsProcess) {
  StartServer();
  StartClient();
  ASSERT_TRUE(Registered());
  const Bytes data = protocol::FieldWriter().AddAll(0x1234, 3, true).Take();
  EXPECT_TRUE(client_->SendMessage(L"VirtualDesktops", 29, data, 0, nullptr, 0));
  ASSERT_TRUE(test::PumpUntil([&] { return !Requests().empty(); }));
  const auto request = Requests().front();
  EXPECT_EQ(request.request.receiver, "VirtualDesktops");
  EXPECT_EQ(request.request.commandCode, 29u);
  EXPECT_EQ(request.request.commandData, data);
  EXPECT_EQ(request.request.processId, ::GetCurrentProcessId());
  EXPECT_EQ(request.senderWindow, nullptr) << "no sender: no reply wanted";
  EXPECT_TRUE(test::PumpUntil([&] { return client_->PendingCount() == 0; })) << "sent without a sender: forgotten";
}

TEST_F(MessengerLink, RequestsBeforeTheWindowExistsWaitAndGoOutInOrder) {
  StartServer();
  StartClient(false);
  for (int code : {5, 6, 7}) EXPECT_TRUE(client_->SendMessage(L"", code, {}, 0, nullptr, 0));
  EXPECT_EQ(client_->PendingCount(), 3u);
  client_->ResumeClientThread();
  ASSERT_TRUE(test::PumpUntil([&] { return Requests().size() == 3; }));
  const auto requests = Requests();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(requests[i].request.commandCode, 5u + i);
}

TEST_F(MessengerLink, ReplyReachesItsSenderAndAReplyWithoutSenderCallsNobody) {
  StartServer();
  StartClient();
  ASSERT_TRUE(Registered());
  RefPtr<RecordingSender> sender(new RecordingSender);
  ASSERT_TRUE(client_->SendMessage(L"Echo", 41, "payload", 0xABCD, sender.Get(), 0));
  ASSERT_TRUE(test::PumpUntil([&] { return sender->Processed().size() == 1; })) << "no reply reached the sender";
  const auto call = sender->Processed().front();
  EXPECT_EQ(call.code, 41);
  EXPECT_EQ(call.dataId, 0xABCDu);
  EXPECT_EQ(call.result, "payload") << "the stand-in echoes the command data";
  EXPECT_EQ(Requests().front().senderWindow, client_->GetWindow());
  EXPECT_EQ(client_->PendingCount(), 0u);

  // A request without a sender, then a reply for it and one for an id nobody used.
  ASSERT_TRUE(client_->SendMessage(L"Quiet", 42, "x", 0, nullptr, 0));
  RefPtr<RecordingSender> waiting(new RecordingSender);
  server_->Call([](MessengerServer& s) { s.SetReplyToSenders(false); });
  ASSERT_TRUE(client_->SendMessage(L"Waiting", 43, "y", 7, waiting.Get(), 0));
  ASSERT_TRUE(test::PumpUntil([&] { return Requests().size() == 3; }));
  const std::uint32_t quietId = Requests()[1].request.messageId;
  bool sent = false;
  server_->Call([&](MessengerServer& s) {
    sent = s.SendFrame(client_->GetWindow(), 1, protocol::EncodeReply(quietId, "r")) &&
           s.SendFrame(client_->GetWindow(), 1, protocol::EncodeReply(quietId + 1000, "r"));
  });
  ASSERT_TRUE(sent);
  EXPECT_TRUE(sender->Processed().size() == 1 && sender->Failed().empty());
  EXPECT_TRUE(waiting->Processed().empty() && waiting->Failed().empty());
  EXPECT_EQ(client_->PendingCount(), 1u) << "the request that waits for its reply is still pending";
}

TEST_F(MessengerLink, CommandsReachThePluginTheyAreAddressedTo) {
  StartServer();
  StartClient();
  ASSERT_TRUE(Registered());
  const Bytes list = protocol::PackNameValueList({{"1", "Desk one"}, {"2", "Desk two"}});
  server_->Call([&](MessengerServer& s) {
    s.SendCommand(0, 0, "plugins/VirtualDesktops", 28, list);
    s.SendCommand(0, 0x00012345, "plugins/RuleDispatcher/caption", 7, "z");
  });
  ASSERT_TRUE(test::PumpUntil([&] { return journal_.Count("VirtualDesktops", 28) == 1; }));
  ASSERT_TRUE(test::PumpUntil([&] { return journal_.Count("RuleDispatcher", 7) == 1; }));
  for (const Heard& h : journal_.Copy()) {
    if (h.code == 28) {
      EXPECT_EQ(h.data, list);
    }
    if (h.code == 7) {
      EXPECT_EQ(h.wnd, reinterpret_cast<HWND>(0x12345));
      EXPECT_EQ(h.sub, "caption");
      EXPECT_EQ(h.data, "z");
    }
  }
}

TEST_F(MessengerLink, AnnouncementOfANewServerWindowReRegistersWithoutAnExchange) {
  StartServer();
  StartClient();
  ASSERT_TRUE(Registered());
  const HWND before = client_->ServerWindow(0);
  int reached = 0;
  HWND fresh = nullptr;
  server_->Call([&](MessengerServer& s) {
    reached = s.ReplaceServerWindow(0);
    fresh = s.ServerWindow(0);
  });
  ASSERT_EQ(reached, 1);
  EXPECT_NE(fresh, before);
  EXPECT_EQ(client_->ServerWindow(0), fresh);
  EXPECT_TRUE(client_->IsRegistered(0));
  EXPECT_EQ(journal_.Count("RuleDispatcher", entry::kBroadcastServerUnregistered), 1);
  EXPECT_EQ(journal_.Count("RuleDispatcher", entry::kBroadcastServerRegistered), 2);
  int registrations = 0;
  server_->Call([&](MessengerServer& s) { registrations = s.RegistrationCount(); });
  EXPECT_EQ(registrations, 1) << "no second registration handshake";
  EXPECT_FALSE(client_->NeedRestart());

  // Requests now go to the new window.
  ASSERT_TRUE(client_->SendMessage(L"After", 9, {}, 0, nullptr, 0));
  EXPECT_TRUE(test::PumpUntil([&] { return !Requests().empty(); }));
}

TEST_F(MessengerLink, UnregisteringAndUnloadHandshakesReachTheApplication) {
  StartServer();
  StartClient();
  ASSERT_TRUE(Registered());
  server_->Call([](MessengerServer& s) { s.SendHandshake(0, protocol::kHandshakeUnregistered, 1); });
  EXPECT_FALSE(client_->IsRegistered(1));
  EXPECT_EQ(journal_.Count("VirtualDesktops", entry::kBroadcastShellServerUnregistered), 1);
  server_->Call([](MessengerServer& s) { s.SendHandshake(0, protocol::kHandshakeUnload, 0); });
  EXPECT_TRUE(app_->IsUnloading());
  EXPECT_EQ(journal_.Count("RuleDispatcher", entry::kBroadcastUnloading), 1);
  EXPECT_TRUE(test::PumpUntil([&] { return client_->GetState() == kStateStopped; })) << "the pump was not left";
  EXPECT_TRUE(test::PumpUntil([&] { return ThreadEnded(); })) << "busy counter 0: the thread ends";
  EXPECT_FALSE(client_->NeedRestart()) << "the same server process is no restarted one";
}

struct RogueFrame {
  const char* name;
  ULONG_PTR kind;
  Bytes bytes;
};

TEST_F(MessengerLink, MalformedFramesAreIgnoredAndTheClientKeepsWorking) {
  StartServer();
  StartClient();
  ASSERT_TRUE(Registered());
  const Bytes good = protocol::EncodeCommand({1, 0, "plugins/VirtualDesktops", 28, "ok"});
  auto cut = [&](std::size_t n) { return good.substr(0, n); };
  const Bytes huge = protocol::FieldWriter().Integer(1).Integer(0).Take() + Bytes("\xFF\xFF\xFF\x7F", 4) + "abc";
  const std::vector<RogueFrame> frames = {
      {"empty", 2, ""},
      {"shorter than the header", 2, Bytes("\x04\x00", 2)},
      {"id only", 2, cut(8)},
      {"cut in the receiver", 2, cut(20)},
      {"cut before the data", 2, cut(good.size() - 6)},
      {"huge receiver count", 2, huge},
      {"unknown kind", 3, good},
      {"kind of all bits", static_cast<ULONG_PTR>(-1), good},
      {"reply without a result", 1, cut(8)},
  };
  for (const RogueFrame& f : frames) {
    SCOPED_TRACE(f.name);
    bool delivered = false;
    server_->Call([&](MessengerServer& s) { delivered = s.SendFrame(client_->GetWindow(), f.kind, f.bytes); });
    EXPECT_TRUE(delivered) << "the client window stopped answering";
  }
  // A record that claims bytes without a buffer, straight to the window.
  COPYDATASTRUCT lying{2, 64, nullptr};
  DWORD_PTR answer = 0;
  EXPECT_TRUE(::SendMessageTimeoutW(client_->GetWindow(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&lying),
                                    SMTO_BLOCK, 2000, &answer));
  EXPECT_EQ(journal_.Count("VirtualDesktops", 28), 0) << "a malformed frame reached a plug-in";

  server_->Call([&](MessengerServer& s) { s.SendFrame(client_->GetWindow(), 2, good); });
  EXPECT_TRUE(test::PumpUntil([&] { return journal_.Count("VirtualDesktops", 28) == 1; }));
  EXPECT_EQ(client_->GetState(), kStateConnected);
}

TEST_F(MessengerLink, EventLogLinesGoOutOnlyWhileTheSwitchIsOn) {
  StartServer();
  StartClient();
  ASSERT_TRUE(Registered());
  model::SetEventLogSink(client_.Get());
  model::SetEventLogEnabled(false);
  model::WriteEventLog(L"silent");
  model::SetEventLogEnabled(true);
  model::WriteEventLog(L"hello log");
  model::SetEventLogEnabled(false);
  model::SetEventLogSink(nullptr);
  ASSERT_TRUE(test::PumpUntil([&] { return !Requests().empty(); }));
  test::PumpUntil([] { return false; }, 300ms);
  const auto requests = Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].request.receiver, "EventLogger");
  EXPECT_EQ(requests[0].request.commandCode, 75u);
  EXPECT_TRUE(std::regex_match(requests[0].request.commandData, std::regex("[0-9A-F]{8};[0-9A-F]{8};hello log")))
      << requests[0].request.commandData;
}

TEST_F(MessengerLink, WithoutAServerRequestsAreRefusedAndTheSenderHearsSo) {
  StartClient(false);
  EXPECT_FALSE(client_->IsActive());
  RefPtr<RecordingSender> sender(new RecordingSender);
  EXPECT_FALSE(client_->SendMessage(L"VirtualDesktops", 20, {}, 5, sender.Get(), 0));
  ASSERT_EQ(sender->Failed().size(), 1u) << "a dropped request must not be lost silently";
  EXPECT_EQ(sender->Failed()[0].dataId, 5u);
  EXPECT_EQ(client_->PendingCount(), 0u);
}

TEST_F(MessengerLink, NoServerFoundByTheTimerUnloadsAndTheThreadWaitsForTheBusyCounter) {
  busy_ = 1;  // a hook call in progress somewhere in the process
  StartClient(true, 200);
  ASSERT_TRUE(test::PumpUntil([&] { return app_->IsUnloading(); }, 10s)) << "the timer did not find the server gone";
  EXPECT_EQ(journal_.Count("RuleDispatcher", entry::kBroadcastUnloading), 1);
  EXPECT_TRUE(test::PumpUntil([&] { return client_->GetState() == kStateStopped; }));
  test::PumpUntil([] { return false; }, 400ms);
  EXPECT_FALSE(ThreadEnded()) << "the thread must wait while the busy counter is above 0";
  busy_ = 0;
  EXPECT_TRUE(test::PumpUntil([&] { return ThreadEnded(); }));
}

TEST_F(MessengerLink, ServerWindowGoneReportsTheRequestAsFailedToItsSender) {
  StartServer();
  StartClient();
  ASSERT_TRUE(Registered());
  server_.reset();  // its windows go with its thread, without a word to the client
  RefPtr<RecordingSender> sender(new RecordingSender);
  ASSERT_TRUE(client_->SendMessage(L"Lost", 50, "d", 77, sender.Get(), 0));
  ASSERT_TRUE(test::PumpUntil([&] { return sender->Failed().size() == 1; }, 10s));
  EXPECT_EQ(sender->Failed()[0].code, 50);
  EXPECT_EQ(sender->Failed()[0].dataId, 77u);
  EXPECT_TRUE(sender->Processed().empty());
  EXPECT_EQ(client_->PendingCount(), 0u);
}

TEST_F(MessengerLink, DoneFailsWhatIsPendingAndEndsTheThread) {
  StartServer();
  StartClient();
  ASSERT_TRUE(Registered());
  server_->Call([](MessengerServer& s) { s.SetReplyToSenders(false); });
  RefPtr<RecordingSender> sender(new RecordingSender);
  ASSERT_TRUE(client_->SendMessage(L"Never", 60, {}, 1, sender.Get(), 0));
  ASSERT_TRUE(test::PumpUntil([&] { return !Requests().empty(); }));
  client_->Done();
  EXPECT_EQ(sender->Failed().size(), 1u) << "a request still waiting for its reply is reported failed";
  EXPECT_TRUE(app_->IsUnloading());
  EXPECT_TRUE(test::PumpUntil([&] { return ThreadEnded(); }));
  EXPECT_EQ(client_->GetState(), kStateStopped);
}

}  // namespace
}  // namespace dl::link
