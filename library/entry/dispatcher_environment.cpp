#include "library/entry/dispatcher_environment.h"

#include "library/entry/messenger_binding.h"
#include "library/entry/process_gate.h"
#include "library/entry/thread_hook_list.h"
#include "library/extender/process_flags.h"
#include "library/model/event_log.h"
#include "library/rules/mapped_block_sources.h"
#include "library/rules/regex_library.h"
#include "platform/text.h"

namespace dl::entry {
namespace {

bool ApplicationWantsWinEvent(DWORD event) noexcept {
  try {
    auto* app = Services().application.load(std::memory_order_acquire);
    return app && app->NeedWinEventHook(event);
  } catch (...) {
    return false;
  }
}

// The hook list as the dispatcher and the hooks see it.
class OwnedThreadHookList final : public IOwnedThreadHookList {
 public:
  explicit OwnedThreadHookList(const ThreadHookSettings& settings) : list_(settings) {}
  bool HookThread(DWORD threadId) override { return list_.HookThread(threadId); }
  void UnhookThread(DWORD threadId) override { list_.UnhookThread(threadId); }
  void Clear() override { list_.Clear(); }

 private:
  ThreadLocalHookList list_;
};

}  // namespace

std::function<std::unique_ptr<IOwnedThreadHookList>()> ThreadHookListMaker(bool reducedHookProcess) {
  return [reducedHookProcess]() -> std::unique_ptr<IOwnedThreadHookList> {
    ThreadHookSettings settings;
    settings.reducedHookProcess = reducedHookProcess;
    settings.needWinEventHook = &ApplicationWantsWinEvent;
    return std::make_unique<OwnedThreadHookList>(settings);
  };
}

rules::DispatcherEnvironment ProcessDispatcherEnvironment() {
  rules::DispatcherEnvironment env;
  const auto& flags = extender::CurrentProcessFlags();
  env.reducedHookProcess = ProcessGate().reducedHook;
  env.explorerProcess = flags.shell;
  env.shellExperienceHost = flags.shellExperienceHost;
  env.blocks = rules::MappedBlockSources();
  env.createThreadHookList = ThreadHookListMaker(env.reducedHookProcess);
  env.setRegexFolder = [](const std::wstring& folder) { rules::SetRegexLibraryFolder(folder); };
  env.unloadRegex = [] { rules::UnloadRegexLibrary(); };
  // The service block's logging switch governs the library's event log in this process.
  env.setEventLogEnabled = [](bool enabled) { model::SetEventLogEnabled(enabled); };
  env.sendToServer = [](const std::string& receiver, int code, const std::string& data) {
    SendToMainProgram(platform::AnsiToWide(receiver), code, data);
  };
  return env;
}

}  // namespace dl::entry
