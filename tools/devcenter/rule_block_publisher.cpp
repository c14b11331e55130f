#include "tools/devcenter/rule_block_publisher.h"

#include <cstring>
#include <stdexcept>

#include "platform/process_modules.h"
#include "protocol/rule_block_layout.h"
#include "protocol/service_block.h"

namespace dl::devcenter {
namespace {
namespace sb = protocol::service_block;

platform::UniqueHandle CreateBlock(const std::wstring& name, std::size_t size) {
  platform::UniqueHandle mapping(::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                                      static_cast<DWORD>(size), name.c_str()));
  if (!mapping) throw std::runtime_error("cannot create a shared block (error " + std::to_string(::GetLastError()) + ")");
  return mapping;
}

// Ids start from the clock, so that a restarted stand-in does not meet mappings that a
// library still holds under the ids of an earlier run.
std::uint32_t FirstId() noexcept {
  const std::uint32_t id = ::GetTickCount() & 0x7FFFFFFFu;
  return id ? id : 1;
}
}  // namespace

RuleBlockPublisher::RuleBlockPublisher() {
  serviceMapping_ = CreateBlock(sb::kMappingName, sb::kSize);
  serviceView_.reset(::MapViewOfFile(serviceMapping_.get(), FILE_MAP_WRITE, 0, 0, sb::kSize));
  if (!serviceView_) throw std::runtime_error("cannot map the service block");
  const auto bytes = sb::WriteServiceBlock({});
  std::memcpy(serviceView_.get(), bytes.data(), bytes.size());
}

std::uint32_t RuleBlockPublisher::Publish(const RulesFile& rules) {
  const std::vector<std::uint8_t> bytes = protocol::rule_block::WriteRuleBlock(rules.records);
  const std::uint32_t id = currentId_ ? currentId_ + 1 : FirstId();
  Block block;
  block.mapping = CreateBlock(protocol::rule_block::MappingName(id), bytes.size());
  block.id = id;
  {
    platform::UniqueView view(::MapViewOfFile(block.mapping.get(), FILE_MAP_WRITE, 0, 0, bytes.size()));
    if (!view) throw std::runtime_error("cannot map a rule block");
    std::memcpy(view.get(), bytes.data(), bytes.size());
  }

  sb::ServiceBlock service;
  const std::wstring folder = rules.regexFolder ? *rules.regexFolder : platform::ExecutableFolder();
  service.regexFolder.assign(folder.begin(), folder.end());
  service.eventLogEnabled = rules.eventLog;
  service.dpi = rules.dpi;
  service.ruleBlockId = id;
  const auto serviceBytes = sb::WriteServiceBlock(service);
  std::memcpy(serviceView_.get(), serviceBytes.data(), serviceBytes.size());

  previous_ = std::move(current_);
  current_ = std::move(block);
  currentId_ = id;
  currentSize_ = bytes.size();
  return id;
}

}  // namespace dl::devcenter
