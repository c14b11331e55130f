// The plug-in host: plug-in order, routing of the main program's commands, broadcasts,
// unloading and reloading, handler windows. Plug-ins are recording test plug-ins; the
// handler-window search runs against real windows.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "library/entry/embedded_application.h"
#include "library/runtime/plugin_abstract.h"
#include "library/entry/plugin_builtin.h"
#include "platform/handles.h"

namespace {
using namespace dl::entry;
using dl::model::RefPtr;

// Everything the plug-ins and the environment were told, in order.
using Journal = std::vector<std::string>;

std::string Narrow(std::wstring_view text) { return std::string(text.begin(), text.end()); }

class RecordingPlugin : public TAbstractPlugin, public virtual IServerMessageRedirector {
 public:
  RecordingPlugin(std::wstring_view name, std::shared_ptr<Journal> journal, bool redirects)
      : TAbstractPlugin(name), journal_(std::move(journal)), redirects_(redirects) {}

  void Init(dl::model::IItem* owner) override {
    TAbstractPlugin::Init(owner);
    Log("Init");
  }
  void Done() override {
    Log("Done");
    TAbstractPlugin::Done();
  }
  void Bind() override { Log("Bind"); }
  void Unbind() override { Log("Unbind"); }
  void OnMessageFromServer(int code, const CommandData& data) override {
    Log("Command " + std::to_string(code) + " [" + data + "]");
    if (code == throwOn) throw std::runtime_error("plug-in failure");
  }
  void OnMessageFromServer(HWND wnd, std::wstring_view sub, int code, const CommandData& data) override {
    Log("Redirect " + std::to_string(reinterpret_cast<std::uintptr_t>(wnd)) + " " + Narrow(sub) + " " +
        std::to_string(code) + " [" + data + "]");
  }
  int throwOn = -1;

 protected:
  void* FindInterface(const dl::model::Guid& iid) noexcept override {
    if (redirects_ && iid == IServerMessageRedirector::kIid) return static_cast<IServerMessageRedirector*>(this);
    return TAbstractPlugin::FindInterface(iid);
  }

 private:
  void Log(const std::string& what) { journal_->push_back(Narrow(GetName()) + ": " + what); }
  std::shared_ptr<Journal> journal_;
  bool redirects_;
};

struct Fixture : testing::Test {
  std::shared_ptr<Journal> journal = std::make_shared<Journal>();
  RefPtr<RecordingPlugin> dispatcher{new RecordingPlugin(L"RuleDispatcher", journal, true)};
  RefPtr<RecordingPlugin> desktops{new RecordingPlugin(L"VirtualDesktops", journal, false)};
  bool hooksEnabled = true;
  IServerMessageDispatcher* registered = nullptr;

  ApplicationEnvironment Environment() {
    ApplicationEnvironment env;
    env.createRuleDispatcher = [this] { return RefPtr<IPlugin>(dispatcher.Get()); };
    env.createVirtualDesktops = [this] { return RefPtr<IPlugin>(desktops.Get()); };
    env.registerDispatcher = [this](IServerMessageDispatcher* d) {
      registered = d;
      journal->push_back("register dispatcher");
    };
    env.unregisterDispatcher = [this] {
      registered = nullptr;
      journal->push_back("unregister dispatcher");
    };
    env.setHookRecordEnabled = [this](bool on) { hooksEnabled = on; };
    env.monitorCommand = [this](int code) { journal->push_back("monitor " + std::to_string(code)); };
    env.findWindow = [](const char* cls, const char* title) { return ::FindWindowA(cls, title); };
    return env;
  }

