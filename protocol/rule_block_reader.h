#pragma once
// Bounds-checked reading of a rule block that another process wrote. Every offset,
// length and count comes from that process: each one is checked against the view's
// real size before use, and a block that lies (a field or string outside the block, a
// string without its terminator, a chain longer than the block can hold) raises
// RuleBlockError, which readers turn into "no rule".
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "protocol/rule_block_layout.h"

namespace dl::protocol::rule_block {

class RuleBlockError {
 public:
  explicit RuleBlockError(const char* what) noexcept : what_(what) {}
  [[nodiscard]] const char* What() const noexcept { return what_; }

 private:
  const char* what_;
};

// A record's position: bytes from the block's first byte (its size field).
using RecordPos = std::size_t;

// How many more links one walk over the block may follow. A record takes at least
// one field, so an honest walk over distinct records never needs more; a cycle in a
// chain runs out of it.
struct WalkBudget {
  std::size_t remaining = 0;
};

class RuleBlockReader {
 public:
  // `view` is the mapped view from the block's first byte; `viewSize` the number of
  // bytes really mapped there. The block counts as present when its size field is
  // nonzero, holds at least itself and is not larger than the view.
  RuleBlockReader(const void* view, std::size_t viewSize) noexcept;

  [[nodiscard]] bool Valid() const noexcept { return size_ != 0; }
  // The block's own size (0 when not valid).
  [[nodiscard]] std::size_t Size() const noexcept { return size_; }

  [[nodiscard]] RecordPos FirstRecord() const noexcept { return kFirstRecordOffset; }

  [[nodiscard]] std::uint32_t Type(RecordPos record) const { return U32(record, kTypeField); }
  [[nodiscard]] std::uint32_t U32(RecordPos record, std::size_t field) const;
  [[nodiscard]] std::int32_t I32(RecordPos record, std::size_t field) const {
    return static_cast<std::int32_t>(U32(record, field));
  }
  // A count field: negative counts are a lie.
  [[nodiscard]] std::uint32_t Count(RecordPos record, std::size_t field) const;

  [[nodiscard]] WalkBudget NewWalk() const noexcept { return {size_ / kFieldSize + 1}; }

  // The record that the offset field points to, or nothing for offset 0. Each followed
  // link is charged to the walk's budget.
  [[nodiscard]] std::optional<RecordPos> Link(RecordPos record, std::size_t field, WalkBudget& walk) const;

  // The ANSI string the field points to (without its terminator), or nothing for
  // offset 0. The character after the view's end is the terminator zero.
  [[nodiscard]] std::optional<std::string_view> Ansi(RecordPos record, std::size_t field) const;
  // The UTF-16 string the field points to, code unit by code unit.
  [[nodiscard]] std::optional<std::u16string> Utf16(RecordPos record, std::size_t field) const;

 private:
  [[nodiscard]] std::uint32_t ReadU32At(std::size_t pos) const;
  [[nodiscard]] std::size_t Target(RecordPos record, std::int32_t offset) const;

  const std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace dl::protocol::rule_block
