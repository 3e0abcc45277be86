#include "models/ModuleLog.h"

#include <gtest/gtest.h>

#include <string>
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

}  // namespace
}  // namespace Kestova
