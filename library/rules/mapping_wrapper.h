#pragma once
// A read-only view of a shared block that the main program created: the service block
// (by name and size) or a rule block (by id, sized by its own first field). The view's
// real size is kept, so that every reader can check what it reads against it.
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "library/model/interfaces.h"
#include "platform/handles.h"

namespace dl::rules {

struct IMappingWrapper : virtual model::IInterface {
  static constexpr model::Guid kIid = model::MakeGuid("{6E0A3F52-8C1D-4B7A-9E25-3D4C5B6A7F81}");
  [[nodiscard]] virtual bool Valid() const noexcept = 0;
  // The view, past the size field for a rule block.
  [[nodiscard]] virtual const void* GetPointer() const noexcept = 0;
  // The view from its first byte, and how many bytes of it may be read.
  [[nodiscard]] virtual const void* ViewBase() const noexcept = 0;
  [[nodiscard]] virtual std::size_t ViewSize() const noexcept = 0;
};

class TMappingWrapper final : public model::TInterfacedObject, public virtual IMappingWrapper {
 public:
  // Opens the named mapping for reading and maps `size` bytes.
  TMappingWrapper(const wchar_t* name, std::size_t size) noexcept;
  // Opens the rule block with this id; maps as many bytes as its size field says,
  // when the mapping really has them.
  explicit TMappingWrapper(std::uint32_t id) noexcept;

  [[nodiscard]] bool Valid() const noexcept override { return FMapping && FPointer; }
  [[nodiscard]] const void* GetPointer() const noexcept override;
  [[nodiscard]] const void* ViewBase() const noexcept override { return FPointer.get(); }
  [[nodiscard]] std::size_t ViewSize() const noexcept override { return viewSize_; }
  [[nodiscard]] std::uint32_t Id() const noexcept { return FId; }

 protected:
  void* FindInterface(const model::Guid& iid) noexcept override;

 private:
  bool Map(std::size_t size) noexcept;

  std::uint32_t FId = 0;
  platform::UniqueHandle FMapping;
  platform::UniqueView FPointer;
  std::size_t viewSize_ = 0;
};

}  // namespace dl::rules
