#pragma once
// A machine-readable record of what happened: one JSON object per line, to
// stdout and, when given, to a log file.
#include <fstream>
#include <mutex>
#include <string>

#include <nlohmann/json.hpp>

namespace dl::devcenter {

class Recorder {
 public:
  // Throws when the log file cannot be created.
  explicit Recorder(const std::wstring& logPath);

  // Adds "event" and "ms" (since the recorder was made) and writes the line. Any thread.
  void Emit(const std::string& event, nlohmann::json fields = nlohmann::json::object());

 private:
  unsigned long long start_;
  std::mutex mutex_;  // the messenger server records from its own thread
  std::ofstream file_;
};

// UTF-8 text of a wide string, for JSON.
std::string Utf8(const std::wstring& text);

}  // namespace dl::devcenter
