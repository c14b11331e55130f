#include "host/host_names.h"

namespace dl::host {

UINT ServiceMessage() noexcept {
  static const UINT message = [] {
    UINT registered = ::RegisterWindowMessageW(kServiceMessageName);
    return registered ? registered : kServiceMessageFallback;
  }();
  return message;
}

}  // namespace dl::host
