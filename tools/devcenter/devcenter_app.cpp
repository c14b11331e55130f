#include "tools/devcenter/devcenter_app.h"

#include <windows.h>

#include <cstdio>
#include <functional>
#include <algorithm>
#include <optional>
#include <stdexcept>

#include "protocol/product_names.h"
#include "protocol/server_commands.h"
#include "protocol/service_codes.h"
#include "platform/config_folder.h"
#include "platform/process_modules.h"
#include "platform/text.h"
#include "tools/devcenter/child_process.h"
#include "tools/devcenter/library_state.h"
#include "protocol/entry_state.h"
#include "tools/devcenter/link_options.h"
#include "tools/devcenter/link_tool.h"
#include "tools/devcenter/messenger_server_thread.h"
#include "tools/devcenter/main_events.h"
#include "tools/devcenter/module_probe.h"
#include "tools/devcenter/monitor_block_publisher.h"
#include "tools/devcenter/options.h"
#include "tools/devcenter/ready_window.h"
#include "tools/devcenter/recorder.h"
#include "tools/devcenter/rule_block_publisher.h"
#include "tools/devcenter/rules_watcher.h"

namespace dl::devcenter {
namespace {
using nlohmann::json;

constexpr DWORD kAppCloseGraceMs = 5000;
constexpr DWORD kWatchIntervalMs = 200;

// A command to every registered client; its record lines are the server's "command_sent".
void Broadcast(MessengerServerThread& link, Recorder& rec, const char* reason, const char* receiver,
               std::uint32_t code) {
  int reached = 0;
  link.Call([&](MessengerServer& server) { reached = server.SendCommand(0, 0, receiver, code, {}); });
  rec.Emit("command_broadcast", {{"reason", reason}, {"receiver", receiver}, {"code", code}, {"clients_reached", reached}});
}

// Holds while the host runs, looking at the rules file and the monitors every tick; true
// when the host ended meanwhile.
bool HoldWatching(ReadyWindow& window, HANDLE hostProcess, DWORD holdMs, const std::function<void()>& tick) {
  const ULONGLONG end = ::GetTickCount64() + holdMs;
  for (;;) {
    const ULONGLONG now = ::GetTickCount64();
    if (now >= end) return false;
    const auto slice = static_cast<DWORD>(std::min<ULONGLONG>(end - now, kWatchIntervalMs));
    if (window.WaitPumping({hostProcess}, slice) == 0) return true;
    tick();
  }
}

nlohmann::json DescribeDevices(const DisplayDevices& devices) {
  nlohmann::json list = nlohmann::json::array();
  for (const auto& d : devices)
    list.push_back({{"device", Utf8(std::wstring(d.deviceName.begin(), d.deviceName.end()))},
                    {"rect", {d.realRect.left, d.realRect.top, d.realRect.right, d.realRect.bottom}},
                    {"attached", d.attached},
                    {"clone", d.cloneSlave}});
  return list;
}

// The monitor block, published at start; nothing when it cannot be made (reported).
std::optional<MonitorBlockPublisher> StartMonitorBlock(Recorder& rec) {
  std::optional<MonitorBlockPublisher> publisher;
  try {
    publisher.emplace();
    publisher->Publish(SeeDisplayDevices());
    rec.Emit("monitors_published", {{"devices", DescribeDevices(publisher->Published())}});
  } catch (const std::exception& e) {
    publisher.reset();
    rec.Emit("monitors_error", {{"error", e.what()}});
  }
  return publisher;
}

unsigned long long FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// The lines appended to the host's event log since `offset`.
std::vector<std::string> LinesSince(const std::wstring& path, unsigned long long offset) {
  std::vector<std::string> lines;
  platform::UniqueFileHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return lines;
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(offset);
  if (!::SetFilePointerEx(file.get(), at, nullptr, FILE_BEGIN)) return lines;
  std::string text;
  char block[4096];
  DWORD got = 0;
  while (::ReadFile(file.get(), block, sizeof(block), &got, nullptr) && got > 0) text.append(block, got);
  for (const std::string& line : platform::SplitLines(text))
    if (!line.empty()) lines.push_back(Utf8(platform::AnsiToWide(line)));
  return lines;
}

void StartApps(const Options& o, Recorder& rec, std::vector<ChildProcess>& apps, bool& allMapped) {
  for (const std::wstring& exe : o.launch) {
    ChildProcess app = ChildProcess::Start(QuoteArgument(exe));
    rec.Emit("app_started", {{"exe", Utf8(exe)}, {"pid", app.Id()}});
    std::optional<std::wstring> path = WaitForLoadedModule(app.Id(), o.module, o.moduleTimeoutMs);
    json fields = {{"pid", app.Id()}, {"module", Utf8(o.module)}, {"mapped", path.has_value()}};
    if (path) fields["path"] = Utf8(*path);
    rec.Emit("module", fields);
    allMapped = allMapped && path.has_value();
    apps.push_back(std::move(app));
  }
}

void RecordLinkSummary(MessengerServerThread& link, Recorder& rec) {
  link.Call([&rec](MessengerServer& server) {
    nlohmann::json clients = nlohmann::json::array();
    for (const RegisteredClient& c : server.Clients())
      clients.push_back({{"pid", c.processId}, {"exe", c.title}});
    nlohmann::json requests = nlohmann::json::array();
    for (const ReceivedRequest& r : server.Requests())
      requests.push_back({{"pid", r.request.processId}, {"receiver", r.request.receiver}, {"code", r.request.commandCode}});
    rec.Emit("link_summary", {{"clients", clients}, {"requests", requests}, {"malformed_frames", server.MalformedFrameCount()}});
  });
}

int RunSession(const Options& o, Recorder& rec) {
  MainEvents events;
  events.Reset();
  std::optional<RuleBlockPublisher> publisher;
  std::optional<RulesWatcher> rules;
  if (!o.rulesFile.empty()) {
    publisher.emplace();
    rules.emplace(o.rulesFile, *publisher, rec);
    (void)rules->PublishNow();
  }
  std::optional<MonitorBlockPublisher> monitorBlock = StartMonitorBlock(rec);
  std::optional<MonitorWatcher> monitors;
  if (monitorBlock) monitors.emplace(*monitorBlock);
  ReadyWindow window;
  // The link's server side, answering clients on its own thread from before the host starts.
  MessengerServerThread link([&rec](const std::string& event, nlohmann::json fields) { rec.Emit(event, std::move(fields)); });
  const std::wstring hostPath = o.hostPath.empty() ? platform::ExecutableFolder() + protocol::kHostFileName : o.hostPath;
  const std::wstring eventLog = platform::EventLogPath(platform::LookUpConfigFolder());
  const unsigned long long eventLogStart = FileSize(eventLog);

  EnvironmentOverrides env;
  if (!o.tempFolder.empty()) env = {{L"TEMP", o.tempFolder}, {L"TMP", o.tempFolder}};
  const std::wstring commandLine = HostCommandLine(hostPath, ::GetCurrentProcessId(), window.Handle(), o.placement);
  rec.Emit("session_start", {{"pid", ::GetCurrentProcessId()},
                             {"window", reinterpret_cast<UINT_PTR>(window.Handle())},
                             {"event_log", Utf8(eventLog)}});
  ChildProcess hostProcess = ChildProcess::Start(commandLine, env);
  rec.Emit("host_started", {{"pid", hostProcess.Id()}, {"command_line", Utf8(commandLine)}});

  const int woke = window.WaitPumping({events.Startup(), hostProcess.Handle()}, o.readyTimeoutMs);
  DWORD hostThread = 0;
  for (const ServiceCall& call : window.Calls()) {
    rec.Emit("ready_message", {{"wparam", call.code}, {"thread_id", call.argument}});
    if (call.code == protocol::kSvcHostReady) hostThread = static_cast<DWORD>(call.argument);
  }
  const bool started = woke == 0;
  bool allMapped = true;
  std::vector<ChildProcess> apps;
  if (started) {
    rec.Emit("startup_event");
    for (WPARAM code : o.post) {
      BOOL posted = hostThread && ::PostThreadMessageW(hostThread, window.ServiceMessage(), code, 0);
      rec.Emit("posted", {{"wparam", code}, {"thread_id", hostThread}, {"ok", posted != FALSE}});
    }
    StartApps(o, rec, apps, allMapped);
    for (ChildProcess& app : apps) {
      // What the library did inside the application: answered by its get-message hook there.
      const std::optional<unsigned> state = QueryLibraryState(app.Id(), window, o.moduleTimeoutMs);
      json fields = {{"pid", app.Id()}, {"answered", state.has_value()}};
      if (state) {
        fields["application"] = (*state & protocol::kEntryApplicationPresent) != 0;
        fields["inert"] = (*state & protocol::kEntryInertProcess) != 0;
      }
      rec.Emit("library_state", fields);
      // The application's library sends the main program a request: the link at work.
      rec.Emit("diagnostics_request_asked",
               {{"pid", app.Id()}, {"ok", RequestDiagnosticRequest(app.Id(), window.ServiceMessage(), 1)}});
    }
    // A new rule block goes to every client as command 2; new monitors as a rebuild of
    // their multi-monitor centers.
    const auto tick = [&] {
      if (rules && rules->CheckForChange())
        Broadcast(link, rec, "rules_changed", protocol::kRuleDispatcherReceiver, protocol::kCommandRulesChanged);
      if (monitors && monitors->CheckForChange()) {
        rec.Emit("monitors_published", {{"devices", DescribeDevices(monitorBlock->Published())}});
        Broadcast(link, rec, "monitors_changed", "", protocol::kCommandMonitorsRebuild);
      }
    };
    if (o.holdMs && HoldWatching(window, hostProcess.Handle(), o.holdMs, tick)) rec.Emit("host_ended_while_held");
    events.RequestShutdown();
    rec.Emit("shutdown_requested");
  } else {
    rec.Emit(woke == 1 ? "host_ended_before_startup" : "startup_timeout");
  }

  const bool ended = window.WaitPumping({hostProcess.Handle()}, o.stopTimeoutMs) == 0 || !hostProcess.Running();
  if (ended) {
    rec.Emit("host_ended", {{"exit_code", hostProcess.ExitCode()}});
  } else {
    rec.Emit("host_still_running", {{"pid", hostProcess.Id()}});
    hostProcess.Terminate();
  }
  rec.Emit("events", {{"shutdown", TakeSignal(events.Shutdown())},
                      {"need_relogin", TakeSignal(events.NeedRelogin())},
                      {"startup", TakeSignal(events.Startup())}});
  for (ChildProcess& app : apps) {
    app.Close(kAppCloseGraceMs);
    rec.Emit("app_closed", {{"pid", app.Id()}});
  }
  RecordLinkSummary(link, rec);
  if (o.showEventLog)
    for (const std::string& line : LinesSince(eventLog, eventLogStart)) rec.Emit("event_log", {{"line", line}});

  const bool ok = started && ended && hostProcess.ExitCode() == 0 && allMapped;
  rec.Emit("result", {{"ok", ok}});
  return ok ? 0 : 1;
}

int RunCheckRules(const Options& o, Recorder& rec) {
  try {
    const RulesFile rules = LoadRulesFile(o.rulesFile);
    const auto bytes = protocol::rule_block::WriteRuleBlock(rules.records);
    rec.Emit("rules_ok", {{"file", Utf8(o.rulesFile)}, {"records", rules.records.size()}, {"size", bytes.size()}});
    return 0;
  } catch (const RulesFileError& e) {
    rec.Emit("rules_error", {{"file", Utf8(o.rulesFile)}, {"line", e.Line()}, {"error", e.What()}, {"message", e.what()}});
  }
  return 1;
}

int RunProbe(const Options& o, Recorder& rec) {
  std::vector<ChildProcess> apps;
  bool allMapped = true;
  StartApps(o, rec, apps, allMapped);
  for (ChildProcess& app : apps) {
    app.Close(kAppCloseGraceMs);
    rec.Emit("app_closed", {{"pid", app.Id()}});
  }
  rec.Emit("result", {{"ok", allMapped}});
  return allMapped ? 0 : 1;
}
}  // namespace

int RunDevCenter(const std::vector<std::wstring>& args) {
  if (!args.empty() && IsLinkMode(args[0])) return RunLinkTool(args);
  Options options;
  try {
    options = ParseOptions(args);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "devcenter: %s\n%s%s", e.what(), UsageText(), LinkUsageText());
    return 2;
  }
  Recorder rec(options.logPath);
  switch (options.mode) {
    case Mode::kProbe: return RunProbe(options, rec);
    case Mode::kCheckRules: return RunCheckRules(options, rec);
    default: return RunSession(options, rec);
  }
}

}  // namespace dl::devcenter
