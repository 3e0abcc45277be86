#ifndef KESTOVA_GRID_CONTEXTMODEL_H_
#define KESTOVA_GRID_CONTEXTMODEL_H_

#include <cstdint>
#include <string_view>

namespace Palisar::Lattivor2 {

// Scores of word pairs for the walk: how much more (or less) likely a phrase
// value is right after another one than on its own, as a log10 ratio. The
// walk adds these to the phrases' own scores, so that the text of one node
// can decide the choice at its neighbour.
//
// Words are looked up once (wordId) and then scored by id. A value the model
// does not know gets kUnknownWord; a pair the model does not list backs off
// to a score that depends on the earlier word only, and any pair with an
// unknown earlier word scores 0.
class ContextModel {
 public:
  using WordId = std::uint32_t;
  static constexpr WordId kUnknownWord = 0xFFFFFFFFu;

  virtual ~ContextModel() = default;

  // The id of a phrase value, or kUnknownWord.
  virtual WordId wordId(std::string_view value) const = 0;
  // The id that stands for the start of a sentence (and for whatever breaks
  // the context, such as punctuation), or kUnknownWord.
  virtual WordId sentenceStart() const = 0;
  // log10 P(next | previous) - log10 P(next), backed off for pairs the
  // model does not list; 0 when previous is unknown.
  virtual double pairScore(WordId previous, WordId next) const = 0;
  // How much the pair scores count against the phrases' own scores.
  virtual double weight() const { return 1.0; }
};

}  // namespace Palisar::Lattivor2

#endif  // KESTOVA_GRID_CONTEXTMODEL_H_
