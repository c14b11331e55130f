#include "tools/devcenter/rules_watcher.h"

namespace dl::devcenter {

RulesWatcher::RulesWatcher(std::wstring path, RuleBlockPublisher& publisher, Recorder& rec)
    : path_(std::move(path)), publisher_(publisher), rec_(rec) {}

RulesWatcher::Stamp RulesWatcher::Look() const {
  Stamp s;
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!::GetFileAttributesExW(path_.c_str(), GetFileExInfoStandard, &data)) return s;
  s.exists = true;
  s.written = data.ftLastWriteTime;
  s.size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return s;
}

bool RulesWatcher::PublishNow() {
  seen_ = Look();
  try {
    const RulesFile rules = LoadRulesFile(path_);
    const std::uint32_t id = publisher_.Publish(rules);
    rec_.Emit("rules_published",
              {{"file", Utf8(path_)}, {"id", id}, {"size", publisher_.CurrentSize()}, {"records", rules.records.size()}});
    return true;
  } catch (const RulesFileError& e) {
    rec_.Emit("rules_error", {{"file", Utf8(path_)}, {"line", e.Line()}, {"error", e.What()},
                              {"message", e.what()}, {"kept_id", publisher_.CurrentId()}});
  } catch (const std::exception& e) {
    rec_.Emit("rules_error", {{"file", Utf8(path_)}, {"error", e.what()}, {"kept_id", publisher_.CurrentId()}});
  }
  return false;
}

bool RulesWatcher::CheckForChange() {
  const Stamp now = Look();
  if (now.exists == seen_.exists && now.size == seen_.size &&
      ::CompareFileTime(&now.written, &seen_.written) == 0)
    return false;
  return PublishNow();
}

}  // namespace dl::devcenter
