#pragma once
// The library's event log: lines go to the main program (receiver
// "EventLogger", command 75) through the messenger client, when the switch is
// on. Until a sink is installed, writing does nothing.
#include <cstdint>
#include <string>
#include <string_view>

#include "library/model/interfaces.h"

namespace dl::model {

inline constexpr wchar_t kEventLoggerReceiver[] = L"EventLogger";
inline constexpr std::uint32_t kEventLogCommand = 75;

// Whoever carries commands to the main program (the messenger client).
struct IEventLogSink : virtual IInterface {
  static constexpr Guid kIid = MakeGuid("{5B0E3C57-2A4F-4D1B-9C7E-1F6A8D2E4B90}");
  virtual void SendCommand(std::wstring_view receiver, std::uint32_t command,
                           std::wstring_view data) = 0;
};

[[nodiscard]] bool EventLogEnabled() noexcept;
void SetEventLogEnabled(bool enabled) noexcept;

// Holds a reference to the sink; nullptr removes it.
void SetEventLogSink(IEventLogSink* sink) noexcept;

// "PPPPPPPP;TTTTTTTT;" + text: process and thread id in 8 upper-case hex digits.
[[nodiscard]] std::wstring FormatEventLogLine(std::wstring_view text);

// Never raises: a failing log must not disturb the caller.
void WriteEventLog(std::wstring_view text) noexcept;

}  // namespace dl::model
