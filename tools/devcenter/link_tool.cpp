#include "tools/devcenter/link_tool.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "platform/copy_data.h"
#include "protocol/messenger_names.h"
#include "tools/devcenter/link_options.h"
#include "tools/devcenter/messenger_server_thread.h"
#include "tools/devcenter/recorder.h"

namespace dl::devcenter {
namespace {

nlohmann::json ClientList(const std::vector<RegisteredClient>& clients) {
  nlohmann::json list = nlohmann::json::array();
  for (const RegisteredClient& c : clients)
    list.push_back({{"pid", c.processId}, {"window", reinterpret_cast<std::uintptr_t>(c.window)}, {"exe", c.title}});
  return list;
}

int Serve(const LinkOptions& o) {
  Recorder rec(o.logPath);
  MessengerServerThread server([&rec](const std::string& event, nlohmann::json fields) { rec.Emit(event, std::move(fields)); });
  if (!o.replies) server.Call([](MessengerServer& s) { s.SetReplyToSenders(false); });
  // Serves until the hold time has passed, or for as long as the process lives.
  ::Sleep(o.holdMs ? o.holdMs : INFINITE);
  server.Call([&rec](MessengerServer& s) {
    s.ForgetDeadClients();
    rec.Emit("link_summary", {{"clients", ClientList(s.Clients())},
                              {"requests", s.Requests().size()},
                              {"malformed_frames", s.MalformedFrameCount()}});
  });
  return 0;
}

// A running stand-in, found by its server window, carries the request out.
int SendControl(const LinkOptions& o) {
  Recorder rec({});
  HWND server = ::FindWindowExA(HWND_MESSAGE, nullptr, protocol::kMessengerServerClass[0], nullptr);
  if (!server) {
    rec.Emit("no_server");
    return 1;
  }
  DWORD_PTR reached = 0;
  const bool ok = platform::SendCopyData(server, nullptr, kControlFrameKind, EncodeControlFrame(o.control),
                                         SMTO_BLOCK | SMTO_ABORTIFHUNG, o.timeoutMs, &reached);
  rec.Emit("control_sent", {{"ok", ok}, {"clients_reached", ok ? reached : 0}});
  return ok && reached > 0 ? 0 : 1;
}

}  // namespace

int RunLinkTool(const std::vector<std::wstring>& args) {
  LinkOptions options;
  try {
    options = ParseLinkOptions(args);
  } catch (const std::invalid_argument& e) {
    std::fprintf(stderr, "devcenter: %s\nusage:\n%s", e.what(), LinkUsageText());
    return 2;
  }
  return options.mode == LinkMode::kServe ? Serve(options) : SendControl(options);
}

}  // namespace dl::devcenter
