// The shared names are composed from the one product GUID: each must come out exactly as the
// main program and every other library copy spell it, or the two sides would never meet.
#include <gtest/gtest.h>

#include <string>

#include "protocol/message_names.h"
#include "protocol/object_names.h"
#include "protocol/rule_block_layout.h"
#include "protocol/service_block_layout.h"

namespace {
using namespace dl::protocol;

struct ComposedName {
  const wchar_t* composed;
  const wchar_t* spelled;
};

TEST(ProductGuid, ComposedNamesHaveTheirExactSpelling) {
  const ComposedName names[] = {
      {kStartupEventName, L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_CC64StartupEvent"},
      {kShutdownEventName, L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_CC64ShutdownEvent"},
      {kNeedReloginEventName, L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_CC64NeedReloginEvent"},
      {kFileLockPrefix, L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_FileLock_"},
      {kLocalStoragePrefix, L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_EALocalStorageV8147_"},
      {kNoninvasiveAtomName, L"{9C036AFE-384D-45E4-A34C-450946964A7D}_Noninvasive"},
      {kRehookedAtomName, L"Rehooked_{9C036AFE-384D-45E4-A34C-450946964A7D}"},
      {kServiceMessageName, L"ServiceMessage_{9C036AFE-384D-45E4-A34C-450946964A7D}"},
      {kHandshakeMessageName, L"Handshake{9C036AFE-384D-45E4-A34C-450946964A7D}"},
      {kWinEventMessageName, L"WinEventMessage_{9C036AFE-384D-45E4-A34C-450946964A7D}"},
      {kTrayMessageName, L"TrayIcon_{9C036AFE-384D-45E4-A34C-450946964A7D}"},
      {rule_block::kMappingNamePrefix, L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_ParamStrings_"},
      {service_block::kMappingName, L"Local\\{9C036AFE-384D-45E4-A34C-450946964A7D}_ServiceMapping_8146"},
  };
  for (const ComposedName& name : names) {
    const std::wstring spelled = name.spelled;
    SCOPED_TRACE(std::string(spelled.begin(), spelled.end()));
    EXPECT_EQ(std::wstring(name.composed), spelled);
  }
}

}  // namespace
