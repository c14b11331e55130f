#include "protocol/registration_notice.h"

namespace dl::protocol {

Bytes EncodeRegistrationNotice(const RegistrationNotice& notice) {
  return FieldWriter()
      .Integer(notice.Wnd)
      .Bytes8(notice.FileName)
      .Bytes8(notice.WindowClass)
      .Bytes8(notice.WindowCaption)
      .Bytes8(notice.RuleName)
      .Integer(static_cast<std::uint32_t>(notice.RuleType))
      .Take();
}

std::optional<RegistrationNotice> DecodeRegistrationNotice(BytesView data) {
  FieldReader r(data);
  auto wnd = r.Integer();
  auto file = r.Field();
  auto cls = r.Field();
  auto caption = r.Field();
  auto name = r.Field();
  auto type = r.Integer();
  if (!wnd || !file || !cls || !caption || !name || !type) return std::nullopt;
  RegistrationNotice notice;
  notice.Wnd = *wnd;
  notice.FileName = *file;
  notice.WindowClass = *cls;
  notice.WindowCaption = *caption;
  notice.RuleName = *name;
  notice.RuleType = static_cast<std::int32_t>(*type);
  return notice;
}

}  // namespace dl::protocol
