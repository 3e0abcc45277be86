#pragma once

// A small in-memory language model for grid tests and benchmarks: a map from
// reading to phrases, in insertion order, that counts the questions it answers.

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "grid/LanguageModel.h"

namespace KestovaTest {

class FixtureModel : public Palisar::Lattivor2::LanguageModel {
 public:
  FixtureModel& add(std::string reading, std::string value, double score, std::string raw = {}) {
    phrases_[std::move(reading)].emplace_back(std::move(value), score, std::move(raw));
    return *this;
  }

  std::vector<Palisar::Lattivor2::ScoredPhrase> getScoredPhrases(
      std::string_view reading) override {
    ++calls_;
    auto it = phrases_.find(reading);
    if (it == phrases_.end()) return {};
    return it->second;
  }

  bool hasScoredPhrases(std::string_view reading) override {
    ++calls_;
    return phrases_.find(reading) != phrases_.end();
  }

  std::size_t calls() const { return calls_; }
  void resetCalls() { calls_ = 0; }

 private:
  std::map<std::string, std::vector<Palisar::Lattivor2::ScoredPhrase>, std::less<>> phrases_;
  std::size_t calls_ = 0;
};

}  // namespace KestovaTest