  RefPtr<TEmbeddedApplication> StartedApplication() {
    RefPtr<TEmbeddedApplication> app(new TEmbeddedApplication(Environment()));
    app->Init();
    journal->clear();
    return app;
  }
};

TEST_F(Fixture, InitBringsPluginsUpInOrderAndDoneTakesThemDownInReverse) {
  RefPtr<TEmbeddedApplication> app(new TEmbeddedApplication(Environment()));
  ASSERT_EQ(app->PluginCount(), 2);
  app->Init();
  EXPECT_EQ(registered, static_cast<IServerMessageDispatcher*>(app.Get()));
  EXPECT_EQ(dispatcher->GetOwner().Get(), static_cast<dl::model::IItem*>(app.Get()));
  app->Done();
  EXPECT_EQ(*journal, (Journal{"RuleDispatcher: Init", "VirtualDesktops: Init", "RuleDispatcher: Bind",
                               "VirtualDesktops: Bind", "register dispatcher", "unregister dispatcher",
                               "VirtualDesktops: Unbind", "RuleDispatcher: Unbind", "VirtualDesktops: Done",
                               "RuleDispatcher: Done"}));
  EXPECT_EQ(app->PluginCount(), 0);
  EXPECT_FALSE(dispatcher->GetOwner());  // the owner cycle is broken
  // The plug-ins' references are gone: only the fixture holds them now.
  EXPECT_EQ(dispatcher->RefCount(), 1u);
  EXPECT_EQ(desktops->RefCount(), 1u);
  journal->clear();
  app->Done();  // a second Done has nothing left to do
  EXPECT_EQ(*journal, Journal{"unregister dispatcher"});
}

TEST_F(Fixture, RoutingByReceiver) {
  RefPtr<TEmbeddedApplication> app = StartedApplication();
  const HWND wnd = reinterpret_cast<HWND>(std::uintptr_t{0x1234});
  const CommandData binary("\x04\0\0\0\x07\0\0\0", 8);
  struct Case {
    const wchar_t* receiver;
    int code;
    CommandData data;
    Journal expected;
  };
  const Case cases[] = {
      {L"plugins/VirtualDesktops", 28, binary, {"VirtualDesktops: Command 28 [" + binary + "]"}},
      {L"plugins/virtualdesktops", 28, "x", {"VirtualDesktops: Command 28 [x]"}},  // names ignore case
      {L"plugins/RuleDispatcher", 2, "rules", {"RuleDispatcher: Command 2 [rules]"}},
      {L"plugins/RuleDispatcher/x", 7, "d", {"RuleDispatcher: Redirect 4660 x 7 [d]"}},
      {L"plugins/RuleDispatcher/a/b", 7, "", {"RuleDispatcher: Redirect 4660 a/b 7 []"}},
      {L"server/plugins/VirtualDesktops", 5, "", {"VirtualDesktops: Command 5 []"}},
      {L"plugins/VirtualDesktops/sub", 5, "", {}},  // no redirector: dropped
      {L"plugins/Missing", 5, "", {}},
      {L"plugins/", 5, "", {}},
      {L"VirtualDesktops", 5, "", {}},
      {L"plugins\\VirtualDesktops", 5, "", {}},
      {L"", 82, "", {"monitor 82"}},
      {L"EventLogger", 83, "", {"monitor 83"}},
      {L"", 84, "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Narrow(c.receiver) + " " + std::to_string(c.code));
    journal->clear();
    app->OnMessageFromServer(wnd, c.receiver, c.code, c.data);
    EXPECT_EQ(*journal, c.expected);
  }
  app->Done();
}

TEST_F(Fixture, UnloadingBroadcastsAndReloadingRestoresTheFlags) {
  RefPtr<TEmbeddedApplication> app = StartedApplication();
  ASSERT_FALSE(app->IsUnloading());
  ASSERT_TRUE(hooksEnabled);
  app->OnUnloading();
  EXPECT_TRUE(app->IsUnloading());
  EXPECT_FALSE(hooksEnabled);
  EXPECT_EQ(*journal, (Journal{"RuleDispatcher: Command 44 []", "VirtualDesktops: Command 44 []"}));
  app->OnReloading();
  EXPECT_FALSE(app->IsUnloading());
  EXPECT_TRUE(hooksEnabled);
  app->Done();
}

TEST_F(Fixture, OneFailingPluginDoesNotKeepABroadcastFromTheOthers) {
  RefPtr<TEmbeddedApplication> app = StartedApplication();
  dispatcher->throwOn = kBroadcastUnloading;
  app->OnUnloading();
  EXPECT_EQ(*journal, (Journal{"RuleDispatcher: Command 44 []", "VirtualDesktops: Command 44 []"}));
  app->Done();
}

TEST_F(Fixture, ClientRegistrationFindsHandlerWindowsAndBroadcasts) {
  // The main program's handler windows, found by class and title.
  WNDCLASSA wc{};
  wc.lpfnWndProc = ::DefWindowProcA;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = "Quillon_ControlCenterHandlerWindow";
  ASSERT_TRUE(::RegisterClassA(&wc));
  dl::platform::UniqueWindow handler(::CreateWindowExA(0, wc.lpszClassName, "Deskloom", WS_POPUP, 0, 0, 1, 1,
                                                       nullptr, nullptr, wc.hInstance, nullptr));
  dl::platform::UniqueWindow wrongTitle(::CreateWindowExA(0, wc.lpszClassName, "Other", WS_POPUP, 0, 0, 1, 1,
                                                          nullptr, nullptr, wc.hInstance, nullptr));
  ASSERT_TRUE(handler && wrongTitle);

  RefPtr<TEmbeddedApplication> app = StartedApplication();
  const HWND messenger = reinterpret_cast<HWND>(std::uintptr_t{0x00A1B2C3});
  const CommandData packed("\x04\0\0\0\xC3\xB2\xA1\0", 8);

  app->OnClientRegistered(messenger, 0);
  EXPECT_EQ(app->GetMainCenterWindow(), handler.get());
  app->OnClientRegistered(messenger, 1);  // the shell server's handler window does not exist
  EXPECT_EQ(app->CenterWindow(1), nullptr);
  app->OnClientUnregistered(0);
  EXPECT_EQ(app->GetMainCenterWindow(), nullptr);
  app->OnClientUnregistered(1);
  app->OnClientRegistered(messenger, 2);  // no such server instance: ignored
  EXPECT_EQ(*journal, (Journal{"RuleDispatcher: Command 33 [" + packed + "]",
                               "VirtualDesktops: Command 33 [" + packed + "]",
                               "RuleDispatcher: Command 89 [" + packed + "]",
                               "VirtualDesktops: Command 89 [" + packed + "]", "RuleDispatcher: Command 3 []",
                               "VirtualDesktops: Command 3 []", "RuleDispatcher: Command 90 []",
                               "VirtualDesktops: Command 90 []"}));
  app->Done();
  handler.reset();
  wrongTitle.reset();
  ::UnregisterClassA(wc.lpszClassName, wc.hInstance);
}

TEST_F(Fixture, WindowEventHooksByEventAndProcessKind) {
  struct Case {
    DWORD event;
    bool reduced, expected;
  };
  for (const Case& c : {Case{0x8002, false, false}, Case{0x8002, true, true}, Case{0x800B, false, true},
                        Case{0x800C, false, true}, Case{0x800C, true, true}, Case{0x8000, false, false},
                        Case{0x8000, true, false}}) {
    SCOPED_TRACE(testing::Message() << std::hex << c.event << (c.reduced ? " reduced" : ""));
    ApplicationEnvironment env = Environment();
    env.reducedHookProcess = c.reduced;
    RefPtr<TEmbeddedApplication> app(new TEmbeddedApplication(std::move(env)));
    EXPECT_EQ(app->NeedWinEventHook(c.event), c.expected);
    app->Done();
  }
  // Location changes are wanted only because the virtual-desktops plug-in is there.
  ApplicationEnvironment env = Environment();
  env.createVirtualDesktops = nullptr;
  RefPtr<TEmbeddedApplication> withoutDesktops(new TEmbeddedApplication(std::move(env)));
  EXPECT_FALSE(withoutDesktops->NeedWinEventHook(0x800B));
  withoutDesktops->Done();
}

TEST(BuiltinPlugins, NamesAndRedirection) {
  RefPtr<IPlugin> dispatcher = CreateRuleDispatcherPlugin();
  RefPtr<IPlugin> desktops = CreateVirtualDesktopsPlugin();
  EXPECT_EQ(dispatcher->GetName(), L"RuleDispatcher");
  EXPECT_EQ(desktops->GetName(), L"VirtualDesktops");
  EXPECT_TRUE(dispatcher.As<IServerMessageRedirector>());
  EXPECT_FALSE(desktops.As<IServerMessageRedirector>());
  EXPECT_TRUE(dispatcher.As<dl::model::ISlave>());
}

TEST(PackedInteger, FourByteCountThenLittleEndianValue) {
  EXPECT_EQ(PackIntegerField(0x11223344u), CommandData("\x04\0\0\0\x44\x33\x22\x11", 8));
  EXPECT_EQ(PackIntegerField(0), CommandData("\x04\0\0\0\0\0\0\0", 8));
}

}  // namespace
