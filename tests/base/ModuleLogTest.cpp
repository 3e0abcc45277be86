#include "base/ModuleLog.h"
#include "tests/support/LogCapture.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace Kestova {
namespace {

TEST(ModuleLogTest, WritesOneFlushedLinePerEntryToStandardError) {
  ::testing::internal::CaptureStderr();
  ModuleLog::info("Built-in LM: /x");
  ModuleLog::warn("two words");
  ModuleLog::error("bad");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "gcin kestova Info: Built-in LM: /x\n"
            "gcin kestova Warn: two words\n"
            "gcin kestova Error: bad\n");
}

TEST(ModuleLogTest, CaptureCollectsLinesAndRestoresPreviousSink) {
  ScopedLogCapture outer;
  {
    ScopedLogCapture inner;
    ModuleLog::warn("inner");
    EXPECT_EQ(inner.lines(), std::vector<std::string>{"gcin kestova Warn: inner"});
  }
  ModuleLog::info("outer");
  EXPECT_EQ(outer.lines(), std::vector<std::string>{"gcin kestova Info: outer"});
}

// Text from outside (paths, phrases) cannot break an entry into two lines,
// move a terminal's cursor or put bytes that are not UTF-8 into the log.
TEST(ModuleLogTest, EscapesWhatCouldBreakTheLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"plain /home/a b", "plain /home/a b"},
      {"注音 ㄅㄚ", "注音 ㄅㄚ"},
      {"a\nb\rc\td", "a\\nb\\rc\\td"},
      {std::string("nul\0here", 8), "nul\\x00here"},
      {"\x1b[2J\x7f", "\\x1b[2J\\x7f"},
      {"\xb4\xfa\xb8\xd5 big5", "\\xb4\\xfa\\xb8\\xd5 big5"},
      {"cut \xe6\xb8", "cut \\xe6\\xb8"},
      {"c1 \u0085 \u009b", "c1 \\u0085 \\u009b"},
      {"sep \u2028\u2029", "sep \\u2028\\u2029"},
      {"back\\slash \"q\"", "back\\slash \"q\""},
  };
  for (const auto& [text, expected] : cases) {
    EXPECT_EQ(ModuleLog::escaped(text), expected);
  }
  EXPECT_EQ(ModuleLog::formatLine(ModuleLog::Level::Warn, "two\nlines"),
            "gcin kestova Warn: two\\nlines");
  ::testing::internal::CaptureStderr();
  ModuleLog::info("x\ny");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "gcin kestova Info: x\\ny\n");
}

}  // namespace
}  // namespace Kestova
