#include "host/event_log.h"

#include <cstdio>

#include "protocol/object_names.h"
#include "protocol/product_names.h"
#include "platform/config_folder.h"
#include "platform/process_modules.h"
#include "platform/registry_value.h"
#include "platform/text.h"

namespace dl::host {
namespace {
constexpr char kProduct[] = "dlm";
constexpr char kVersion[] = "8.15.3";

// Releases the file lock however the write ends.
class HeldMutex {
 public:
  explicit HeldMutex(HANDLE mutex) noexcept : mutex_(mutex) {
    if (mutex_) {
      DWORD rc = ::WaitForSingleObject(mutex_, INFINITE);
      held_ = rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED;
    }
  }
  HeldMutex(const HeldMutex&) = delete;
  HeldMutex& operator=(const HeldMutex&) = delete;
  ~HeldMutex() {
    if (held_) ::ReleaseMutex(mutex_);
  }

 private:
  HANDLE mutex_;
  bool held_ = false;
};
}  // namespace

bool EventLogEnabled() { return platform::ReadRegistryBool(HKEY_CURRENT_USER, protocol::kEventLoggerKey, L"Enabled").value_or(true); }

std::wstring SystemErrorText(DWORD code) {
  wchar_t* buffer = nullptr;
  DWORD n = ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text = n && buffer ? std::wstring(buffer, n) : std::wstring();
  if (buffer) ::LocalFree(buffer);
  // One entry is one line: line ends inside the text become spaces.
  for (auto& c : text)
    if (c == L'\r' || c == L'\n') c = L' ';
  while (!text.empty() && text.back() == L' ') text.pop_back();
  return text;
}

std::wstring FormatLogMessage(const std::wstring& operation, const std::wstring& detail, bool success, DWORD error) {
  std::wstring message = std::wstring(kLogComponent) + L";" + kLogClass + L";" + (success ? L"Succeeded" : L"Failed") +
                         L";" + operation + L";" + detail;
  if (!success) {
    wchar_t code[16];
    std::swprintf(code, std::size(code), L"$%08lX", static_cast<unsigned long>(error));
    message += L";";
    message += code;
    message += L"-" + SystemErrorText(error);
  }
  return message;
}

std::string FormatLogLine(const SYSTEMTIME& t, const std::wstring& message) {
  char stamp[64];
  std::snprintf(stamp, sizeof(stamp), "%04u-%02u-%02u %02u:%02u:%02u.%03u;%s;%s;", t.wYear, t.wMonth, t.wDay, t.wHour,
                t.wMinute, t.wSecond, t.wMilliseconds, kProduct, kVersion);
  return stamp + platform::WideToAnsi(message) + "\r\n";
}

EventLog::EventLog(const std::wstring& configFolder)
    : path_(platform::EventLogPath(configFolder)), lockName_(protocol::kFileLockPrefix + platform::FileNamePart(path_)) {}

void EventLog::Write(const std::wstring& operation, const std::wstring& detail, bool success) noexcept {
  const DWORD error = ::GetLastError();
  try {
    if (!EventLogEnabled()) return;
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    Append(FormatLogLine(now, FormatLogMessage(operation, detail, success, error)));
  } catch (...) {
    // The line is lost; logging never disturbs the run.
  }
}

void EventLog::Append(const std::string& line) {
  if (!lock_) lock_.reset(::CreateMutexW(nullptr, FALSE, lockName_.c_str()));
  HeldMutex held(lock_.get());
  platform::UniqueFileHandle file(::CreateFileW(path_.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                                nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  DWORD written = 0;
  ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

}  // namespace dl::host
