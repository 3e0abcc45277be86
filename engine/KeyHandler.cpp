#include "engine/KeyHandler.h"

#include <algorithm>
#include <ctime>
#include <string>
#include <string_view>
#include <utility>

#include "engine/KeyHandlerStrings.h"
#include "notations/ExportFormats.h"
#include "text/Utf8.h"

namespace Kestova {

namespace {

using Palisar::Lattivor2::BestPath;
using Palisar::Lattivor2::GridCandidate;
using Palisar::Lattivor2::ReadingGrid;
using OverrideKind = Palisar::Lattivor2::ReadingGrid::OverrideKind;
using namespace InputStates;

constexpr std::string_view kPunctuationListReading = "_punctuation_list";

// Pick-history timestamps are whole seconds since the epoch.
double currentTimestamp() {
  return static_cast<double>(std::time(nullptr));
}

std::string join(const std::vector<std::string>& parts, std::size_t from, std::size_t to,
                 std::string_view separator) {
  std::string out;
  for (std::size_t i = from; i < to; ++i) {
    if (i > from) out += separator;
    out += parts[i];
  }
  return out;
}

}  // namespace

KeyHandler::KeyHandler(std::shared_ptr<Palisar::Lattivor2::LanguageModel> languageModel,
                       std::shared_ptr<UserPhraseAdder> userPhraseAdder,
                       std::unique_ptr<LocalizedStrings> localizedStrings)
    : languageModel_(std::move(languageModel)),
      grid_(languageModel_),
      userPhraseAdder_(std::move(userPhraseAdder)),
      localizedStrings_(std::move(localizedStrings)),
      pickHistory_(500, 5400.0) {
  if (!localizedStrings_) localizedStrings_ = std::make_unique<KeyHandlerStrings>();
  readingBuffer_.composer.setLayout(BpmfKeyboardLayout::StandardLayout());
}

void KeyHandler::setLayout(const BpmfKeyboardLayout* layout) {
  readingBuffer_.composer.setLayout(layout);
}

const BpmfKeyboardLayout* KeyHandler::layout() const {
  return readingBuffer_.composer.layout();
}

std::size_t KeyHandler::gridCursor() const {
  return grid_.cursor();
}

void KeyHandler::setGridCursor(std::size_t cursor) {
  grid_.moveCursor(std::min(cursor, grid_.readingCount()));
}

std::size_t KeyHandler::readingCount() const {
  return grid_.readingCount();
}

// ---------------------------------------------------------------------------
// Helpers shared by every part of the handler.

bool KeyHandler::hasPhrases(std::string_view reading) const {
  return languageModel_ && languageModel_->hasScoredPhrases(reading);
}

void KeyHandler::walk() {
  walk_ = grid_.bestPath();
  composed_.rebuild(walk_);
}

void KeyHandler::walkAfterEdit(const BestPath& before) {
  walk();
  followSuggestions(before);
}

void KeyHandler::followSuggestions(const BestPath& before) {
  const double now = currentTimestamp();
  // Each round fixes one more node; a composition holds few suggestions.
  for (int round = 0; round < 16; ++round) {
    if (!keepSuggestionsOnWalk() && !applyNewSuggestion(before, now)) return;
    walk();
  }
}

namespace {

// The nodes of `after` that differ from `before` (another node, or another
// value shown), widened by the two nodes after them, whose context keys
// name them: [first, last).
std::pair<std::size_t, std::size_t> changedNodes(const BestPath& before, const BestPath& after) {
  const std::size_t n = after.nodes.size();
  const std::size_t m = before.nodes.size();
  std::size_t first = 0;
  while (first < n && first < m && after.nodes[first] == before.nodes[first] &&
         after.valueAt(first) == before.valueAt(first)) {
    ++first;
  }
  std::size_t kept = 0;
  while (kept < n - first && kept < m - first &&
         after.nodes[n - 1 - kept] == before.nodes[m - 1 - kept] &&
         after.valueAt(n - 1 - kept) == before.valueAt(m - 1 - kept)) {
    ++kept;
  }
  return {first, std::min(n, n - kept + 2)};
}

}  // namespace

bool KeyHandler::applyNewSuggestion(const BestPath& before, double now) {
  const auto [first, last] = changedNodes(before, walk_);
  std::size_t start = 0;
  for (std::size_t k = 0; k < last; ++k) {
    const ReadingGrid::NodePtr& node = walk_.nodes[k];
    const std::size_t nodeStart = start;
    start += node->length;
    if (k < first || node->isOverridden()) continue;
    const PickSuggestion suggestion = pickHistory_.suggestPick(walk_, nodeStart, now);
    if (suggestion.empty()) continue;
    // A word the user taught (or their own phrase) is their latest choice
    // for its readings: the pick history does not overrule it. A
    // suggestion that agrees with what is shown is applied all the same, so
    // that the walk of a later syllable keeps it.
    if (showsUsersChoice(k) && suggestion.value != walk_.valueAt(k)) continue;
    // A suggestion at the start of the composition (or after punctuation)
    // was keyed by no context at all: it is offered, but not kept once the
    // walk of a later syllable prefers another word there.
    const bool keyedByContext = k > 0 && !walk_.nodes[k - 1]->reading.starts_with('_');
    if (applySuggestion(nodeStart, suggestion, keyedByContext)) return true;
  }
  return false;
}

namespace {

bool holdsValue(const ReadingGrid::Node& node, std::string_view value) {
  return std::any_of(node.phrases.begin(), node.phrases.end(),
                     [&](const auto& phrase) { return phrase.value == value; });
}

}  // namespace

// Whether fixing this node would release a node the user picked.
bool KeyHandler::undoesAPick(const ReadingGrid::CrossingNode& entry) const {
  for (std::size_t q = entry.start; q < entry.start + entry.node->length; ++q) {
    for (const ReadingGrid::CrossingNode& other : grid_.nodesCrossing(q)) {
      if (other.node != entry.node && other.node->overrideKind == OverrideKind::HighScore) {
        return true;
      }
    }
  }
  return false;
}

bool KeyHandler::applySuggestion(std::size_t position, const PickSuggestion& suggestion,
                                 bool keep) {
  // The node that takes the suggestion, as overrideAt finds it; it must not
  // undo a pick of the user's by releasing it.
  for (const ReadingGrid::CrossingNode& entry : grid_.nodesCrossing(position)) {
    if (!holdsValue(*entry.node, suggestion.value)) continue;
    if (undoesAPick(entry)) return false;
    const OverrideKind kind =
        suggestion.forceHighScore ? OverrideKind::HighScore : OverrideKind::TopScore;
    if (!grid_.overrideAt(position, GridCandidate{entry.node->reading, suggestion.value, {}},
                          kind)) {
      return false;
    }
    if (keep) suggested_.push_back({entry.node, entry.start, suggestion.value});
    return true;
  }
  return false;
}

bool KeyHandler::showsUsersChoice(std::size_t index) const {
  const ReadingGrid::Node& node = *walk_.nodes[index];
  const std::size_t selected =
      index < walk_.selections.size() ? walk_.selections[index] : node.selected;
  return selected < node.phrases.size() && node.phrases[selected].fromUser;
}

bool KeyHandler::usersChoiceCrosses(std::size_t position, const ReadingGrid::NodePtr& node) const {
  for (const ReadingGrid::CrossingNode& entry : grid_.nodesCrossing(position)) {
    if (entry.node != node && entry.node->phrases.front().fromUser) return true;
  }
  return false;
}

// A suggestion made in this composition stays: when the walk of a later
// syllable leaves its node (a longer word formed around it), the node is
// fixed for good, as the user's pick was.
bool KeyHandler::keepSuggestionsOnWalk() {
  bool changed = false;
  std::erase_if(suggested_, [&](const Suggested& entry) {
    const ReadingGrid::NodePtr node = entry.node.lock();
    // Gone, rebuilt, moved, or released by another pick: nothing to keep.
    if (!node || !node->isOverridden() || node->currentValue() != entry.value ||
        entry.start >= grid_.readingCount() ||
        grid_.column(entry.start).node(node->length) != node) {
      return true;
    }
    // A word the user taught (or their own phrase) across it is their
    // latest choice: the suggestion goes back to competing with its own
    // score, and is kept no more.
    if (usersChoiceCrosses(entry.start, node)) {
      if (node->overrideKind == OverrideKind::HighScore) {
        grid_.overrideAt(entry.start, GridCandidate{node->reading, entry.value, {}},
                         OverrideKind::TopScore);
        changed = true;
      }
      return true;
    }
    if (std::find(walk_.nodes.begin(), walk_.nodes.end(), node) != walk_.nodes.end()) return false;
    if (node->overrideKind == OverrideKind::HighScore) return false;
    changed = grid_.overrideAt(entry.start, GridCandidate{node->reading, entry.value, {}},
                               OverrideKind::HighScore) ||
              changed;
    return false;
  });
  return changed;
}

// The words of the user's own that the walk showed over [start, end) before
// a pick and shows no more: the pick replaced them, and if the commit
// confirms it they are forgotten.
void KeyHandler::noteReplacedWords(const BestPath& before, std::size_t start, std::size_t end) {
  std::size_t position = 0;
  for (std::size_t k = 0; k < before.nodes.size(); ++k) {
    const ReadingGrid::Node& node = *before.nodes[k];
    const std::size_t nodeStart = position;
    position += node.length;
    if (position <= start || nodeStart >= end) continue;
    const std::size_t selected = k < before.selections.size() ? before.selections[k] : 0;
    if (selected >= node.phrases.size() || !node.phrases[selected].fromUser) continue;
    replaced_.emplace_back(node.reading, before.valueAt(k));
  }
}

// A pick of a shorter phrase out of a longer word breaks the word: what the
// user makes of its readings is learnt at the commit, as a word of its own.
void KeyHandler::noteBrokenWord(const BestPath& before, std::size_t position,
                                std::size_t pickedLength) {
  const auto old = before.nodeCovering(position);
  if (!old || old->node->length <= pickedLength) return;
  brokenWords_.push_back({old->end - old->node->length, old->node->length, old->node->reading});
}

// The text the walk shows over exactly [start, start + length), if its nodes
// begin and end there.
std::optional<std::string> KeyHandler::textOver(std::size_t start, std::size_t length) const {
  std::size_t position = 0;
  std::string text;
  for (std::size_t k = 0; k < walk_.nodes.size() && position < start + length; ++k) {
    const std::size_t nodeStart = position;
    position += walk_.nodes[k]->length;
    if (position <= start) continue;
    if (nodeStart < start) return std::nullopt;
    text += walk_.valueAt(k);
  }
  if (position != start + length) return std::nullopt;
  return text;
}

bool KeyHandler::wasPicked(const ReadingGrid::NodePtr& node) const {
  return std::any_of(picked_.begin(), picked_.end(),
                     [&](const auto& weak) { return weak.lock() == node; });
}

// A phrase of several syllables picked at node k. Picked over another value
// learnt under its reading, or committed under it before, the user writes
// both, so the pick is learnt in the company it was made in and does not
// take the reading over. A learnt value it replaced on the screen is worn
// down rather than forgotten, and the pick history still knows where it
// went.
void KeyHandler::learnPickedPhrase(std::size_t k,
                                   std::vector<std::pair<std::string, std::string>>& words,
                                   std::vector<std::pair<std::string, std::string>>& weakened) {
  const ReadingGrid::NodePtr& node = walk_.nodes[k];
  const bool contested =
      committedWords_.hasOtherThan(node->reading, walk_.valueAt(k)) ||
      std::any_of(node->phrases.begin(), node->phrases.end(), [&](const auto& phrase) {
        return phrase.learnt && phrase.value != walk_.valueAt(k);
      });
  auto joined = contested ? joinedCharacters(k, k) : std::nullopt;
  if (!joined) {
    words.emplace_back(node->reading, walk_.valueAt(k));
    return;
  }
  words.push_back(std::move(*joined));
  std::erase_if(replaced_, [&](const auto& word) {
    if (word.first != node->reading) return false;
    weakened.push_back(word);
    return true;
  });
}

void KeyHandler::learnPicks(const std::vector<std::string>& readings,
                            const std::vector<std::string_view>& committed) {
  // Replaced words that the composition shows again are not forgotten.
  std::erase_if(replaced_, [&](const auto& word) {
    for (std::size_t k = 0; k < walk_.nodes.size(); ++k) {
      if (walk_.nodes[k]->reading == word.first && walk_.valueAt(k) == word.second) return true;
    }
    return false;
  });
  std::vector<std::pair<std::string, std::string>> words;
  std::vector<std::size_t> pickedCharacters;  // nodes of one picked character
  std::vector<std::pair<std::string, std::string>> weakened;
  for (std::size_t k = 0; k < walk_.nodes.size(); ++k) {
    const ReadingGrid::NodePtr& node = walk_.nodes[k];
    if (node->overrideKind != OverrideKind::HighScore || node->reading.starts_with('_')) continue;
    // Very unlikely phrases (macros among them) are not learnt, as picks
    // are not remembered.
    if (!wasPicked(node) || !(node->currentPhrase().score > kLearningThreshold)) continue;
    if (node->length == 1) {
      pickedCharacters.push_back(k);
    } else {
      learnPickedPhrase(k, words, weakened);
    }
  }
  learnPickedCharacters(pickedCharacters, words);
  if (!replaced_.empty()) wordLearner_->forgetWords(replaced_);
  if (!weakened.empty()) wordLearner_->weakenWords(weakened);
  for (const BrokenWord& broken : brokenWords_) {
    const auto text = textOver(broken.start, broken.length);
    if (text && Utf8::characterCount(*text) == broken.length) {
      words.emplace_back(broken.reading, *text);
    }
  }
  if (words.empty()) return;
  wordLearner_->learnWords(words);
  keepCommittedText(readings, committed);
}

// A single character is not learnt alone: it would win under its syllable
// everywhere, and picks of it in different words would undo each other (語
// in 索馬利語, 與 in 與這個). Characters picked one after another are learnt
// together as the word the user spelt; a character picked alone is learnt
// with the phrase beside it. Either comes back where the user picked it,
// whatever is learnt later, and the pick history still suggests the
// character in the same context.
void KeyHandler::learnPickedCharacters(const std::vector<std::size_t>& pickedCharacters,
                                       std::vector<std::pair<std::string, std::string>>& words) {
  for (std::size_t i = 0; i < pickedCharacters.size();) {
    std::size_t j = i + 1;
    while (j < pickedCharacters.size() && pickedCharacters[j] == pickedCharacters[j - 1] + 1) ++j;
    if (auto joined = joinedCharacters(pickedCharacters[i], pickedCharacters[j - 1])) {
      words.push_back(std::move(*joined));
    }
    i = j;
  }
}

void KeyHandler::learnFromCommit() {
  if (!options_.learn_words || !wordLearner_) return;
  const std::vector<std::string> readings = grid_.readings();
  const std::vector<std::string_view> committed = Utf8::splitCharacters(composed_.text);
  learnPicks(readings, committed);
  // Every stretch of the committed text is remembered with its readings,
  // for the picks of later compositions to be weighed against.
  if (committed.size() != readings.size()) return;
  for (std::size_t from = 0; from < readings.size(); ++from) {
    std::string reading;
    std::string value;
    for (std::size_t to = from; to < readings.size() && to < from + ReadingGrid::MaxNodeLength;
         ++to) {
      if (readings[to].starts_with('_')) break;
      if (to > from) reading += grid_.separator();
      reading += readings[to];
      value += committed[to];
      if (to > from) committedWords_.add(reading, value);
    }
  }
}

std::optional<std::pair<std::string, std::string>> KeyHandler::joinedCharacters(
    std::size_t first, std::size_t last) const {
  const auto joinable = [&](std::size_t k) {
    return k < walk_.nodes.size() && !walk_.nodes[k]->reading.starts_with('_');
  };
  const auto join = [&](std::size_t from,
                        std::size_t to) -> std::optional<std::pair<std::string, std::string>> {
    std::pair<std::string, std::string> word;
    std::size_t readings = 0;
    for (std::size_t k = from; k <= to; ++k) {
      if (k > from) word.first += grid_.separator();
      word.first += walk_.nodes[k]->reading;
      word.second += walk_.valueAt(k);
      readings += walk_.nodes[k]->length;
    }
    if (readings > kMaxJoinedWordReadings) return std::nullopt;
    return word;
  };
  // Widened by the phrase before it, or the one after it when that is too
  // long or there is none.
  const auto widened = [&](std::size_t& from, std::size_t& to) {
    std::optional<std::pair<std::string, std::string>> word;
    if (from > 0 && joinable(from - 1) && (word = join(from - 1, to))) {
      --from;
    } else if (joinable(to + 1) && (word = join(from, to + 1))) {
      ++to;
    }
    return word;
  };
  std::optional<std::pair<std::string, std::string>> word =
      first != last ? join(first, last) : widened(first, last);
  // Text the user committed before under the same readings would change
  // if this took them over: widened once more, it is learnt in closer
  // company, where it does not reach that text.
  if (word && committedWords_.hasOtherThan(word->first, word->second)) {
    if (auto wider = widened(first, last)) word = std::move(wider);
  }
  return word;
}

namespace {

// The committed text over readings [from, to) with its reading; nothing
// when a special reading (punctuation) lies inside.
std::optional<std::pair<std::string, std::string>> committedWordOver(
    std::size_t from, std::size_t to, const std::vector<std::string_view>& committed,
    const std::vector<std::string>& readings, std::string_view separator) {
  std::pair<std::string, std::string> word;
  for (std::size_t i = from; i < to; ++i) {
    if (readings[i].starts_with('_')) return std::nullopt;
    if (i > from) word.first += separator;
    word.first += readings[i];
    word.second += committed[i];
  }
  return word;
}

// The stretches of `committed` (one character per reading, its phrases
// ending at `committedEnds`) that another walk (`again`, its phrases ending
// at `againEnds`) shows otherwise, each widened to whole committed phrases,
// as words to learn. A single character is widened by the phrase `again`
// put before it (after it, at the start), so that it is learnt in the
// company it lost.
std::vector<std::pair<std::string, std::string>> stretchesWalkedOtherwise(
    std::string_view again, const std::vector<std::size_t>& againEnds,
    const std::vector<std::string_view>& committed, const std::vector<std::size_t>& committedEnds,
    const std::vector<std::string>& readings, std::string_view separator, std::size_t maxReadings) {
  const std::vector<std::string_view> now = Utf8::splitCharacters(again);
  std::vector<std::pair<std::string, std::string>> words;
  if (now.size() != committed.size()) return words;
  const auto startOf = [&](std::size_t k) { return k == 0 ? 0 : againEnds[k - 1]; };
  // The committed phrase boundary at or before `p`, and at or after it.
  const auto boundAtOrBefore = [&](std::size_t p) {
    const auto after = std::upper_bound(committedEnds.begin(), committedEnds.end(), p);
    return after == committedEnds.begin() ? std::size_t{0} : *std::prev(after);
  };
  const auto boundAtOrAfter = [&](std::size_t p) {
    return *std::lower_bound(committedEnds.begin(), committedEnds.end(), p);
  };
  for (std::size_t k = 0; k < againEnds.size(); ++k) {
    const std::size_t start = startOf(k);
    const std::size_t end = againEnds[k];
    if (std::equal(now.begin() + start, now.begin() + end, committed.begin() + start)) continue;
    std::size_t from = boundAtOrBefore(start);
    std::size_t to = boundAtOrAfter(end);
    if (to - from == 1) {
      if (k > 0) {
        from = boundAtOrBefore(startOf(k - 1));
      } else if (k + 1 < againEnds.size()) {
        to = boundAtOrAfter(againEnds[k + 1]);
      }
    }
    if (to - from < 2 || to - from > maxReadings) continue;
    auto word = committedWordOver(from, to, committed, readings, separator);
    if (word && (words.empty() || words.back().first != word->first)) {
      words.push_back(std::move(*word));
    }
  }
  return words;
}

}  // namespace

void KeyHandler::keepCommittedText(const std::vector<std::string>& readings,
                                   const std::vector<std::string_view>& committed) {
  if (committed.size() != readings.size()) return;
  // A word learnt here can change the walk elsewhere in turn; a second
  // round settles what the first one moved.
  for (int round = 0; round < 2; ++round) {
    ReadingGrid grid(languageModel_);
    grid.setContextModel(grid_.contextModel());
    for (const std::string& reading : readings) grid.addReading(reading);
    ComposedText again;
    again.rebuild(grid.bestPath());
    const auto words =
        stretchesWalkedOtherwise(again.text, again.readingEnds, committed, composed_.readingEnds,
                                 readings, grid_.separator(), ReadingGrid::MaxNodeLength);
    if (words.empty()) return;
    wordLearner_->learnWords(words);
  }
}

void KeyHandler::commit(std::string text, const StateCallback& onState) {
  learnFromCommit();
  onState(std::make_unique<Committing>(std::move(text)));
  reset();
}

std::size_t KeyHandler::candidateCursor() const {
  const std::size_t cursor = grid_.cursor();
  const std::size_t count = grid_.readingCount();
  if (count < cursor) return count > 0 ? count - 1 : 0;
  if (cursor != 0 && cursor == count) return cursor - 1;
  if (cursor != 0 && !options_.select_phrase_after_cursor) return cursor - 1;
  return cursor;
}

std::pair<std::size_t, std::size_t> KeyHandler::candidatePhraseBytes() const {
  const ComposedText& composed = composed_;
  const auto covering =
      std::upper_bound(composed.readingEnds.begin(), composed.readingEnds.end(), candidateCursor());
  if (covering == composed.readingEnds.end()) return {0, 0};
  const auto node = static_cast<std::size_t>(covering - composed.readingEnds.begin());
  return {node == 0 ? 0 : composed.byteEnds[node - 1], composed.byteEnds[node]};
}

std::vector<KeyHandler::Candidate> KeyHandler::candidatesAt(std::size_t position) const {
  std::vector<Candidate> candidates;
  for (auto& c : grid_.candidateList(position)) {
    candidates.push_back(
        Candidate{std::move(c.reading), std::move(c.value), std::move(c.rawValue)});
  }
  return candidates;
}

void KeyHandler::ComposedText::rebuild(const BestPath& walk) {
  text.clear();
  readingEnds.clear();
  byteEnds.clear();
  std::size_t readings = 0;
  for (const auto& node : walk.nodes) {
    text += node->currentValue();
    readings += node->length;
    readingEnds.push_back(readings);
    byteEnds.push_back(text.size());
  }
}

// The composed text is kept from the last walk, so that splitting it costs
// a search and two copies however long the composition is.
KeyHandler::ComposedParts KeyHandler::composedPartsAt(std::size_t position) {
  const ComposedText& composed = composed_;
  // The first node that ends after the position.
  const auto after =
      std::upper_bound(composed.readingEnds.begin(), composed.readingEnds.end(), position);
  const std::size_t node = static_cast<std::size_t>(after - composed.readingEnds.begin());
  if (node == composed.readingEnds.size()) return ComposedParts{composed.text, {}, {}};
  const std::size_t nodeStart = node == 0 ? 0 : composed.byteEnds[node - 1];
  const std::size_t readingsBefore = node == 0 ? 0 : composed.readingEnds[node - 1];
  ComposedParts parts;
  std::size_t split = nodeStart;
  if (readingsBefore < position) {
    // The position falls inside this node: as many characters as readings
    // before the position go to the head.
    const std::string_view value =
        std::string_view(composed.text).substr(nodeStart, composed.byteEnds[node] - nodeStart);
    const std::size_t length = composed.readingEnds[node] - readingsBefore;
    const std::size_t characters = Utf8::characterCount(value);
    split += Utf8::offsetAfter(value, std::min(characters, position - readingsBefore));
    if (characters != length && position < grid_.readingCount()) {
      parts.hint = localizedStrings_->cursorBetweenReadings(grid_.reading(position - 1),
                                                            grid_.reading(position));
    }
  }
  parts.head = composed.text.substr(0, split);
  parts.tail = composed.text.substr(split);
  return parts;
}

void KeyHandler::showInputting(const StateCallback& onState) {
  onState(buildInputtingState());
}

void KeyHandler::showCompositionOrEmpty(const StateCallback& onState) {
  if (readingBuffer_.isEmpty() && grid_.readingCount() == 0) {
    reset();
    onState(std::make_unique<EmptyIgnoringPrevious>());
  } else {
    showInputting(onState);
  }
}

std::unique_ptr<Inputting> KeyHandler::buildInputtingState() {
  ComposedParts parts = composedPartsAt(grid_.cursor());
  const std::string typing = readingBuffer_.composer.displayText();
  const std::size_t cursor = parts.head.size() + typing.size();
  // One allocation for the whole text, its head taken over rather than copied.
  std::string buffer = std::move(parts.head);
  buffer.reserve(cursor + parts.tail.size());
  buffer += typing;
  buffer += parts.tail;
  return std::make_unique<Inputting>(std::move(buffer), cursor, std::move(parts.hint));
}

void KeyHandler::reset() {
  readingBuffer_.clear();
  grid_.reset();
  walk_ = BestPath();
  composed_.rebuild(walk_);
  picked_.clear();
  replaced_.clear();
  brokenWords_.clear();
  suggested_.clear();
}

void KeyHandler::commitAll(const StateCallback& onState) {
  // Whatever is half-typed is dropped.
  readingBuffer_.clear();
  commit(std::move(buildInputtingState()->buffer), onState);
}

std::string KeyHandler::layoutName() const {
  const BpmfKeyboardLayout* current = readingBuffer_.composer.layout();
  return current ? current->name() : std::string("Standard");
}

// ---------------------------------------------------------------------------
// The key dispatcher: first the keys every state shares (the feature menu
// and the reading buffer), then the state, then the key.

bool KeyHandler::handle(Key key, const InputState* state, const StateCallback& onState,
                        const ErrorCallback& onError) {
  if (key.ctrl && key.character == '\\') return openFeatureMenu(onState);

  // Modified keys never reach the reading buffer, and neither do bytes
  // outside ASCII, which no layout maps.
  const bool unmodified = !key.shift && !key.ctrl && !key.numpad;
  const char plain =
      unmodified && static_cast<unsigned char>(key.character) < 0x80 ? key.character : 0;
  if (typeIntoReadingBuffer(plain, onState, onError)) return true;

  if (const auto* marking = stateAs<Marking>(state)) {
    return handleMarkingKey(key, plain, *marking, onState, onError);
  }
  if (stateAs<NotEmpty>(state)) return handleComposingKey(key, plain, state, onState, onError);
  return handleIdleKey(key, plain, state, onState, onError);
}

bool KeyHandler::handleIdleKey(Key key, char plain, const InputState* state,
                               const StateCallback& onState, const ErrorCallback& onError) {
  if (plain == Key::kEscape) return false;
  if (key.character == Key::kTab) return rotateCandidate(key.shift, state, onState, onError);
  if (plain == '`' && hasPhrases(kPunctuationListReading)) {
    return openPunctuationList(onState, onError);
  }
  // Cursor keys, deletion and Enter have nothing to act on.
  if (key.character == Key::kDelete || key.character == Key::kBackspace ||
      key.character == Key::kEnter) {
    return false;
  }
  return handleCharacterKey(key, false, state, onState, onError);
}

bool KeyHandler::handleComposingKey(Key key, char plain, const InputState* state,
                                    const StateCallback& onState, const ErrorCallback& onError) {
  if (key.character == Key::kSpace && (key.shift || !options_.choose_candidate_using_space)) {
    return insertSpace(onState, onError);
  }
  if (readingBuffer_.isEmpty() && (plain == Key::kSpace || key.namedKey == NamedKey::Down)) {
    return openCandidateWindow(onState);
  }
  if (plain == Key::kEscape) return handleEscape(onState);
  if (key.character == Key::kTab) return rotateCandidate(key.shift, state, onState, onError);
  switch (key.namedKey) {
    case NamedKey::Left:
    case NamedKey::Right:
    case NamedKey::Home:
    case NamedKey::End:
      return handleCursorKey(key, state, onState, onError);
    default:
      break;
  }
  if (key.character == Key::kDelete || key.character == Key::kBackspace) {
    return handleDeletion(key, onState, onError);
  }
  if (key.character == Key::kEnter) return handleEnter(key, state, onState, onError);
  if (plain == '`' && hasPhrases(kPunctuationListReading)) {
    return openPunctuationList(onState, onError);
  }
  return handleCharacterKey(key, true, state, onState, onError);
}

// Marking takes the composing keys, with its own meaning for the cursor
// keys, Enter and leftover keys (see those), and "?" looks the marked text up.
bool KeyHandler::handleMarkingKey(Key key, char plain, const Marking& marking,
                                  const StateCallback& onState, const ErrorCallback& onError) {
  if (plain == '?') return lookUpMarkedText(marking, onState);
  return handleComposingKey(key, plain, &marking, onState, onError);
}

bool KeyHandler::openFeatureMenu(const StateCallback& onState) {
  // The Empty commits what was composed.
  learnFromCommit();
  reset();
  std::vector<std::unique_ptr<InputState>> states;
  states.push_back(std::make_unique<Empty>());
  states.push_back(std::make_unique<SelectingFeature>());
  onState(std::make_unique<StateSequence>(std::move(states)));
  return true;
}

bool KeyHandler::typeIntoReadingBuffer(char plain, const StateCallback& onState,
                                       const ErrorCallback& onError) {
  if (plain == 0) return false;
  if (options_.keep_invalid_syllable) mendInvalidSyllable(plain);
  BpmfComposer& composer = readingBuffer_.composer;
  if (composer.acceptsKey(plain)) {
    composer.addKey(plain);
    const BpmfSyllable syllable = composer.syllable();
    // A tone completes a syllable, and Space completes one as its first
    // tone; a lone tone waits for the rest.
    if (syllable.hasTone() && (!syllable.isToneMarkerOnly() || plain == Key::kSpace)) {
      composeReading(onState, onError);
    } else {
      showInputting(onState);
    }
    return true;
  }
  if (!composer.isEmpty() && plain == Key::kSpace) {
    composeReading(onState, onError);
    return true;
  }
  return false;
}

// With keep_invalid_syllable a complete syllable (or a lone tone) can sit in
// the reading buffer. A key that the syllable takes once its tone is gone
// replaces the tone: "ㄅㄧㄤˇ" + "ㄠ" continues as "ㄅㄧㄠ".
void KeyHandler::mendInvalidSyllable(char plain) {
  const BpmfSyllable syllable = readingBuffer_.composer.syllable();
  if (!(readingBuffer_.invalidSyllableKept ? syllable.hasTone() : syllable.isToneMarkerOnly())) {
    return;
  }
  BpmfComposer shortened = readingBuffer_.composer;
  shortened.removeLastKey();
  BpmfComposer trial = shortened;
  if (trial.acceptsKey(plain) && trial.addKey(plain) && !trial.syllable().hasTone()) {
    readingBuffer_.invalidSyllableKept = false;
    readingBuffer_.composer = shortened;
  }
}

// ---------------------------------------------------------------------------
// Composing.

void KeyHandler::composeReading(const StateCallback& onState, const ErrorCallback& onError) {
  const std::string reading = readingBuffer_.composer.syllable().toComposedText();
  if (!hasPhrases(reading) || !grid_.addReading(reading)) {
    onError();
    if (options_.keep_invalid_syllable) {
      // Leave the syllable visible so that the user can mend it.
      readingBuffer_.invalidSyllableKept = true;
      showInputting(onState);
      return;
    }
    // The syllable goes, but not silently: the hint says what was typed.
    // With nothing else composed nothing is composed: the notice shows until
    // the next key, which is handled as with nothing composed.
    // When the built-in phrases cannot be used at all, the syllable is not
    // to blame.
    const std::string typed = readingBuffer_.composer.displayText();
    std::string notice = !userPhraseAdder_ || userPhraseAdder_->builtInPhrasesUsable()
                             ? localizedStrings_->notASyllable(typed)
                             : localizedStrings_->builtInPhrasesUnusable(typed);
    readingBuffer_.clear();
    if (grid_.readingCount() == 0) {
      reset();
      onState(std::make_unique<EmptyIgnoringPrevious>(std::move(notice)));
      return;
    }
    auto inputting = buildInputtingState();
    inputting->hint = std::move(notice);
    onState(std::move(inputting));
    return;
  }
  readingBuffer_.clear();
  // The same choice in the same context is suggested again.
  walkAfterEdit(std::exchange(walk_, BestPath()));
  showInputting(onState);
}

bool KeyHandler::insertSpace(const StateCallback& onState, const ErrorCallback& onError) {
  // A half-typed syllable is not committed as raw symbols.
  if (!readingBuffer_.isEmpty() || !grid_.addReading(" ")) {
    onError();
    showInputting(onState);
    return true;
  }
  walk();
  auto inputting = buildInputtingState();
  if (grid_.cursor() < grid_.readingCount()) {
    onState(std::move(inputting));
  } else {
    commit(std::move(inputting->buffer), onState);
  }
  return true;
}

bool KeyHandler::handleEscape(const StateCallback& onState) {
  if (options_.esc_clears_buffer) {
    reset();
  } else {
    // Only a half-typed syllable goes; a second Escape changes nothing.
    readingBuffer_.clear();
  }
  showCompositionOrEmpty(onState);
  return true;
}

bool KeyHandler::handleCursorKey(Key key, const InputState* state, const StateCallback& onState,
                                 const ErrorCallback& onError) {
  const auto* marking = stateAs<Marking>(state);
  if (!marking && !stateAs<Inputting>(state)) return false;

  const std::size_t count = grid_.readingCount();
  const std::size_t anchor = marking ? std::min(marking->anchor, count) : grid_.cursor();
  if (!readingBuffer_.isEmpty()) {
    onError();
    showInputting(onState);
    return true;
  }

  const std::size_t cursor = grid_.cursor();
  switch (key.namedKey) {
    case NamedKey::Left:
      if (cursor > 0) {
        grid_.moveCursor(cursor - 1);
      } else {
        onError();
      }
      break;
    case NamedKey::Right:
      if (cursor < count) {
        grid_.moveCursor(cursor + 1);
      } else {
        onError();
      }
      break;
    case NamedKey::Home:
      grid_.moveCursor(0);
      break;
    default:
      grid_.moveCursor(count);
      break;
  }

  if (key.shift && anchor != grid_.cursor()) {
    onState(buildMarkingState(anchor));
  } else {
    showInputting(onState);
  }
  return true;
}

bool KeyHandler::handleDeletion(Key key, const StateCallback& onState,
                                const ErrorCallback& onError) {
  const bool backspace = key.character == Key::kBackspace;
  const BpmfSyllable syllable = readingBuffer_.composer.syllable();
  if (syllable.isToneMarkerOnly()) {
    readingBuffer_.clear();
  } else if (!syllable.isEmpty()) {
    if (backspace) {
      readingBuffer_.composer.removeLastKey();
      readingBuffer_.invalidSyllableKept = false;
    } else {
      onError();
    }
  } else {
    const std::size_t cursor = grid_.cursor();
    bool removed = false;
    if (!backspace && cursor < grid_.readingCount()) {
      removed = grid_.removeReadingAfter();
    } else if (backspace && cursor > 0) {
      removed = grid_.removeReadingBefore();
    }
    if (!removed) {
      onError();
      showInputting(onState);
      return true;
    }
    walkAfterEdit(std::exchange(walk_, BestPath()));
  }
  showCompositionOrEmpty(onState);
  return true;
}

bool KeyHandler::handleEnter(Key key, const InputState* state, const StateCallback& onState,
                             const ErrorCallback& onError) {
  if (!stateAs<NotEmpty>(state)) return false;
  if (!readingBuffer_.isEmpty()) {
    onError();
    showInputting(onState);
    return true;
  }
  if (key.shift) {
    auto inputting = buildInputtingState();
    std::string context = inputting->buffer.substr(0, inputting->cursor);
    onState(std::make_unique<AssociatedPhrases>(std::move(inputting->buffer), inputting->cursor,
                                                std::string(), std::move(context)));
    return true;
  }
  if (key.ctrl) {
    std::optional<std::string> text = exportComposition(options_.ctrl_enter);
    if (!text) return false;
    commit(std::move(*text), onState);
    return true;
  }
  if (const auto* marking = stateAs<Marking>(state)) {
    return addMarkedPhrase(marking->anchor, onState, onError);
  }
  commit(std::move(buildInputtingState()->buffer), onState);
  return true;
}

// The one place where Control+Enter's notations are produced, from the grid
// and the last walk as they stand.
std::optional<std::string> KeyHandler::exportComposition(CtrlEnterMode mode) const {
  switch (mode) {
    case CtrlEnterMode::Disabled:
      return std::nullopt;
    case CtrlEnterMode::BpmfReading:
      return exportReadings(grid_);
    case CtrlEnterMode::HtmlRuby:
      return exportHtmlRuby(walk_);
    case CtrlEnterMode::HanyuPinyin:
      return exportHanyuPinyin(walk_);
    case CtrlEnterMode::BrailleUnicode:
      return exportBraille(walk_, BrailleEncoding::Unicode);
    case CtrlEnterMode::BrailleAscii:
      return exportBraille(walk_, BrailleEncoding::Ascii);
  }
  return std::nullopt;
}

// ---------------------------------------------------------------------------
// Candidates.

bool KeyHandler::openCandidateWindow(const StateCallback& onState) {
  const std::size_t returnCursor = grid_.cursor();
  const std::size_t count = grid_.readingCount();
  if (count > 0 && returnCursor == count && options_.select_phrase_after_cursor &&
      options_.move_cursor_after_selection) {
    grid_.moveCursor(returnCursor - 1);
  }
  auto inputting = buildInputtingState();
  onState(buildChoosingCandidateState(*inputting, returnCursor));
  return true;
}

std::unique_ptr<ChoosingCandidate> KeyHandler::buildChoosingCandidateState(
    const Inputting& inputting, std::size_t returnCursor) {
  const std::size_t position = candidateCursor();
  std::vector<Candidate> candidates = candidatesAt(position);
  // The highlight starts on the phrase the composition shows there.
  std::size_t shown = 0;
  if (const auto covering = walk_.nodeCovering(position)) {
    const ReadingGrid::Node& node = *covering->node;
    const auto found = std::find_if(candidates.begin(), candidates.end(), [&](const Candidate& c) {
      return c.reading == node.reading && c.value == node.currentValue();
    });
    if (found != candidates.end()) shown = static_cast<std::size_t>(found - candidates.begin());
  }
  return std::make_unique<ChoosingCandidate>(inputting.buffer, inputting.cursor, std::string(),
                                             std::move(candidates), returnCursor, shown);
}

void KeyHandler::candidateSelected(const Candidate& candidate, std::size_t returnCursor,
                                   const StateCallback& onState) {
  fixCandidate(returnCursor, candidate, true);
  auto inputting = buildInputtingState();
  onState(std::make_unique<Inputting>(*inputting));
}

void KeyHandler::candidateCancelled(std::size_t returnCursor, const StateCallback& onState) {
  setGridCursor(returnCursor);
  showInputting(onState);
}

void KeyHandler::fixCandidate(std::size_t fallbackCursor, const Candidate& candidate,
                              bool moveCursorAfter) {
  const BestPath before = walk_;
  const std::size_t position = candidateCursor();
  const GridCandidate gridCandidate{candidate.reading, candidate.value, candidate.rawValue};
  if (!grid_.overrideAt(position, gridCandidate, OverrideKind::HighScore)) return;
  walk();

  auto covering = walk_.nodeCovering(position);
  if (!covering) return;
  // Picks of very unlikely phrases are not learnt.
  if (covering->node->currentPhrase().score > kLearningThreshold) {
    pickHistory_.recordPick(before, walk_, position, currentTimestamp());
  }
  // Learnt when the composition is committed, if the node still shows it.
  if (covering->node->overrideKind == OverrideKind::HighScore) picked_.push_back(covering->node);
  noteReplacedWords(before, covering->end - covering->node->length, covering->end);
  noteBrokenWord(before, position, covering->node->length);
  const std::size_t end = covering->end;
  followSuggestions(before);
  setGridCursor(moveCursorAfter && options_.move_cursor_after_selection ? end : fallbackCursor);
}

bool KeyHandler::rotateCandidate(bool backwards, const InputState* state,
                                 const StateCallback& onState, const ErrorCallback& onError) {
  if (readingBuffer_.isEmpty() && walk_.nodes.empty()) return false;
  if (!stateAs<Inputting>(state) || !readingBuffer_.isEmpty()) {
    onError();
    return true;
  }
  rotateAtCandidateCursor(backwards, onState, onError);
  return true;
}

void KeyHandler::rotateAtCandidateCursor(bool backwards, const StateCallback& onState,
                                         const ErrorCallback& onError) {
  const std::size_t position = candidateCursor();
  const std::vector<Candidate> candidates = candidatesAt(position);
  if (candidates.empty()) {
    onError();
    return;
  }
  auto covering = walk_.nodeCovering(position);
  if (!covering) {
    onError();
    return;
  }
  const auto& node = *covering->node;
  const std::string currentValue = node.currentValue();
  const std::size_t m = candidates.size();
  auto isCurrent = [&](const Candidate& c) {
    return c.reading == node.reading && c.value == currentValue;
  };

  std::size_t next = 0;
  // A node showing a phrase other than its first (an override, or the
  // phrase the context walk chose) rotates on from the phrase shown.
  if (node.isOverridden() || node.selected != 0) {
    auto found = std::find_if(candidates.begin(), candidates.end(), isCurrent);
    if (found == candidates.end()) {
      next = m;
    } else {
      const std::size_t i = static_cast<std::size_t>(found - candidates.begin());
      next = backwards ? (i == 0 ? m - 1 : i - 1) : i + 1;
    }
  } else if (isCurrent(candidates.front())) {
    next = backwards ? m - 1 : 1;
  }
  if (next >= m) next = 0;

  fixCandidate(grid_.cursor(), candidates[next], false);
  showInputting(onState);
}

// ---------------------------------------------------------------------------
// Marking and user phrases.

std::string KeyHandler::userPhraseStatus(LocalizedStrings& strings, UserPhraseCheck check) {
  switch (check) {
    case UserPhraseCheck::TooFewReadings:
      return strings.tooFewCharacters(kMinMarkedReadings);
    case UserPhraseCheck::TooManyReadings:
      return strings.tooManyCharacters(kMaxMarkedReadings);
    case UserPhraseCheck::CannotBeStored:
      // The user phrase file would refuse such a line; say so now instead
      // of promising an addition that cannot happen.
      return strings.phraseCannotBeStored();
    case UserPhraseCheck::AlreadyPresent:
      return strings.phraseAlreadyPresent();
    case UserPhraseCheck::CanAdd:
      return strings.pressEnterToAdd();
  }
  return {};
}

std::unique_ptr<Marking> KeyHandler::buildMarkingState(std::size_t anchor) {
  const std::size_t count = grid_.readingCount();
  anchor = std::min(anchor, count);
  const std::size_t cursor = grid_.cursor();
  ComposedParts atCursor = composedPartsAt(cursor);
  std::string buffer = atCursor.head + atCursor.tail;
  const std::size_t bufferCursor = atCursor.head.size();

  const std::size_t lo = std::min(anchor, cursor);
  const std::size_t hi = std::max(anchor, cursor);
  ComposedParts atLo = composedPartsAt(lo);
  ComposedParts atHi = composedPartsAt(hi);
  std::string selection = atHi.head.substr(std::min(atLo.head.size(), atHi.head.size()));

  const std::vector<std::string> readings = grid_.readings();
  std::string selectionReadings = join(readings, lo, hi, "-");
  const std::string spacedReadings = join(readings, lo, hi, " ");

  const UserPhraseCheck check =
      checkUserPhrase(hi - lo, selectionReadings, selection, languageModel_.get());
  const bool canAdd = check == UserPhraseCheck::CanAdd;
  const std::string status = userPhraseStatus(*localizedStrings_, check);
  std::string hint = localizedStrings_->markingSummary(selection, spacedReadings, status);
  return std::make_unique<Marking>(std::move(buffer), bufferCursor, std::move(hint), anchor,
                                   std::move(atLo.head), std::move(selection), std::move(atHi.tail),
                                   std::move(selectionReadings), canAdd);
}

bool KeyHandler::lookUpMarkedText(const Marking& marking, const StateCallback& onState) {
  auto inputting = buildInputtingState();
  onState(std::make_unique<SelectingDictionary>(std::move(inputting->buffer), inputting->cursor,
                                                std::string(), marking.selection));
  return true;
}

bool KeyHandler::addMarkedPhrase(std::size_t anchor, const StateCallback& onState,
                                 const ErrorCallback& onError) {
  // The marking is rebuilt from the grid rather than trusted from the
  // receiver's state, so what is added is what the grid holds now.
  auto marking = buildMarkingState(anchor);
  if (!marking->canAdd) {
    onError();
    onState(std::move(marking));
    return true;
  }
  // The user hears of an addition that is not saved yet, or not at all.
  std::string hint;
  if (userPhraseAdder_) {
    switch (userPhraseAdder_->addPhrase(marking->selectionReadings, marking->selection)) {
      case UserPhraseAdder::AddResult::Pending:
        hint = localizedStrings_->phraseSavedLater();
        break;
      case UserPhraseAdder::AddResult::Failed:
        hint = localizedStrings_->phraseNotSaved();
        break;
      case UserPhraseAdder::AddResult::Added:
      case UserPhraseAdder::AddResult::AlreadyListed:
        break;
    }
  }
  if (marking->anchor == grid_.readingCount() && grid_.cursor() < marking->anchor) {
    grid_.moveCursor(marking->anchor);
  }
  auto inputting = buildInputtingState();
  if (!hint.empty()) inputting->hint = std::move(hint);
  onState(std::move(inputting));
  return true;
}

// ---------------------------------------------------------------------------
// Punctuation, letters and other special readings.

bool KeyHandler::insertSpecialReading(const std::string& reading, SpecialReading kind,
                                      const InputState* state, const StateCallback& onState,
                                      const ErrorCallback& onError) {
  if (!hasPhrases(reading)) return false;

  if (kind == SpecialReading::Punctuation && options_.repeated_punctuation_selects &&
      readingBuffer_.isEmpty()) {
    // The same key again right after its own reading picks its next
    // candidate instead of inserting another copy.
    const std::size_t cursor = grid_.cursor();
    const std::size_t previous = cursor > 0 ? cursor - 1 : 0;
    auto covering = walk_.nodeCovering(previous);
    if (covering && covering->node->reading == reading &&
        grid_.candidateList(previous).size() > 1) {
      // Picking is refused where Tab refuses it: anywhere but plain composing.
      if (!stateAs<Inputting>(state)) {
        onError();
        return true;
      }
      if (options_.select_phrase_after_cursor) grid_.moveCursor(previous);
      rotateAtCandidateCursor(
          false, [](std::unique_ptr<InputState>) {}, onError);
      grid_.moveCursor(cursor);
      showInputting(onState);
      return true;
    }
  }

  if (!readingBuffer_.isEmpty()) {
    onError();
    showInputting(onState);
    return true;
  }
  if (!grid_.addReading(reading)) return false;
  walkAfterEdit(std::exchange(walk_, BestPath()));
  showInputting(onState);
  return true;
}

bool KeyHandler::handleCharacterKey(Key key, bool composing, const InputState* state,
                                    const StateCallback& onState, const ErrorCallback& onError) {
  const char c = key.character;
  if (c == 0) return handleLeftoverKey(composing, state, onState, onError);

  if (key.numpad) {
    if (!composing) return false;
    if (grid_.addReading("_numpad_" + std::string(1, c))) {
      walkAfterEdit(std::exchange(walk_, BestPath()));
    } else {
      onError();
    }
    showInputting(onState);
    return true;
  }

  const std::string character(1, c);
  const auto insert = [&](const std::string& reading, SpecialReading kind) {
    return insertSpecialReading(reading, kind, state, onState, onError);
  };
  constexpr SpecialReading kPunctuation = SpecialReading::Punctuation;
  if (key.ctrl) return insert("_ctrl_punctuation_" + character, kPunctuation);

  const std::string layout = layoutName();
  if (options_.half_width_punctuation) {
    if (insert("_half_punctuation_" + layout + "_" + character, kPunctuation) ||
        insert("_half_punctuation_" + character, kPunctuation)) {
      return true;
    }
  }
  if (insert("_punctuation_" + layout + "_" + character, kPunctuation) ||
      insert("_punctuation_" + character, kPunctuation)) {
    return true;
  }

  if (c >= 'A' && c <= 'Z') {
    if (options_.put_lowercase_to_buffer) {
      insert("_letter_" + character, SpecialReading::Letter);
      return true;
    }
    if (!composing) return false;
    return commitWithCapitalLetter(c, onState);
  }

  return handleLeftoverKey(composing, state, onState, onError);
}

// The whole composition is committed with the letter at the cursor: what
// comes before, the letter, a half-typed syllable and what comes after.
bool KeyHandler::commitWithCapitalLetter(char letter, const StateCallback& onState) {
  const std::string character(1, letter);
  std::string text;
  if (grid_.addReading("_letter_" + character)) {
    if (grid_.cursor() > 0) {
      grid_.overrideAt(grid_.cursor() - 1, character, OverrideKind::HighScore);
    }
    walk();
    text = std::move(buildInputtingState()->buffer);
  } else {
    // The model has no reading for the letter: it still must not be lost.
    auto inputting = buildInputtingState();
    text = std::move(inputting->buffer);
    text.insert(inputting->cursor - readingBuffer_.composer.displayText().size(), character);
  }
  commit(std::move(text), onState);
  return true;
}

bool KeyHandler::handleLeftoverKey(bool composing, const InputState* state,
                                   const StateCallback& onState, const ErrorCallback& onError) {
  if (!composing) return false;
  if (stateAs<Marking>(state)) return true;
  onError();
  showInputting(onState);
  return true;
}

bool KeyHandler::openPunctuationList(const StateCallback& onState, const ErrorCallback& onError) {
  if (!readingBuffer_.isEmpty() || !grid_.addReading(kPunctuationListReading)) {
    onError();
    return true;
  }
  walk();
  const std::size_t returnCursor = grid_.cursor();
  // Either way the candidate cursor now points at the inserted reading.
  if (options_.select_phrase_after_cursor) grid_.moveCursor(returnCursor - 1);
  auto inputting = buildInputtingState();
  auto choosing = buildChoosingCandidateState(*inputting, returnCursor);
  onState(std::make_unique<ChoosingPunctuationList>(std::move(*choosing)));
  return true;
}

void KeyHandler::removePunctuationListReading(std::size_t returnCursor) {
  const std::size_t cursor = grid_.cursor();
  const std::size_t count = grid_.readingCount();
  if (options_.select_phrase_after_cursor) {
    if (cursor < count && grid_.reading(cursor) == kPunctuationListReading) {
      grid_.removeReadingAfter();
      return;
    }
  } else if (cursor > 0 && cursor <= count &&
             grid_.reading(cursor - 1) == kPunctuationListReading) {
    grid_.removeReadingBefore();
    return;
  }
  // The cursor was moved away from the list's reading; it sits just before
  // the list's returnCursor.
  if (returnCursor > 0 && returnCursor <= count &&
      grid_.reading(returnCursor - 1) == kPunctuationListReading) {
    grid_.moveCursor(returnCursor);
    grid_.removeReadingBefore();
  }
}

bool KeyHandler::punctuationListKey(char key, std::size_t returnCursor,
                                    const StateCallback& onState) {
  if (key == 0) return false;
  const std::string reading = std::string(kPunctuationListReading) + "_" + std::string(1, key);
  if (!hasPhrases(reading)) return false;
  removePunctuationListReading(returnCursor);
  grid_.addReading(reading);
  walk();
  showInputting(onState);
  return true;
}

void KeyHandler::punctuationListCancelled(std::size_t returnCursor, const StateCallback& onState) {
  removePunctuationListReading(returnCursor);
  walk();
  setGridCursor(returnCursor > 0 ? returnCursor - 1 : 0);
  showCompositionOrEmpty(onState);
}

}  // namespace Kestova
