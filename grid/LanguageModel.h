// The interface every language model implements (the built-in phrase
// database, the user's phrase files, the composite model) and the value they
// answer with. The reading grid asks its model through it; nothing else
// about a model is visible to the grid.
//
// The models implement it in models/ (ParselessLM, UserPhrasesLM,
// KestovaLM); tests and tools may give the grid a model of their own.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Palisar::Lattivor2 {

// What a language model returns for a reading.
struct ScoredPhrase {
  std::string value;  // the text to output
  double score = 0;   // log10 probability; higher is better
  // The value as it stood in its source, before replacement or macro
  // expansion; empty unless the composite model fills it.
  std::string rawValue;
  // The user's own choice: a phrase of their phrase file or a word learnt
  // from their picks. The context walk never lets a pair score overrule it.
  bool fromUser = false;
  // Ranked first because the user's picks taught it (a learnt word).
  bool learnt = false;

  ScoredPhrase() = default;
  ScoredPhrase(std::string v, double s, std::string raw = {}, bool user = false)
      : value(std::move(v)), score(s), rawValue(std::move(raw)), fromUser(user) {}

  bool operator==(const ScoredPhrase&) const = default;
};

// Every language model answers look-ups by reading: the composed Bopomofo of
// one or more syllables joined by "-", or a special reading beginning with "_".
class LanguageModel {
 public:
  virtual ~LanguageModel() = default;
  // Every phrase stored under exactly this reading; empty if none.
  virtual std::vector<ScoredPhrase> getScoredPhrases(std::string_view reading) = 0;
  // Whether getScoredPhrases would return anything.
  virtual bool hasScoredPhrases(std::string_view reading) = 0;
};

}  // namespace Palisar::Lattivor2
