#include "tools/devcenter/options.h"

#include <stdexcept>

#include "platform/text.h"

namespace dl::devcenter {
namespace {
DWORD ParseNumber(const std::wstring& option, const std::wstring& text) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of(L"0123456789") != std::wstring::npos)
    throw std::invalid_argument("option " + platform::WideToUtf8(option) + " needs a decimal number");
  return static_cast<DWORD>(std::stoul(text));
}
}  // namespace

const char* UsageText() noexcept {
  return "usage:\n"
         "  devcenter run [--host EXE] [--placement TEXT] [--launch EXE]... [--module NAME]\n"
         "                [--post CODE]... [--hold-ms N] [--ready-timeout-ms N] [--stop-timeout-ms N]\n"
         "                [--module-timeout-ms N] [--temp DIR] [--log FILE] [--show-event-log]\n"
         "                [--rules FILE]\n"
         "  devcenter probe --launch EXE [--module NAME] [--module-timeout-ms N] [--log FILE]\n"
         "  devcenter check-rules --rules FILE [--log FILE]\n";
}

Options ParseOptions(const std::vector<std::wstring>& args) {
  if (args.empty()) throw std::invalid_argument("missing mode");
  Options o;
  if (args[0] == L"run")
    o.mode = Mode::kRun;
  else if (args[0] == L"probe")
    o.mode = Mode::kProbe;
  else if (args[0] == L"check-rules")
    o.mode = Mode::kCheckRules;
  else
    throw std::invalid_argument("unknown mode " + platform::WideToUtf8(args[0]));

  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::wstring& name = args[i];
    if (name == L"--show-event-log") {
      o.showEventLog = true;
      continue;
    }
    if (i + 1 >= args.size()) throw std::invalid_argument("option " + platform::WideToUtf8(name) + " needs a value");
    const std::wstring& value = args[++i];
    if (name == L"--host")
      o.hostPath = value;
    else if (name == L"--placement")
      o.placement = value;
    else if (name == L"--launch")
      o.launch.push_back(value);
    else if (name == L"--module")
      o.module = value;
    else if (name == L"--post")
      o.post.push_back(ParseNumber(name, value));
    else if (name == L"--hold-ms")
      o.holdMs = ParseNumber(name, value);
    else if (name == L"--ready-timeout-ms")
      o.readyTimeoutMs = ParseNumber(name, value);
    else if (name == L"--stop-timeout-ms")
      o.stopTimeoutMs = ParseNumber(name, value);
    else if (name == L"--module-timeout-ms")
      o.moduleTimeoutMs = ParseNumber(name, value);
    else if (name == L"--temp")
      o.tempFolder = value;
    else if (name == L"--log")
      o.logPath = value;
    else if (name == L"--rules")
      o.rulesFile = value;
    else
      throw std::invalid_argument("unknown option " + platform::WideToUtf8(name));
  }
  if (o.mode == Mode::kProbe && o.launch.empty()) throw std::invalid_argument("probe needs --launch");
  if (o.mode == Mode::kCheckRules && o.rulesFile.empty()) throw std::invalid_argument("check-rules needs --rules");
  return o;
}

}  // namespace dl::devcenter
