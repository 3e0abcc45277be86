#include "databuilder/ContextModelBuilder.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <unordered_map>

namespace Kestova::DataBuilder {

namespace {

// Pair scores of one kind of pair counts (keys "previous TAB next"), with
// P(next) taken from how often each later element appears in the pairs.
void addPairs(const std::unordered_map<std::string, double>& pairs, const std::string& before,
              const std::string& after, const ContextOptions& options,
              ContextFileContents& contents) {
  std::unordered_map<std::string, double> starts, ends;
  double total = 0;
  for (const auto& [key, count] : pairs) {
    const std::size_t tab = key.find('\t');
    starts[key.substr(0, tab)] += count;
    ends[key.substr(tab + 1)] += count;
    total += count;
  }
  for (const auto& [key, count] : pairs) {
    if (count < options.minimumPairCount) continue;
    const std::size_t tab = key.find('\t');
    std::string previous = key.substr(0, tab), next = key.substr(tab + 1);
    const double probability = ends[next] / total;
    const double conditional =
        (count + options.smoothing * probability) / (starts[previous] + options.smoothing);
    const double score =
        std::clamp(std::log10(conditional / probability), -options.scoreLimit, options.scoreLimit);
    contents.pairs.push_back({before + previous, after + next, score});
  }
}

}  // namespace

ContextFileContents buildContextModel(const TextCounts& counts, const ContextOptions& options) {
  ContextFileContents contents;
  contents.weight = options.weight;
  contents.characterWeight = options.characterWeight;
  if (options.characterWeight != 0) {
    addPairs(counts.meetings, std::string(ContextFileMarkers::kWordEnd),
             std::string(ContextFileMarkers::kWordStart), options, contents);
  }
  // How often each word is followed by anything (the start of a run counts
  // as a word).
  std::unordered_map<std::string, double> starts;
  for (const auto& [key, count] : counts.pairs) starts[key.substr(0, key.find('\t'))] += count;
  const double tokens = std::max(counts.tokens, 1.0);
  const double limit = options.scoreLimit;
  for (const auto& [word, count] : starts) {
    contents.words.push_back(
        {word, std::clamp(options.backoffScale *
                              std::log10(options.smoothing / (count + options.smoothing)),
                          -limit, 0.0)});
  }
  for (const auto& [key, count] : counts.pairs) {
    if (count < options.minimumPairCount) continue;
    const std::size_t tab = key.find('\t');
    std::string previous = key.substr(0, tab), next = key.substr(tab + 1);
    auto unigram = counts.words.find(next);
    if (unigram == counts.words.end()) continue;
    const double probability = unigram->second / tokens;
    const double conditional =
        (count + options.smoothing * probability) / (starts[previous] + options.smoothing);
    const double score = std::clamp(std::log10(conditional / probability), -limit, limit);
    contents.pairs.push_back({std::move(previous), std::move(next), score});
  }
  return contents;
}

}  // namespace Kestova::DataBuilder
