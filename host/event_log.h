#pragma once
// The host's event log: one ";"-separated line per library call, appended to a
// file shared with other processes through a named mutex.
#include <windows.h>

#include <string>

#include "platform/handles.h"

namespace dl::host {

inline constexpr wchar_t kLogComponent[] = L"ControlCenter64";
inline constexpr wchar_t kLogClass[] = L"TCCApp";

// Logging is on unless the switch value exists and reads as false; read anew for every line.
bool EventLogEnabled();

// The system's message text for an error code, on one line.
std::wstring SystemErrorText(DWORD code);

// component;class;Succeeded|Failed;operation;detail[;$XXXXXXXX-text]
std::wstring FormatLogMessage(const std::wstring& operation, const std::wstring& detail, bool success, DWORD error);

// "yyyy-mm-dd hh:mm:ss.zzz;dlm;8.15.3;" + message + line end, in the ANSI code page.
std::string FormatLogLine(const SYSTEMTIME& localTime, const std::wstring& message);

class EventLog {
 public:
  explicit EventLog(const std::wstring& configFolder);
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;

  [[nodiscard]] const std::wstring& Path() const noexcept { return path_; }

  // Takes the thread's last-error value as it is on entry, for failure lines.
  void Write(const std::wstring& operation, const std::wstring& detail, bool success) noexcept;

 private:
  void Append(const std::string& line);

  std::wstring path_;
  std::wstring lockName_;
  platform::UniqueHandle lock_;  // created on first use, kept until the program ends
};

}  // namespace dl::host
