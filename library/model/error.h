#pragma once
// The one exception type of the library. Failures carry a message in the
// system's own words; boundaries catch them and turn them into a missing
// object or a false answer.
#include <stdexcept>
#include <string>
#include <string_view>

namespace dl::model {

class Error : public std::runtime_error {
 public:
  explicit Error(std::wstring message);
  // The message as the system states it (what() holds the same text in UTF-8).
  [[nodiscard]] const std::wstring& Message() const noexcept { return message_; }

 private:
  std::wstring message_;
};

// Raised by TElHashList; collections swallow exactly this kind.
class EElHashListError : public Error {
 public:
  using Error::Error;
};

// Text that cannot be read as the type a parameter key needs.
class EConvertError : public Error {
 public:
  using Error::Error;
};

}  // namespace dl::model
