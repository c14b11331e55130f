// The embedded application's life in a process: created by library initialisation,
// finished once when the library leaves a live process, left alone when the process
// ends; and created for real inside a Wine process that the global hook reaches.
#include <gtest/gtest.h>

#include "library/runtime/library_services.h"
#include "library/entry/library_init.h"
#include "library/entry/plugin_host_environment.h"
#include "platform/registered_messages.h"
#include "protocol/entry_state.h"
#include "protocol/service_codes.h"
#include "platform/handles.h"
#include "tests/entry/probe_process.h"
#include "tests/entry/probe_protocol.h"
#include "tests/support/bin_dir.h"
#include "tests/support/pump.h"

namespace {
using namespace dl::entry;
using namespace dl::protocol;
using dl::platform::UniqueHandle;

class CountingApplication final : public IEmbeddedApplication {
 public:
  void Init() override { ++inits; }
  void Done() override { ++dones; }
  bool IsUnloading() override { return false; }
  void OnReloading() override {}
  bool NeedWinEventHook(DWORD) override { return false; }
  void Release() override { ++releases; }
  int inits = 0, dones = 0, releases = 0;
};

TEST(ApplicationLifetime, DetachFromALiveProcessFinishesTheApplicationOnce) {
  CountingApplication app;
  Services().application.store(&app);
  OnProcessDetach(false);
  OnProcessDetach(false);
  EXPECT_EQ(app.dones, 1);
  EXPECT_EQ(app.releases, 1);
  EXPECT_EQ(Services().application.load(), nullptr);
}

TEST(ApplicationLifetime, DetachFromAnEndingProcessTearsNothingDown) {
  CountingApplication app;
  Services().application.store(&app);
  OnProcessDetach(true);
  EXPECT_EQ(app.dones, 0);
  EXPECT_EQ(app.releases, 0);
  EXPECT_EQ(Services().application.load(), &app);
  Services().application.store(nullptr);
}

TEST(ApplicationLifetime, TheLibraryBuildsARealApplicationForTheHooks) {
  IEmbeddedApplication* app = CreateEmbeddedApplication();
  ASSERT_NE(app, nullptr);
  app->Init();
  EXPECT_FALSE(app->IsUnloading());
  EXPECT_TRUE(app->NeedWinEventHook(0x800C));   // caption changes, in every process
  EXPECT_TRUE(app->NeedWinEventHook(0x800B));   // location changes, for the virtual-desktops plug-in
  EXPECT_FALSE(app->NeedWinEventHook(0x8000));  // creation is seen through the window-procedure hooks
  app->OnReloading();
  EXPECT_FALSE(app->IsUnloading());
  app->Done();
  app->Release();
}

TEST(ApplicationInWineProcess, GlobalHookBringsTheApplicationAndTheProcessEndsCleanly) {
  test::HookLibrary library;
  ASSERT_TRUE(library.loaded()) << "dlmemb64.dll or its exports not found";
  ASSERT_NE(library.Install(), FALSE);

  auto probe = test::ProbeProcess::Start(dl::test::BinDir() + L"\\hook_probe_app.exe");
  ASSERT_TRUE(probe);
  ASSERT_TRUE(probe->WaitLibraryMapped());
  test::EntryStateQuery query;
  const auto state = query.Ask(*probe);
  ASSERT_TRUE(state) << "no answer from the library in the probe";
  EXPECT_TRUE(*state & kEntryApplicationStarted);
  EXPECT_TRUE(*state & kEntryApplicationPresent);

  // The probe ends on its own with the library still mapped: process exit must pass
  // through the library's detach without tearing anything down or failing.
  UniqueHandle process(::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, probe->processId()));
  ASSERT_TRUE(process);
  ASSERT_TRUE(::PostMessageW(probe->window(), WM_CLOSE, 0, 0));
  ASSERT_TRUE(dl::test::PumpUntil([&] { return ::WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0; },
                                  test::kProbeWait));
  DWORD exitCode = 1;
  ::GetExitCodeProcess(process.get(), &exitCode);
  EXPECT_EQ(exitCode, 0u);
  EXPECT_NE(library.Uninstall(), FALSE);
}

}  // namespace
