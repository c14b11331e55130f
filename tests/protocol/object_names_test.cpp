// Names of kernel objects and atoms: the session-local ones must carry the "Local\" prefix
// (a global or bare name would meet another session's objects or need rights we lack), and
// all must differ, since one kernel namespace holds the events and the mappings.
#include "protocol/object_names.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {
using namespace dl::protocol;

TEST(ObjectNames, KernelObjectsAreSessionLocalAndDistinct) {
  const wchar_t* kernelObjects[] = {kStartupEventName, kShutdownEventName, kNeedReloginEventName,
                                    kSingleInstanceName, kFileLockPrefix,  kLocalStoragePrefix};
  std::set<std::wstring> seen;
  for (const wchar_t* name : kernelObjects) {
    const std::wstring text = name;
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    EXPECT_EQ(text.rfind(L"Local\\", 0), 0u);
    EXPECT_EQ(text.find(L'\\', 6), std::wstring::npos) << "a further backslash is not a valid object name";
    EXPECT_TRUE(seen.insert(text).second);
  }
}

TEST(ObjectNames, AtomNamesFitAnAtomAndDiffer) {
  const wchar_t* atoms[] = {kNoninvasiveAtomName, kRehookedAtomName, kParkedTrampolineAtomName,
                            kConsoleObserverAtomName};
  std::set<std::wstring> seen;
  for (const wchar_t* name : atoms) {
    const std::wstring text = name;
    SCOPED_TRACE(std::string(text.begin(), text.end()));
    EXPECT_LT(text.size(), 256u);  // global atoms hold at most 255 characters
    EXPECT_NE(text.front(), L'#') << "a leading # would make it an integer atom";
    EXPECT_TRUE(seen.insert(text).second);
  }
}

}  // namespace
