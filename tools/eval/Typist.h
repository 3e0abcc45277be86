// A typist at the key handler, as the module drives it: keys of the
// Standard layout through the state receiver, picks in the candidate
// window, Enter to commit. It learns as the product learns (the pick
// history, and the words of committed picks unless learning is off), so
// kestova-eval can measure what a user meets when they type a text again.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "engine/KeyHandler.h"
#include "engine/StateReceiver.h"
#include "grid/ContextModel.h"
#include "models/KestovaLM.h"
#include "models/LearntWordStore.h"

namespace KestovaEval {

struct TypedSentence {
  std::string gold;
  std::vector<std::string> readings;
};

// What typing and correcting one sentence cost.
struct TypingCost {
  std::size_t picks = 0;      // picks plus page turns
  std::size_t choices = 0;    // picks alone
  std::size_t unfixable = 0;  // characters no candidate made right
};

class Typist {
 public:
  // A session over the database at `dataPath` with the context model (or
  // none) and learning on or off.
  Typist(const std::string& dataPath,
         std::shared_ptr<const Palisar::Lattivor2::ContextModel> context, bool learnWords);

  // Types the sentence's syllables into an empty composition; what the
  // composition shows, and the gold positions of the syllables it took.
  std::string type(const TypedSentence& sentence, std::vector<std::size_t>& accepted);
  // Fixes the composition until it reads as the gold text, the leftmost
  // wrong character first: the cursor after it, the candidate window, the
  // first candidate that makes the text there right (one pick, and one per
  // page of nine candidates turned). A candidate that would undo part of an
  // earlier pick is passed over, as a typist would.
  TypingCost correct(const TypedSentence& sentence, const std::vector<std::size_t>& accepted);
  // Commits the composition (Enter), which is when words are learnt.
  void commit();
  // Drops the composition without committing it.
  void discard();

 private:
  std::vector<char> keysFor(const std::string& reading) const;

  std::shared_ptr<Kestova::KestovaLM> model_;
  std::shared_ptr<Kestova::LearntWordStore> learnt_;
  std::shared_ptr<Kestova::KeyHandler> handler_;
  std::unique_ptr<Kestova::StateReceiver> receiver_;
};

}  // namespace KestovaEval
