#include "protocol/rule_block_reader.h"


namespace dl::protocol::rule_block {
namespace {
std::uint32_t LoadLe32(const std::uint8_t* p) noexcept {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
}  // namespace

std::wstring MappingName(std::uint32_t id) {
  static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
  std::wstring name = kMappingNamePrefix;
  for (int shift = 28; shift >= 0; shift -= 4) name += kDigits[(id >> shift) & 0xFu];
  return name;
}

RuleBlockReader::RuleBlockReader(const void* view, std::size_t viewSize) noexcept {
  if (!view || viewSize < kFirstRecordOffset) return;
  const auto* bytes = static_cast<const std::uint8_t*>(view);
  const std::uint32_t declared = LoadLe32(bytes + kSizeFieldOffset);
  if (declared <= kFirstRecordOffset || declared > viewSize) return;
  data_ = bytes;
  size_ = declared;
}

std::uint32_t RuleBlockReader::ReadU32At(std::size_t pos) const {
  if (pos > size_ || size_ - pos < kFieldSize) throw RuleBlockError("field outside the block");
  return LoadLe32(data_ + pos);
}

std::uint32_t RuleBlockReader::U32(RecordPos record, std::size_t field) const {
  if (record > size_ || field > size_) throw RuleBlockError("record outside the block");
  return ReadU32At(record + field);
}

std::uint32_t RuleBlockReader::Count(RecordPos record, std::size_t field) const {
  const std::int32_t count = I32(record, field);
  if (count < 0) throw RuleBlockError("negative count");
  return static_cast<std::uint32_t>(count);
}

std::size_t RuleBlockReader::Target(RecordPos record, std::int32_t offset) const {
  // Offsets are signed: a record may point back as well as forward.
  const std::int64_t target = static_cast<std::int64_t>(record) + offset;
  if (target < static_cast<std::int64_t>(kFirstRecordOffset) ||
      target > static_cast<std::int64_t>(size_))
    throw RuleBlockError("offset outside the block");
  return static_cast<std::size_t>(target);
}

std::optional<RecordPos> RuleBlockReader::Link(RecordPos record, std::size_t field, WalkBudget& walk) const {
  const std::int32_t offset = I32(record, field);
  if (offset == 0) return std::nullopt;
  const std::size_t target = Target(record, offset);
  if (walk.remaining == 0) throw RuleBlockError("record chain longer than the block");
  --walk.remaining;
  // The type field must be there; further fields are checked as they are read.
  (void)ReadU32At(target);
  return target;
}

std::optional<std::string_view> RuleBlockReader::Ansi(RecordPos record, std::size_t field) const {
  const std::int32_t offset = I32(record, field);
  if (offset == 0) return std::nullopt;
  const std::size_t at = Target(record, offset);
  const std::size_t length = ReadU32At(at);
  const std::size_t chars = at + kStringLengthSize;
  // The characters and their terminator must lie inside the block.
  if (length >= size_ - chars) throw RuleBlockError("string outside the block");
  if (data_[chars + length] != 0) throw RuleBlockError("string without its terminator");
  return std::string_view(reinterpret_cast<const char*>(data_ + chars), length);
}

std::optional<std::u16string> RuleBlockReader::Utf16(RecordPos record, std::size_t field) const {
  const std::int32_t offset = I32(record, field);
  if (offset == 0) return std::nullopt;
  const std::size_t at = Target(record, offset);
  const std::size_t units = ReadU32At(at);
  const std::size_t chars = at + kStringLengthSize;
  if (units > (size_ - chars) / 2) throw RuleBlockError("string outside the block");
  std::u16string text(units, u'\0');
  for (std::size_t i = 0; i < units; ++i)
    text[i] = static_cast<char16_t>(data_[chars + 2 * i] | data_[chars + 2 * i + 1] << 8);
  return text;
}

}  // namespace dl::protocol::rule_block
