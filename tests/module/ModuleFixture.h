// Loads the built module into a TestHost over a private HOME and data root.
// The module keeps its core for the life of the process, as inside gcin, so
// each test runs in a process of its own (CTest runs every case separately).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "testhost/TestEnvironment.h"
#include "testhost/TestHost.h"

namespace Kestova {

class ModuleFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    environment_.activate();
    environment_.writePhraseFile(TestEnvironment::samplePhrases());
    std::string error;
    host_ = TestHost::load(KESTOVA_MODULE_PATH, &error);
    ASSERT_TRUE(host_) << error;
  }

  TestHost& host() { return *host_; }
  TestEnvironment& environment() { return environment_; }
  const std::filesystem::path& home() const { return environment_.home(); }

 private:
  TestEnvironment environment_;
  std::unique_ptr<TestHost> host_;
};

}  // namespace Kestova
