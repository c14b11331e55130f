// One enum carries every code of the service message, for every sender and handler: two
// codes with one number would make a handler act on the other's request.
#include "protocol/service_codes.h"

#include <gtest/gtest.h>

#include <set>

namespace {
using namespace dl::protocol;

TEST(ServiceCodes, EveryCodeHasItsOwnNumber) {
  const ServiceCode codes[] = {
      kSvcConsiderWindow,   kSvcUnregisterWindow, kSvcCaptionChanged,     kSvcQueryHookInPlace,
      kSvcNoninvasiveAfter, kSvcConsiderLater,    kSvcRestoreHook,        kSvcSetCapture,
      kSvcReleaseCapture,   kSvcHookInPlace,      kSvcReleaseTrampoline,  kSvcUnhookThreadItem,
      kSvcRefreshWindowState, kSvcHostReady,      kSvcInstallMouseHook,   kSvcUninstallMouseHook,
      kSvcDebugEntryStateQuery, kSvcDebugEntryStateReply,
      kSvcAttachComplete,   kSvcRefreshFrameIcons, kSvcCloakWindow,       kSvcUncloakWindow,
  };
  std::set<std::uintptr_t> seen;
  for (ServiceCode code : codes) EXPECT_TRUE(seen.insert(code).second) << "code " << code << " twice";
}

}  // namespace
