#include "library/rules/registration_notice.h"

#include <cstring>

#include "platform/text.h"

namespace dl::rules {
namespace {

void AppendCount(std::string& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}
void AppendText(std::string& out, std::string_view text) {
  AppendCount(out, static_cast<std::uint32_t>(text.size()));
  out.append(text);
}
void AppendInteger(std::string& out, std::uint32_t value) {
  AppendCount(out, 4);
  AppendCount(out, value);
}

// A bounded reader: every count is checked against what is left.
struct Reader {
  std::string_view data;
  std::size_t pos = 0;
  std::optional<std::string_view> Field() {
    if (data.size() - pos < 4) return std::nullopt;
    std::uint32_t count = 0;
    for (int i = 0; i < 4; ++i) count |= std::uint32_t(static_cast<unsigned char>(data[pos + i])) << (8 * i);
    if (count > data.size() - pos - 4) return std::nullopt;
    auto field = data.substr(pos + 4, count);
    pos += 4 + count;
    return field;
  }
  std::optional<std::uint32_t> Integer() {
    auto field = Field();
    if (!field || field->size() != 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value |= std::uint32_t(static_cast<unsigned char>((*field)[i])) << (8 * i);
    return value;
  }
};

}  // namespace

std::string BuildRegistrationNotice(const WindowDescription& window, const RuleInfo& rule) {
  std::string out;
  // Window handles fit in 32 bits across processes; the field carries the low half.
  AppendInteger(out, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(window.Wnd)));
  AppendText(out, platform::WideToAnsi(window.FileName));
  AppendText(out, platform::WideToAnsi(window.WindowClass));
  AppendText(out, window.WindowCaption);
  AppendText(out, rule.Name);
  AppendInteger(out, static_cast<std::uint32_t>(rule.Type));
  return out;
}

std::optional<RegistrationNotice> ReadRegistrationNotice(std::string_view data) {
  Reader r{data};
  RegistrationNotice notice;
  auto wnd = r.Integer();
  auto file = r.Field();
  auto cls = r.Field();
  auto caption = r.Field();
  auto name = r.Field();
  auto type = r.Integer();
  if (!wnd || !file || !cls || !caption || !name || !type) return std::nullopt;
  notice.Wnd = *wnd;
  notice.FileName = *file;
  notice.WindowClass = *cls;
  notice.WindowCaption = *caption;
  notice.RuleName = *name;
  notice.RuleType = static_cast<std::int32_t>(*type);
  return notice;
}

}  // namespace dl::rules
