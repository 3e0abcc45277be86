#ifndef KESTOVA_DATABUILDER_CONTEXTMODELBUILDER_H_
#define KESTOVA_DATABUILDER_CONTEXTMODELBUILDER_H_

#include <cstddef>

#include "databuilder/TrainingText.h"
#include "models/ContextFile.h"

namespace Kestova::DataBuilder {

struct ContextOptions {
  // Pairs seen fewer times are left to the back-off.
  double minimumPairCount = 2;
  // The prior weight of the unigram in P(next | previous): P(next | previous)
  // = (c(previous, next) + smoothing P(next)) / (c(previous) + smoothing).
  double smoothing = 20;
  // Pair scores are kept within [-limit, limit].
  double scoreLimit = 3;
  // Multiplies the back-off scores: 0 leaves pairs the text never showed
  // at 0, as if the words were independent.
  double backoffScale = 0;
  // The weight written into the file: how much the pair scores count in the
  // walk against the phrases' own scores.
  double weight = 0.4;
  // The weight of the scores of meeting characters against word pairs; at 0
  // (measured no better on either corpus) they are not written at all.
  double characterWeight = 0;
};

// Pair scores log10 P(next | previous) - log10 P(next) of the kept pairs, and
// per word the score of every pair it starts that is not kept,
// log10(smoothing / (c(word) + smoothing)), scaled by backoffScale. The
// characters where words meet get pair scores the same way, between the
// words "\x01" + last character and "\x02" + first character.
ContextFileContents buildContextModel(const TextCounts& counts, const ContextOptions& options);

}  // namespace Kestova::DataBuilder

#endif  // KESTOVA_DATABUILDER_CONTEXTMODELBUILDER_H_
