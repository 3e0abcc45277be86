#include "models/KestovaLM.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>
#include <string>
#include <vector>

#include "base/ModuleLog.h"
#include "text/Utf8.h"

namespace Kestova {

using Palisar::Lattivor2::ScoredPhrase;

namespace {

constexpr std::string_view kSpaceReading = " ";
constexpr std::string_view kMacroPrefix = "MACRO@";
// The score the phrase data gives to macro names.
constexpr double kMacroScore = -8;
// How far a user's single character ranks above the best built-in one.
constexpr double kUserBoost = 1e-9;
// The score a learnt word the sources lack starts from.
constexpr double kLowestScore = -8;

}  // namespace

void KestovaLM::filter(const std::vector<ScoredPhrase>& input, const StringSet& excluded,
                       ViewSet& inserted, std::vector<ScoredPhrase>& output, bool& expanded,
                       bool fromUser) {
  // A syllable can bring hundreds of phrases: grow the list and the set once.
  // The list must not move its elements below: inserted views their values.
  output.reserve(output.size() + input.size());
  inserted.reserve(inserted.size() + input.size());
  for (const ScoredPhrase& phrase : input) {
    // Exclusion looks at the value as the source has it.
    if (excluded.contains(phrase.value)) continue;
    std::string value = phrase.value;
    if (replacementEnabled_) {
      std::string replacement = replacements_.replacementFor(value);
      if (!replacement.empty() && replacement != value) value = std::move(replacement);
    }
    if (macroExpander_) {
      std::string expansion = macroExpander_(value);
      if (expansion != value) {
        value = std::move(expansion);
        expanded = true;
      }
    }
    // A macro name the expander did not know is never shown.
    if (phrase.score == kMacroScore && value.size() > kMacroPrefix.size() &&
        value.starts_with(kMacroPrefix)) {
      continue;
    }
    // The set keeps a view of the listed value, so list it first and take
    // it back if it turns out to be a repeat.
    output.emplace_back(std::move(value), phrase.score, phrase.value, fromUser);
    if (!inserted.insert(output.back().value).second) output.pop_back();
  }
}

std::vector<ScoredPhrase> KestovaLM::getScoredPhrases(std::string_view reading) {
  if (reading == kSpaceReading) return {ScoredPhrase(std::string(kSpaceReading), 0)};
  followLearntWords();
  if (auto cached = cache_.find(reading); cached != cache_.end()) return cached->second;

  bool expanded = false;
  std::vector<ScoredPhrase> phrases = lookUp(reading, expanded);
  if (expanded || phrases.size() > kCachedPhraseLimit) return phrases;
  if (cachedPhrases_ + phrases.size() > kCachedPhraseLimit) forgetLookUps();
  cachedPhrases_ += phrases.size();
  cache_.emplace(reading, phrases);
  return phrases;
}

void KestovaLM::forgetLookUps() {
  cache_.clear();
  cachedPhrases_ = 0;
}

void KestovaLM::followLearntWords() {
  const std::uint64_t version = learntWords_ ? learntWords_->version() : 0;
  if (version == learntVersion_) return;
  learntVersion_ = version;
  forgetLookUps();
}

void KestovaLM::setLearntWords(std::shared_ptr<const LearntWords> words) {
  learntWords_ = std::move(words);
  learntVersion_ = learntWords_ ? learntWords_->version() : 0;
  forgetLookUps();
}

void KestovaLM::rankLearntWords(std::string_view reading,
                                std::vector<ScoredPhrase>& phrases) const {
  if (!learntWords_ || learntWords_->empty()) return;
  const std::vector<LearntWords::Word> learnt = learntWords_->wordsOf(reading);
  if (learnt.empty()) return;
  const bool singleSyllable = reading.find('-') == std::string_view::npos;
  if (singleSyllable && phrases.empty()) return;
  double top = phrases.empty() ? kLowestScore : std::numeric_limits<double>::lowest();
  for (const ScoredPhrase& phrase : phrases) top = std::max(top, phrase.score);
  // Strongest first, each ahead of the ones after it.
  std::size_t front = 0;
  for (std::size_t rank = 0; rank < learnt.size(); ++rank) {
    const LearntWords::Word& word = learnt[rank];
    auto found = std::find_if(phrases.begin() + static_cast<std::ptrdiff_t>(front), phrases.end(),
                              [&](const ScoredPhrase& p) { return p.value == word.value; });
    if (found == phrases.end()) {
      // A word of several syllables the sources lack is what the user
      // made of a word they broke with their picks: it is theirs now.
      if (singleSyllable ||
          Utf8::characterCount(word.value) != LearntWords::syllableCount(reading)) {
        continue;
      }
      found = phrases.insert(phrases.end(), ScoredPhrase(word.value, top, word.value));
    }
    const double above = static_cast<double>(learnt.size() - rank);
    // A learnt word scores as a user's phrase does (0) while it is fresh,
    // less as other picks wear it away, and never less than the boost
    // above its reading's best phrase.
    found->score = singleSyllable ? top + kUserBoost * (1 + above)
                                  : std::max(top + kLearntBoost * word.weight,
                                             -kLearntFade * (1 - word.weight)) +
                                        kUserBoost * above;
    found->fromUser = true;
    found->learnt = true;
    std::rotate(phrases.begin() + static_cast<std::ptrdiff_t>(front), found, found + 1);
    ++front;
  }
}

std::vector<ScoredPhrase> KestovaLM::lookUp(std::string_view reading, bool& expanded) {
  StringSet excluded;
  // The de-duplication set's nodes come from a buffer on the stack, enough
  // for the phrases of the commonest syllables; only longer lists touch the
  // heap. Both output lists below outlive the set's use.
  std::array<std::byte, 32 * 1024> buffer;
  std::pmr::monotonic_buffer_resource arena(buffer.data(), buffer.size());
  ViewSet inserted(&arena);
  if (excludedPhrases_.hasScoredPhrases(reading)) {
    for (ScoredPhrase& phrase : excludedPhrases_.getScoredPhrases(reading)) {
      excluded.insert(std::move(phrase.value));
    }
  }

  std::vector<ScoredPhrase> userInput;
  if (userPhrases_.hasScoredPhrases(reading)) userInput = userPhrases_.getScoredPhrases(reading);
  if (auto added = addedPhrases_.find(reading); added != addedPhrases_.end()) {
    for (const std::string& value : added->second) {
      excluded.erase(value);
      userInput.emplace_back(value, 0.0);
    }
  }
  std::vector<ScoredPhrase> userPhrases;
  if (!userInput.empty()) filter(userInput, excluded, inserted, userPhrases, expanded, true);
  // The built-in look-up answers an empty list for a reading it lacks, so no
  // separate test (a second binary search) is needed.
  std::vector<ScoredPhrase> builtInPhrases;
  filter(builtIn_.getScoredPhrases(reading), excluded, inserted, builtInPhrases, expanded, false);

  // A user's single character should win over the built-in ones of its
  // syllable but not over whole words, so it ranks just above the best
  // built-in score instead of at 0.
  bool singleSyllable = reading.find('-') == std::string_view::npos;
  if (singleSyllable && !builtInPhrases.empty()) {
    double top = std::numeric_limits<double>::lowest();
    for (const ScoredPhrase& phrase : builtInPhrases) top = std::max(top, phrase.score);
    top += kUserBoost;
    for (ScoredPhrase& phrase : userPhrases) {
      phrase = ScoredPhrase(std::move(phrase.value), top, {}, true);
    }
  }

  userPhrases.insert(userPhrases.end(), std::make_move_iterator(builtInPhrases.begin()),
                     std::make_move_iterator(builtInPhrases.end()));
  rankLearntWords(reading, userPhrases);
  return userPhrases;
}

bool KestovaLM::hasScoredPhrases(std::string_view reading) {
  if (reading == kSpaceReading) return true;
  followLearntWords();
  if (auto cached = cache_.find(reading); cached != cache_.end()) return !cached->second.empty();
  if (excludedPhrases_.hasScoredPhrases(reading)) return !getScoredPhrases(reading).empty();
  return userPhrases_.hasScoredPhrases(reading) || addedPhrases_.contains(reading) ||
         builtIn_.hasScoredPhrases(reading) || (learntWords_ && learntWords_->has(reading));
}

void KestovaLM::addUserPhrase(std::string_view reading, std::string_view value) {
  auto added = addedPhrases_.find(reading);
  if (added == addedPhrases_.end()) {
    added = addedPhrases_.emplace(std::string(reading), std::vector<std::string>()).first;
  }
  if (std::find(added->second.begin(), added->second.end(), value) != added->second.end()) return;
  added->second.emplace_back(value);
  forgetLookUps();
}

void KestovaLM::withdrawUserPhrase(std::string_view reading, std::string_view value) {
  auto added = addedPhrases_.find(reading);
  if (added == addedPhrases_.end()) return;
  std::erase(added->second, value);
  if (added->second.empty()) addedPhrases_.erase(added);
  forgetLookUps();
}

bool KestovaLM::closeBuiltInTableIfCutShort() {
  if (builtIn_.mappingIntact()) return false;
  forgetLookUps();
  builtIn_.close();
  return true;
}

void KestovaLM::setReplacementEnabled(bool enabled) {
  if (enabled != replacementEnabled_) forgetLookUps();
  replacementEnabled_ = enabled;
}

void KestovaLM::setMacroExpander(MacroExpander expander) {
  forgetLookUps();
  macroExpander_ = std::move(expander);
}

void KestovaLM::openBuiltInTable(const std::string& path) {
  forgetLookUps();
  builtIn_.close();
  builtIn_.open(path);
}

namespace {

// The lines of a user file that were skipped for not being UTF-8, named
// by number (the first ten of them).
std::string skippedLinesMessage(const std::string& path, const std::vector<size_t>& lines) {
  constexpr size_t kListed = 10;
  std::string message =
      lines.size() == 1 ? std::string("Skipped a line that is not UTF-8: ")
                        : "Skipped " + std::to_string(lines.size()) + " lines that are not UTF-8: ";
  message += ModuleLog::quoted(path);
  message += lines.size() == 1 ? ", line " : ", lines ";
  for (size_t i = 0; i < lines.size() && i < kListed; ++i) {
    if (i > 0) message += ", ";
    message += std::to_string(lines[i]);
  }
  if (lines.size() > kListed) message += " and " + std::to_string(lines.size() - kListed) + " more";
  return message;
}

// A user file that is there but cannot be used (a directory or a FIFO in
// its place, too large, a NUL byte) leaves its model empty; say so, since its
// phrases vanish. A file that is missing or empty is an ordinary state and
// is not reported.
template <typename Model>
void openUserFile(Model& model, const std::string& path) {
  if (path.empty()) return;
  model.open(path);
  const UserFileLoad& load = model.lastLoad();
  if (!load.problem.empty()) {
    ModuleLog::warn("Failed to load: " + ModuleLog::quoted(path) + ": " + load.problem);
  }
  if (!load.malformedLines.empty()) {
    ModuleLog::warn(skippedLinesMessage(path, load.malformedLines));
  }
}

}  // namespace

void KestovaLM::openUserFiles(const std::string& userPhrasesPath,
                              const std::string& excludedPhrasesPath) {
  forgetLookUps();
  addedPhrases_.clear();
  userPhrases_.close();
  excludedPhrases_.close();
  openUserFile(userPhrases_, userPhrasesPath);
  openUserFile(excludedPhrases_, excludedPhrasesPath);
}

void KestovaLM::openReplacementFile(const std::string& path) {
  forgetLookUps();
  replacements_.close();
  openUserFile(replacements_, path);
}

}  // namespace Kestova
