#include "tools/devcenter/link_options.h"

#include <stdexcept>

#include "platform/text.h"
#include "protocol/frame_codec.h"

namespace dl::devcenter {
namespace {

std::string Narrow(const std::wstring& text) { return platform::WideToUtf8(text); }

std::uint32_t Number(const std::wstring& option, const std::wstring& text) {
  // Decimal, or hexadecimal with 0x (window handles).
  const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
  const std::wstring digits = hex ? text.substr(2) : text;
  const wchar_t* allowed = hex ? L"0123456789abcdefABCDEF" : L"0123456789";
  if (digits.empty() || digits.size() > (hex ? 8u : 10u) || digits.find_first_not_of(allowed) != std::wstring::npos)
    throw std::invalid_argument("option " + Narrow(option) + " needs a number");
  const unsigned long long value = std::stoull(digits, nullptr, hex ? 16 : 10);
  if (value > 0xFFFFFFFFull) throw std::invalid_argument("option " + Narrow(option) + " is out of range");
  return static_cast<std::uint32_t>(value);
}

protocol::Bytes HexBytes(const std::wstring& text) {
  if (text.size() % 2 != 0 || text.find_first_not_of(L"0123456789abcdefABCDEF") != std::wstring::npos)
    throw std::invalid_argument("--hex needs pairs of hexadecimal digits");
  protocol::Bytes out;
  for (std::size_t i = 0; i < text.size(); i += 2)
    out.push_back(static_cast<char>(std::stoul(text.substr(i, 2), nullptr, 16)));
  return out;
}

}  // namespace

bool IsLinkMode(const std::wstring& mode) noexcept {
  return mode == L"serve" || mode == L"send" || mode == L"handshake";
}

const char* LinkUsageText() noexcept {
  return "  devcenter serve [--hold-ms N] [--log FILE] [--no-replies]\n"
         "  devcenter send [--pid P] [--receiver TEXT] [--receiver-window H] --code N\n"
         "                 [--int N | --text TEXT | --hex HEX] [--timeout-ms N]\n"
         "  devcenter handshake [--pid P] --command N [--instance I] [--timeout-ms N]\n";
}

LinkOptions ParseLinkOptions(const std::vector<std::wstring>& args) {
  if (args.empty() || !IsLinkMode(args[0])) throw std::invalid_argument("not a link mode");
  LinkOptions o;
  o.mode = args[0] == L"serve" ? LinkMode::kServe : args[0] == L"send" ? LinkMode::kSend : LinkMode::kHandshake;
  o.control.op = o.mode == LinkMode::kHandshake ? ControlFrame::kHandshake : ControlFrame::kCommand;
  bool haveCode = false, haveData = false;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::wstring& name = args[i];
    if (name == L"--no-replies" && o.mode == LinkMode::kServe) {
      o.replies = false;
      continue;
    }
    if (i + 1 >= args.size()) throw std::invalid_argument("option " + Narrow(name) + " needs a value");
    const std::wstring& value = args[++i];
    const bool serve = o.mode == LinkMode::kServe, send = o.mode == LinkMode::kSend;
    if (serve && name == L"--hold-ms") {
      o.holdMs = Number(name, value);
    } else if (serve && name == L"--log") {
      o.logPath = value;
    } else if (!serve && name == L"--pid") {
      o.control.processId = Number(name, value);
    } else if (!serve && name == L"--timeout-ms") {
      o.timeoutMs = Number(name, value);
    } else if (send && name == L"--receiver") {
      o.control.receiver = platform::WideToAnsi(value);
    } else if (send && name == L"--receiver-window") {
      o.control.receiverWindow = Number(name, value);
    } else if (send && name == L"--code") {
      o.control.commandCode = Number(name, value);
      haveCode = true;
    } else if (send && (name == L"--int" || name == L"--text" || name == L"--hex")) {
      if (haveData) throw std::invalid_argument("give the command data once");
      haveData = true;
      if (name == L"--int")
        o.control.data = protocol::PackInteger(Number(name, value));
      else if (name == L"--text")
        o.control.data = platform::WideToAnsi(value);
      else
        o.control.data = HexBytes(value);
    } else if (!serve && !send && name == L"--command") {
      o.control.handshakeCommand = Number(name, value);
      haveCode = true;
    } else if (!serve && !send && name == L"--instance") {
      o.control.instance = Number(name, value);
      if (o.control.instance > 1) throw std::invalid_argument("--instance is 0 or 1");
    } else {
      throw std::invalid_argument("unknown option " + Narrow(name));
    }
  }
  if (o.mode == LinkMode::kSend && !haveCode) throw std::invalid_argument("send needs --code");
  if (o.mode == LinkMode::kHandshake && !haveCode) throw std::invalid_argument("handshake needs --command");
  return o;
}

}  // namespace dl::devcenter
