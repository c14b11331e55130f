#include "library/model/error.h"

#include "library/model/text_util.h"

namespace dl::model {

Error::Error(std::wstring message)
    : std::runtime_error(WideToUtf8(message)), message_(std::move(message)) {}

}  // namespace dl::model
