#include "tools/eval/Typist.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "engine/InputState.h"
#include "engine/Key.h"
#include "engine/KeyHandlerStrings.h"
#include "phonetics/BpmfKeyboardLayout.h"
#include "phonetics/BpmfSyllable.h"
#include "text/Utf8.h"

namespace KestovaEval {

namespace {

using Kestova::Key;
using Kestova::KeyStroke;

std::vector<std::string> charactersOf(std::string_view text) {
  std::vector<std::string> characters;
  for (std::string_view character : Kestova::Utf8::splitCharacters(text)) {
    characters.emplace_back(character);
  }
  return characters;
}

KeyStroke stroke(char character) {
  return KeyStroke::of(Key::fromCharacter(character));
}

}  // namespace

Typist::Typist(const std::string& dataPath,
               std::shared_ptr<const Palisar::Lattivor2::ContextModel> context, bool learnWords)
    : model_(std::make_shared<Kestova::KestovaLM>()),
      learnt_(std::make_shared<Kestova::LearntWordStore>()) {
  model_->openBuiltInTable(dataPath);
  learnt_->configure(learnWords, false);
  model_->setLearntWords(learnt_->words());
  handler_ = std::make_shared<Kestova::KeyHandler>(model_, nullptr,
                                                   std::make_unique<Kestova::KeyHandlerStrings>());
  handler_->setContextModel(std::move(context));
  handler_->setWordLearner(learnt_);
  Kestova::Options options;
  options.learn_words = learnWords;
  handler_->setOptions(options);
  receiver_ = std::make_unique<Kestova::StateReceiver>(handler_);
}

std::vector<char> Typist::keysFor(const std::string& reading) const {
  const Kestova::BpmfSyllable syllable = Kestova::BpmfSyllable::fromComposedText(reading);
  const std::string keys = Kestova::BpmfKeyboardLayout::StandardLayout()->keysForSyllable(syllable);
  std::vector<char> result(keys.begin(), keys.end());
  if (!syllable.hasTone()) result.push_back(Key::kSpace);
  return result;
}

std::string Typist::type(const TypedSentence& sentence, std::vector<std::size_t>& accepted) {
  discard();
  accepted.clear();
  for (std::size_t i = 0; i < sentence.readings.size(); ++i) {
    const std::size_t before = handler_->readingCount();
    for (char key : keysFor(sentence.readings[i])) receiver_->handleKey(stroke(key));
    if (handler_->readingCount() > before) accepted.push_back(i);
  }
  return std::string(receiver_->preeditText());
}

namespace {

// What a correction needs to know of the sentence: the gold text of the
// accepted syllables, their readings, and the spans picked so far.
class FixFinder {
 public:
  FixFinder(const TypedSentence& sentence, const std::vector<std::size_t>& accepted)
      : sentence_(sentence), accepted_(accepted) {
    const auto gold = charactersOf(sentence.gold);
    for (std::size_t i : accepted) target_.push_back(i < gold.size() ? gold[i] : std::string());
  }

  const std::vector<std::string>& target() const { return target_; }

  // Where the candidate's node starts, if it covers `wrong`, holds the
  // readings there and gives their gold text without undoing an earlier pick.
  std::optional<std::size_t> fittingStart(const std::string& reading, const std::string& value,
                                          std::size_t wrong) const {
    const std::size_t length =
        static_cast<std::size_t>(std::count(reading.begin(), reading.end(), '-')) + 1;
    const auto characters = charactersOf(value);
    if (characters.size() != length) return std::nullopt;
    for (std::size_t start = wrong + 1 >= length ? wrong + 1 - length : 0; start <= wrong;
         ++start) {
      if (start + length > target_.size()) break;
      if (readingsAt(start, length) != reading) continue;
      if (!std::equal(characters.begin(), characters.end(), target_.begin() + start)) continue;
      if (undoesEarlierPick(start, length)) continue;
      return start;
    }
    return std::nullopt;
  }

  void picked(std::size_t start, std::size_t length) {
    std::erase_if(fixed_, [&](const auto& span) {
      return start <= span.first && span.second <= start + length;
    });
    fixed_.emplace_back(start, start + length);
  }

 private:
  std::string readingsAt(std::size_t start, std::size_t length) const {
    std::string readings = sentence_.readings[accepted_[start]];
    for (std::size_t k = 1; k < length; ++k) {
      readings += "-" + sentence_.readings[accepted_[start + k]];
    }
    return readings;
  }

  bool undoesEarlierPick(std::size_t start, std::size_t length) const {
    return std::any_of(fixed_.begin(), fixed_.end(), [&](const auto& span) {
      const bool overlaps = start < span.second && span.first < start + length;
      const bool contains = start <= span.first && span.second <= start + length;
      return overlaps && !contains;
    });
  }

  const TypedSentence& sentence_;
  const std::vector<std::size_t>& accepted_;
  std::vector<std::string> target_;
  std::vector<std::pair<std::size_t, std::size_t>> fixed_;
};

}  // namespace

TypingCost Typist::correct(const TypedSentence& sentence,
                           const std::vector<std::size_t>& accepted) {
  TypingCost cost;
  cost.unfixable = sentence.readings.size() - accepted.size();
  FixFinder finder(sentence, accepted);
  const auto& target = finder.target();
  std::vector<bool> givenUp(target.size(), false);
  for (std::size_t round = 0; round < 4 * target.size() + 4; ++round) {
    const auto shown = charactersOf(receiver_->preeditText());
    std::size_t wrong = target.size();
    for (std::size_t j = 0; j < target.size(); ++j) {
      if (!givenUp[j] && (j >= shown.size() || shown[j] != target[j])) {
        wrong = j;
        break;
      }
    }
    if (wrong == target.size()) break;
    // The candidates of the phrase ending after the wrong character.
    handler_->setGridCursor(wrong + 1);
    receiver_->handleKey(stroke(Key::kSpace));
    const auto* choosing = receiver_->stateAs<Kestova::InputStates::ChoosingCandidate>();
    std::optional<std::size_t> chosen, start;
    for (std::size_t c = 0; choosing && c < choosing->candidates.size() && !chosen; ++c) {
      start = finder.fittingStart(choosing->candidates[c].reading, choosing->candidates[c].value,
                                  wrong);
      if (start) chosen = c;
    }
    if (!chosen) {
      if (choosing) receiver_->handleKey(stroke(Key::kEscape));
      givenUp[wrong] = true;
      ++cost.unfixable;
      continue;
    }
    const std::string& reading = choosing->candidates[*chosen].reading;
    const std::size_t length =
        static_cast<std::size_t>(std::count(reading.begin(), reading.end(), '-')) + 1;
    cost.picks += 1 + *chosen / 9;
    ++cost.choices;
    finder.picked(*start, length);
    receiver_->pick(*chosen);
  }
  return cost;
}

void Typist::commit() {
  handler_->setGridCursor(handler_->readingCount());
  receiver_->handleKey(stroke(Key::kEnter));
  receiver_->takeCommitText();
}

void Typist::discard() {
  receiver_->reset();
  receiver_->takeCommitText();
}

}  // namespace KestovaEval
