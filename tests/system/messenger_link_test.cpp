// The messenger link between real processes: a probe application that the global hook reaches
// registers with a stand-in process (devcenter serve), sends it a request, shrugs off frames a
// rogue process sends, unloads when the stand-in is killed and keeps working, and reloads and
// registers again when a stand-in is started anew.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "platform/copy_data.h"
#include "platform/handles.h"
#include "platform/registered_messages.h"
#include "protocol/entry_state.h"
#include "protocol/frame_codec.h"
#include "protocol/messenger_names.h"
#include "protocol/service_codes.h"
#include "tests/entry/probe_process.h"
#include "tests/entry/probe_protocol.h"
#include "tests/support/bin_dir.h"
#include "tests/support/pump.h"

namespace dl::entry::test {
namespace {

using namespace dl::protocol;
using namespace std::chrono_literals;

std::wstring TempLog(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, folder);
  std::wstring path = std::wstring(folder) + name + std::to_wstring(::GetCurrentProcessId()) + L".jsonl";
  ::DeleteFileW(path.c_str());
  return path;
}

std::string ReadAll(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class StandIn {
 public:
  explicit StandIn(const std::wstring& log) : log_(log) {
    std::wstring cmd = L"\"" + dl::test::BinDir() + L"\\devcenter.exe\" serve --log \"" + log + L"\"";
    STARTUPINFOW si{sizeof(si)};
    PROCESS_INFORMATION pi{};
    if (::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
      process_.reset(pi.hProcess);
      ::CloseHandle(pi.hThread);
    }
  }
  ~StandIn() { Kill(); }
  bool Ready() {
    return process_ && dl::test::PumpUntil([&] { return ReadAll(log_).find("\"server_ready\"") != std::string::npos; },
                                           20s);
  }
  void Kill() {
    if (!process_) return;
    ::TerminateProcess(process_.get(), 1);
    ::WaitForSingleObject(process_.get(), 10000);
    process_.reset();
  }
  std::string Log() const { return ReadAll(log_); }

 private:
  std::wstring log_;
  platform::UniqueHandle process_;
};

HWND ClientWindowOf(DWORD processId) {
  HWND wnd = nullptr;
  while ((wnd = ::FindWindowExA(HWND_MESSAGE, wnd, protocol::kMessengerClientClass, nullptr))) {
    DWORD owner = 0;
    ::GetWindowThreadProcessId(wnd, &owner);
    if (owner == processId) return wnd;
  }
  return nullptr;
}

class MessengerLinkSystem : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(library_.loaded());
    ASSERT_NE(library_.Install(), FALSE);
  }
  void TearDown() override { library_.Uninstall(); }

  // Asks until the answer satisfies `want`. The query itself is swallowed by the hook before
  // anything else; an ordinary message beside it keeps the probe's hooks (and so its
  // reloading) going as an application's own traffic would.
  bool StateBecomes(const ProbeProcess& probe, const std::function<bool(unsigned)>& want, unsigned& last) {
    return dl::test::PumpUntil(
        [&] {
          probe.Post(kProbeMarker, 0, 0);
          auto bits = query_.Ask(probe);
          if (bits) last = *bits;
          return bits && want(*bits);
        },
        30s);
  }

  HookLibrary library_;
  EntryStateQuery query_;
};

TEST_F(MessengerLinkSystem, ProbeRegistersSendsUnloadsWhenTheStandInDiesAndReloadsForANewOne) {
  StandIn first(TempLog(L"dl_link_first_"));
  ASSERT_TRUE(first.Ready()) << "devcenter serve did not start";
  auto probe = ProbeProcess::Start(dl::test::BinDir() + L"\\hook_probe_app.exe");
  ASSERT_TRUE(probe);
  ASSERT_TRUE(probe->WaitLibraryMapped());
  unsigned bits = 0;
  ASSERT_TRUE(StateBecomes(*probe, [](unsigned b) { return (b & kEntryLinkRegistered) != 0; }, bits))
      << "the probe's client did not register; state bits " << bits;
  const std::string pid = "\"pid\":" + std::to_string(probe->processId());
  EXPECT_NE(first.Log().find("\"client_registered\""), std::string::npos);
  EXPECT_NE(first.Log().find(pid), std::string::npos) << first.Log();
  EXPECT_EQ(EntryLinkState(bits), 4) << "connected and pumping";

  // A request from the application, decoded in the stand-in's log.
  ASSERT_TRUE(probe->Post(platform::ServiceMessage(), kSvcDebugLinkRequest, 4242));
  ASSERT_TRUE(dl::test::PumpUntil([&] {
    const std::string log = first.Log();
    return log.find("\"code\":4242") != std::string::npos && log.find("\"receiver\":\"Diagnostics\"") != std::string::npos;
  }, 20s)) << first.Log();

  // A rogue process (this one) sends the probe's client window frames that lie.
  const HWND clientWnd = ClientWindowOf(probe->processId());
  ASSERT_TRUE(clientWnd) << "no client window in the probe";
  const protocol::Bytes good = protocol::EncodeCommand({1, 0, "plugins/VirtualDesktops", 28, "x"});
  const struct {
    ULONG_PTR kind;
    protocol::Bytes bytes;
  } rogue[] = {{2, ""}, {2, good.substr(0, 3)}, {2, good.substr(0, good.size() - 1)},
               {2, protocol::FieldWriter().Integer(1).Integer(2).Take() + protocol::Bytes("\xF0\xFF\xFF\xFF", 4)},
               {1, good.substr(0, 8)}, {7, good}, {1, protocol::EncodeReply(12345, "unasked")}};
  for (const auto& frame : rogue)
    EXPECT_TRUE(platform::SendCopyData(clientWnd, nullptr, frame.kind, frame.bytes, SMTO_BLOCK, 5000))
        << "the client window stopped answering";
  ASSERT_TRUE(probe->Flush()) << "the probe application stopped working";
  ASSERT_TRUE(StateBecomes(*probe, [](unsigned b) { return (b & kEntryLinkRegistered) != 0; }, bits));

  // The stand-in is killed: the application unloads, the client thread stops, the probe lives on.
  first.Kill();
  ASSERT_TRUE(StateBecomes(*probe, [](unsigned b) {
    return (b & kEntryUnloading) && !(b & kEntryLinkRegistered) && EntryLinkState(b) == -1;
  }, bits)) << "state bits " << bits;
  ASSERT_TRUE(probe->Flush()) << "the probe application stopped working";

  // A new stand-in: the probe's hooks restart the client, the application reloads and registers again.
  StandIn second(TempLog(L"dl_link_second_"));
  ASSERT_TRUE(second.Ready());
  ASSERT_TRUE(StateBecomes(*probe, [](unsigned b) {
    return (b & kEntryLinkRegistered) && !(b & kEntryUnloading) && EntryLinkState(b) == 4;
  }, bits)) << "state bits " << bits;
  EXPECT_NE(second.Log().find(pid), std::string::npos) << "the new stand-in did not see the probe register";
  EXPECT_TRUE(probe->Flush());
}

}  // namespace
}  // namespace dl::entry::test
