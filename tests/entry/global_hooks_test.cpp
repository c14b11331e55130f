// The library's global hooks in real processes under Wine: this program loads dlmemb64.dll
// and installs its hooks as the host does; probe applications started afterwards get the
// library mapped by the system and report what their window procedure saw.
#include <windows.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "platform/registered_messages.h"
#include "protocol/entry_state.h"
#include "protocol/service_codes.h"
#include "platform/handles.h"
#include "tests/entry/probe_process.h"
#include "tests/entry/probe_protocol.h"
#include "tests/support/bin_dir.h"

namespace dl::entry::test {
using namespace dl::protocol;
namespace {

using dl::test::BinDir;

std::wstring ProbePath() { return BinDir() + L"\\hook_probe_app.exe"; }

class GlobalHooks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.loaded()) << "dlmemb64.dll or its exports not found in " << std::string(BinDir().begin(), BinDir().end());
    service_ = platform::ServiceMessage();
  }
  void TearDown() override {
    if (installed_) library_.Uninstall();
  }
  void Install() {
    ASSERT_NE(library_.Install(), FALSE);
    installed_ = true;
  }
  std::unique_ptr<ProbeProcess> StartMappedProbe(const std::wstring& exe) {
    auto probe = ProbeProcess::Start(exe);
    if (!probe) {
      ADD_FAILURE() << "probe did not start";
      return nullptr;
    }
    if (!probe->WaitLibraryMapped()) {
      ADD_FAILURE() << "the global hook did not bring dlmemb64.dll into the probe";
      return nullptr;
    }
    return probe;
  }

  HookLibrary library_;
  UINT service_ = 0;
  bool installed_ = false;
};

TEST_F(GlobalHooks, WithoutHooksTheProbeSeesServiceMessagesAndHasNoLibrary) {
  // The probe's own observations are what the other tests rely on.
  auto probe = ProbeProcess::Start(ProbePath());
  ASSERT_TRUE(probe);
  ASSERT_TRUE(probe->Post(service_, kSvcSetCapture, 0));
  ASSERT_TRUE(probe->Flush());
  EXPECT_EQ(probe->Query(kProbeCountSeen, kSvcSetCapture), 1);
  EXPECT_EQ(probe->Query(kProbeLibraryMapped), 0);
}

TEST_F(GlobalHooks, CaptureCommandsAreCarriedOutAndNeverReachTheWindow) {
  Install();
  auto probe = StartMappedProbe(ProbePath());
  ASSERT_TRUE(probe);
  const HWND wnd = probe->window();

  ASSERT_TRUE(probe->Post(service_, kSvcSetCapture, reinterpret_cast<LPARAM>(wnd)));
  ASSERT_TRUE(probe->Flush());
  EXPECT_EQ(probe->Query(kProbeCapture), reinterpret_cast<LRESULT>(wnd)) << "capture not taken";

  ASSERT_TRUE(probe->Post(service_, kSvcReleaseCapture, 0));
  ASSERT_TRUE(probe->Flush());
  EXPECT_EQ(probe->Query(kProbeCapture), 0) << "capture not released";

  EXPECT_EQ(probe->Query(kProbeCountSeen, kSvcSetCapture), 0);
  EXPECT_EQ(probe->Query(kProbeCountSeen, kSvcReleaseCapture), 0);
}

TEST_F(GlobalHooks, CaptionCommandWithoutDispatcherReachesTheWindowUnchanged) {
  Install();
  auto probe = StartMappedProbe(ProbePath());
  ASSERT_TRUE(probe);
  ASSERT_TRUE(probe->Post(service_, kSvcCaptionChanged, 0x5A5A));
  ASSERT_TRUE(probe->Flush());
  EXPECT_EQ(probe->Query(kProbeCountSeen, kSvcCaptionChanged), 1);
  EXPECT_EQ(probe->Query(kProbeLastLParam, kSvcCaptionChanged), 0x5A5A);
}

