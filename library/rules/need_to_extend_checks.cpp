// The process-wide need-to-extend checks: a window that is not visible is still extended
// when one of them wants it (the virtual-desktops plug-in keeps windows of other desktops).
#include <algorithm>
#include <mutex>
#include <vector>

#include "library/rules/rule_dispatcher.h"
#include "platform/callback_guard.h"

namespace dl::rules {
namespace {

struct Checks {
  platform::CriticalSection lock;
  std::vector<TNeedToExtendWindowCheck> list;
};

// Never destroyed: checks are registered by units that may outlive any order of teardown.
Checks& TheChecks() {
  static Checks* checks = new Checks();
  return *checks;
}

}  // namespace

void RegisterNeedToExtendWindowCheck(TNeedToExtendWindowCheck check) {
  if (!check) return;
  Checks& checks = TheChecks();
  std::lock_guard lock(checks.lock);
  checks.list.push_back(check);
}

void UnregisterNeedToExtendWindowCheck(TNeedToExtendWindowCheck check) noexcept {
  Checks& checks = TheChecks();
  std::lock_guard lock(checks.lock);
  checks.list.erase(std::remove(checks.list.begin(), checks.list.end(), check), checks.list.end());
}

bool TRuleDispatcher::NeedToExtend(HWND wnd) {
  std::vector<TNeedToExtendWindowCheck> copy;
  {
    Checks& checks = TheChecks();
    std::lock_guard lock(checks.lock);
    copy = checks.list;
  }
  for (TNeedToExtendWindowCheck check : copy) {
    try {
      if (check(wnd)) return true;
    } catch (...) {
      platform::RecordCallbackFailure("need_to_extend_checks: NeedToExtend");
    }
  }
  return false;
}

}  // namespace dl::rules
