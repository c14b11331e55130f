#include "protocol/rule_block_writer.h"

#include <limits>
#include <stdexcept>

namespace dl::protocol::rule_block {
namespace {

class BlockBuilder {
 public:
  std::size_t BeginRecord(std::uint32_t type) {
    Align();
    const std::size_t at = bytes_.size();
    bytes_.resize(at + kRecordHeaderSize, 0);
    Put(at + kTypeField, type);
    return at;
  }

  void Put(std::size_t pos, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes_[pos + i] = static_cast<std::uint8_t>(value >> (8 * i));
  }

  // Points the field of the record at `record` to the current end, as an offset from
  // the record's first byte.
  void LinkHere(std::size_t record, std::size_t field) {
    Align();
    Put(record + field, Offset(record, bytes_.size()));
  }

  void Link(std::size_t record, std::size_t field, std::size_t target) {
    Put(record + field, Offset(record, target));
  }

  void Ansi(std::size_t record, std::size_t field, const std::optional<std::string>& text) {
    if (!text) return;
    LinkHere(record, field);
    AppendLength(text->size());
    bytes_.insert(bytes_.end(), text->begin(), text->end());
    bytes_.push_back(0);
  }

  void Utf16(std::size_t record, std::size_t field, const std::optional<std::u16string>& text) {
    if (!text) return;
    LinkHere(record, field);
    AppendLength(text->size());
    for (char16_t unit : *text) {
      bytes_.push_back(static_cast<std::uint8_t>(unit & 0xFFu));
      bytes_.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
  }

  std::vector<std::uint8_t> Finish() {
    if (bytes_.size() > std::numeric_limits<std::uint32_t>::max())
      throw std::length_error("rule block larger than 4 GiB");
    Put(kSizeFieldOffset, static_cast<std::uint32_t>(bytes_.size()));
    return std::move(bytes_);
  }

  [[nodiscard]] std::size_t End() const noexcept { return bytes_.size(); }

 private:
  void Align() {
    while (bytes_.size() % kFieldSize) bytes_.push_back(0);
  }
  void AppendLength(std::size_t length) {
    const std::size_t at = bytes_.size();
    bytes_.resize(at + kStringLengthSize);
    Put(at, static_cast<std::uint32_t>(length));
  }
  static std::uint32_t Offset(std::size_t from, std::size_t to) {
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(to) - static_cast<std::int64_t>(from));
  }

  std::vector<std::uint8_t> bytes_ = std::vector<std::uint8_t>(kFirstRecordOffset, 0);
};

std::size_t WriteCriterion(BlockBuilder& b, const CriterionSpec& c) {
  const std::size_t at = b.BeginRecord(c.type);
  b.Put(at + criterion::kCaptionMode, static_cast<std::uint32_t>(c.captionMode));
  b.Ansi(at, criterion::kPattern, c.pattern);
  return at;
}

std::size_t WriteRule(BlockBuilder& b, const RuleSpec& r) {
  const std::size_t at = b.BeginRecord(r.type);
  b.Put(at + rule::kCriterionCount, static_cast<std::uint32_t>(r.criteria.size()));
  b.Put(at + rule::kChecksum, r.checksum);
  b.Ansi(at, rule::kName, r.name);
  b.Ansi(at, rule::kParams, r.params);
  b.Ansi(at, rule::kSpecialIcons, r.specialIcons);
  std::size_t previous = 0;
  for (const CriterionSpec& c : r.criteria) {
    const std::size_t child = WriteCriterion(b, c);
    if (previous == 0) b.Link(at, rule::kFirstCriterion, child);
    else b.Link(previous, criterion::kNext, child);
    previous = child;
  }
  return at;
}

std::size_t WriteGroup(BlockBuilder& b, const GroupSpec& g) {
  const std::size_t at = b.BeginRecord(kGroup);
  b.Put(at + group::kRuleCount, static_cast<std::uint32_t>(g.rules.size()));
  b.Ansi(at, group::kSkin, g.skin);
  b.Ansi(at, group::kCommonParams, g.commonParams);
  std::size_t previous = 0;
  for (const RuleSpec& r : g.rules) {
    const std::size_t child = WriteRule(b, r);
    if (previous == 0) b.Link(at, group::kFirstRule, child);
    else b.Link(previous, rule::kNext, child);
    previous = child;
  }
  return at;
}

std::size_t WriteTabbedExplorer(BlockBuilder& b, const TabbedExplorerSpec& t) {
  const std::size_t at = b.BeginRecord(kTabbedExplorer);
  b.Put(at + tabbed_explorer::kEnabled, t.enabled ? 1u : 0u);
  b.Utf16(at, tabbed_explorer::kPath, t.path);
  return at;
}

}  // namespace

std::vector<std::uint8_t> WriteRuleBlock(const std::vector<TopLevelSpec>& records) {
  BlockBuilder b;
  std::size_t previous = 0;
  for (const TopLevelSpec& spec : records) {
    const std::size_t at = std::holds_alternative<GroupSpec>(spec)
                               ? WriteGroup(b, std::get<GroupSpec>(spec))
                               : WriteTabbedExplorer(b, std::get<TabbedExplorerSpec>(spec));
    if (previous != 0) b.Link(previous, group::kNext, at);
    previous = at;
  }
  const std::size_t end = b.BeginRecord(kEndOfChain);
  if (previous != 0) b.Link(previous, group::kNext, end);
  return b.Finish();
}

}  // namespace dl::protocol::rule_block