TEST_F(GlobalHooks, OrdinaryProcessStartsTheApplicationStep) {
  Install();
  auto probe = StartMappedProbe(ProbePath());
  ASSERT_TRUE(probe);
  EntryStateQuery query;
  const auto state = query.Ask(*probe);
  ASSERT_TRUE(state) << "no answer from the library in the probe";
  EXPECT_TRUE(*state & kEntryApplicationStarted);
  EXPECT_FALSE(*state & kEntryInertProcess);
  EXPECT_FALSE(*state & kEntryReducedHookProcess);
}

// A copy of the probe named like the desktop window manager.
class DwmCopy {
 public:
  DwmCopy() {
    wchar_t temp[MAX_PATH];
    ::GetTempPathW(MAX_PATH, temp);
    dir_ = std::filesystem::path(temp) / (L"dl-entry-dwm-" + std::to_wstring(::GetCurrentProcessId()));
    std::filesystem::create_directories(dir_);
    std::filesystem::copy_file(ProbePath(), path(), std::filesystem::copy_options::overwrite_existing);
  }
  ~DwmCopy() {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  [[nodiscard]] std::wstring path() const { return (dir_ / L"dwm.exe").wstring(); }

 private:
  std::filesystem::path dir_;
};

TEST_F(GlobalHooks, InDwmNoApplicationIsStartedButServiceCommandsStillApply) {
  DwmCopy copy;
  Install();
  {
    auto probe = StartMappedProbe(copy.path());
    ASSERT_TRUE(probe);
    EntryStateQuery query;
    const auto state = query.Ask(*probe);
    ASSERT_TRUE(state) << "no answer from the library in dwm.exe";
    EXPECT_TRUE(*state & kEntryInertProcess);
    EXPECT_TRUE(*state & kEntryReducedHookProcess);
    EXPECT_FALSE(*state & kEntryApplicationStarted);
    EXPECT_FALSE(*state & kEntryApplicationPresent);

    ASSERT_TRUE(probe->Post(service_, kSvcSetCapture, reinterpret_cast<LPARAM>(probe->window())));
    ASSERT_TRUE(probe->Post(service_, kSvcReleaseCapture, 0));
    ASSERT_TRUE(probe->Post(service_, kSvcCaptionChanged, 7));
    ASSERT_TRUE(probe->Flush());
    EXPECT_EQ(probe->Query(kProbeCountSeen, kSvcSetCapture), 0);
    EXPECT_EQ(probe->Query(kProbeCountSeen, kSvcReleaseCapture), 0);
    EXPECT_EQ(probe->Query(kProbeCountSeen, kSvcCaptionChanged), 1);
  }
}

TEST_F(GlobalHooks, UninstallTwiceAnswersTrueBothTimes) {
  Install();
  EXPECT_NE(library_.Uninstall(), FALSE);
  EXPECT_NE(library_.Uninstall(), FALSE);
  installed_ = false;
}

TEST_F(GlobalHooks, InstallAgainAfterUninstallHooksNewProcesses) {
  Install();
  ASSERT_NE(library_.Uninstall(), FALSE);
  installed_ = false;
  Install();
  EXPECT_NE(library_.Install(), FALSE) << "a second install while installed must still answer true";
  auto probe = StartMappedProbe(ProbePath());
  ASSERT_TRUE(probe);
  ASSERT_TRUE(probe->Post(service_, kSvcReleaseCapture, 0));
  ASSERT_TRUE(probe->Flush());
  EXPECT_EQ(probe->Query(kProbeCountSeen, kSvcReleaseCapture), 0);
}

TEST_F(GlobalHooks, AfterUninstallANewProcessGetsNoLibrary) {
  Install();
  ASSERT_NE(library_.Uninstall(), FALSE);
  installed_ = false;
  auto probe = ProbeProcess::Start(ProbePath());
  ASSERT_TRUE(probe);
  for (int i = 0; i < 5; ++i) probe->Post(WM_NULL, 0, 0);
  ASSERT_TRUE(probe->Post(service_, kSvcSetCapture, 0));
  ASSERT_TRUE(probe->Flush());
  EXPECT_EQ(probe->Query(kProbeLibraryMapped), 0);
  EXPECT_EQ(probe->Query(kProbeCountSeen, kSvcSetCapture), 1);
}

}  // namespace
}  // namespace dl::entry::test
