#pragma once
// The Windows side of WM_COPYDATA: sending a byte span, and seeing a received record as a
// bounded span. The system copies cbData bytes into the receiver's address space, so the
// view never reaches beyond what was really delivered; everything inside it is still
// untrusted and goes through a decoder that checks each count.
#include <windows.h>

#include <limits>
#include <optional>
#include <string_view>

namespace dl::platform {

struct CopyDataView {
  ULONG_PTR kind = 0;       // dwData
  std::string_view bytes;   // lpData, cbData
};

// The record a WM_COPYDATA lParam points to, or nullopt when there is none or it claims
// bytes without a buffer. Valid only while the message is being handled (until ReplyMessage).
[[nodiscard]] inline std::optional<CopyDataView> ViewCopyData(LPARAM lParam) noexcept {
  const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
  if (!record) return std::nullopt;
  if (record->cbData == 0) return CopyDataView{record->dwData, {}};
  if (!record->lpData) return std::nullopt;
  return CopyDataView{record->dwData, std::string_view(static_cast<const char*>(record->lpData), record->cbData)};
}

// SendMessageTimeoutW with WM_COPYDATA. True when the call went through (the receiver's
// answer is in *answer); false on a time-out, a dead window or bytes that do not fit a record.
[[nodiscard]] inline bool SendCopyData(HWND target, HWND from, ULONG_PTR kind, std::string_view bytes, UINT flags,
                                       UINT timeoutMs, DWORD_PTR* answer = nullptr) noexcept {
  if (bytes.size() > std::numeric_limits<DWORD>::max()) return false;
  COPYDATASTRUCT record{};
  record.dwData = kind;
  record.cbData = static_cast<DWORD>(bytes.size());
  record.lpData = bytes.empty() ? nullptr : const_cast<char*>(bytes.data());
  DWORD_PTR result = 0;
  const LRESULT ok = ::SendMessageTimeoutW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(from),
                                           reinterpret_cast<LPARAM>(&record), flags, timeoutMs, &result);
  if (answer) *answer = result;
  return ok != 0;
}

}  // namespace dl::platform
