#include "tools/devcenter/main_events.h"

#include <stdexcept>

#include "protocol/object_names.h"

namespace dl::devcenter {
namespace {
platform::UniqueHandle MakeEvent(const wchar_t* name) {
  platform::UniqueHandle event(::CreateEventW(nullptr, FALSE, FALSE, name));
  if (!event) throw std::runtime_error("cannot create a named event");
  return event;
}
}  // namespace

MainEvents::MainEvents()
    : startup_(MakeEvent(protocol::kStartupEventName)),
      shutdown_(MakeEvent(protocol::kShutdownEventName)),
      needRelogin_(MakeEvent(protocol::kNeedReloginEventName)) {}

void MainEvents::Reset() noexcept {
  ::ResetEvent(startup_.get());
  ::ResetEvent(shutdown_.get());
  ::ResetEvent(needRelogin_.get());
}

void MainEvents::RequestShutdown() noexcept { ::SetEvent(shutdown_.get()); }

bool TakeSignal(HANDLE event) noexcept { return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

}  // namespace dl::devcenter
