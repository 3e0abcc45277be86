// The interface of the word-pair scores the context walk weighs (Walk.h).
// The models layer implements it over the context file (ContextLM); the grid
// holds a model through shared ownership, set by the key handler. Lookups
// are const and cheap; a model never changes its answers while a grid holds
// it (a changed file comes as a new model).
#pragma once

#include <cstdint>
#include <string_view>

namespace Palisar::Lattivor2 {

// Scores of neighbouring phrases for the walk: how much more (or less)
// likely a phrase value is right after another one than on its own, as a
// log10 ratio. The walk adds these, times weight(), to the phrases' own
// scores, so that the text of one node can decide the choice at its
// neighbour.
//
// A value is looked up once (lookUp) and then scored by its ids: its own
// (the word) and those of its first and last characters. A pair of words the
// model lists scores as listed; otherwise the pair of the earlier word's last
// character and the later word's first character, if listed, scores as
// listed times the model's character weight; otherwise the earlier word's
// back-off score. An earlier word the model does not know scores 0.
class ContextModel {
 public:
  using WordId = std::uint32_t;
  static constexpr WordId kUnknownWord = 0xFFFFFFFFu;

  struct Word {
    WordId word = kUnknownWord;
    WordId first = kUnknownWord;  // the value's first character, as a word start
    WordId last = kUnknownWord;   // its last character, as a word end
  };

  virtual ~ContextModel() = default;

  virtual Word lookUp(std::string_view value) const = 0;
  // What stands for the start of a sentence (and for whatever breaks the
  // context, such as punctuation).
  virtual Word sentenceStart() const = 0;
  virtual double pairScore(const Word& previous, const Word& next) const = 0;
  // How much the pair scores count against the phrases' own scores.
  virtual double weight() const { return 1.0; }
};

}  // namespace Palisar::Lattivor2
