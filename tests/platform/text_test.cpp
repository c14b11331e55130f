// Lines of 8-bit text as the host's log, the devcenter and the probe programs read them.
#include "platform/text.h"

#include <gtest/gtest.h>

namespace {
using dl::platform::SplitLines;
using Lines = std::vector<std::string>;

TEST(SplitLines, BreaksAtLineFeedsAndDropsTheCarriageReturnBeforeThem) {
  struct Case {
    const char* text;
    Lines lines;
  };
  const Case cases[] = {
      {"", {}},
      {"one", {"one"}},
      {"one\r\ntwo\r\n", {"one", "two"}},  // a final break starts no further line
      {"one\ntwo", {"one", "two"}},
      {"a\n\nb\r\n\r\n", {"a", "", "b", ""}},  // empty lines are kept
      {"\n", {""}},
      {"x\r\ry\r", {"x\r\ry"}},  // only the one "\r" right before the break (or the end) goes
      {"k=v\r", {"k=v"}},
  };
  for (const Case& c : cases) EXPECT_EQ(SplitLines(c.text), c.lines) << '"' << c.text << '"';
}

}  // namespace
