#include "tools/devcenter/recorder.h"

#include <windows.h>

#include <cstdio>
#include <stdexcept>

#include "platform/text.h"

namespace dl::devcenter {

std::string Utf8(const std::wstring& text) { return platform::WideToUtf8(text); }

Recorder::Recorder(const std::wstring& logPath) : start_(::GetTickCount64()) {
  if (!logPath.empty()) {
    file_.open(logPath.c_str(), std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file_) throw std::runtime_error("cannot create the log file " + Utf8(logPath));
  }
}

void Recorder::Emit(const std::string& event, nlohmann::json fields) {
  nlohmann::json line = nlohmann::json::object();
  line["event"] = event;
  const ULONGLONG now = ::GetTickCount64();
  line["ms"] = now - start_;
  // The system tick too, so that a line can be set against times taken in other processes.
  line["tick"] = now;
  for (auto& [key, value] : fields.items()) line[key] = value;
  const std::string text = line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
  std::lock_guard lock(mutex_);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  if (file_) {
    file_ << text;
    file_.flush();
  }
}

}  // namespace dl::devcenter
