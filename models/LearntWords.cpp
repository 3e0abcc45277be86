#include "models/LearntWords.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "models/UserPhraseAdder.h"
#include "text/Utf8.h"

namespace Kestova {

void LearntWords::learn(std::string_view reading, std::string_view value) {
  auto& ofReading = byReading_[std::string(reading)];
  // Every other word of the reading loses half its weight; the learnt one
  // is taken out and put back in front at full weight.
  std::vector<Order::iterator> faded;
  for (Order::iterator word : ofReading) {
    if (word->value == value) {
      order_.erase(word);
      continue;
    }
    word->weight /= 2;
    if (word->weight < kForgetBelow) {
      order_.erase(word);
      continue;
    }
    faded.push_back(word);
  }
  order_.push_front(Word{std::string(reading), std::string(value), 1.0});
  faded.insert(faded.begin(), order_.begin());
  ofReading = std::move(faded);
  if (order_.size() > kCapacity) forget(std::prev(order_.end()));
  ++version_;
}

void LearntWords::forget(std::string_view reading, std::string_view value) {
  const auto found = byReading_.find(reading);
  if (found == byReading_.end()) return;
  for (Order::iterator word : found->second) {
    if (word->value != value) continue;
    forget(word);
    ++version_;
    return;
  }
}

void LearntWords::weaken(std::string_view reading, std::string_view value) {
  const auto found = byReading_.find(reading);
  if (found == byReading_.end()) return;
  for (Order::iterator word : found->second) {
    if (word->value != value) continue;
    word->weight /= 2;
    if (word->weight < kForgetBelow) forget(word);
    ++version_;
    return;
  }
}

void LearntWords::forget(Order::iterator word) {
  auto found = byReading_.find(word->reading);
  if (found != byReading_.end()) {
    std::erase(found->second, word);
    if (found->second.empty()) byReading_.erase(found);
  }
  order_.erase(word);
}

std::vector<LearntWords::Word> LearntWords::wordsOf(std::string_view reading) const {
  std::vector<Word> result;
  const auto found = byReading_.find(reading);
  if (found == byReading_.end()) return result;
  for (const Order::iterator& word : found->second) result.push_back(*word);
  // The list is in learning order, latest first; the latest is the strongest.
  std::stable_sort(result.begin(), result.end(),
                   [](const Word& a, const Word& b) { return a.weight > b.weight; });
  return result;
}

std::vector<LearntWords::Word> LearntWords::words() const {
  return std::vector<Word>(order_.rbegin(), order_.rend());
}

void LearntWords::assign(const std::vector<Word>& words) {
  clear();
  // The file lists the least recently learnt first: the last lines are the
  // ones to keep when there are too many.
  const std::size_t skip = words.size() > kCapacity ? words.size() - kCapacity : 0;
  for (std::size_t i = skip; i < words.size(); ++i) {
    const Word& word = words[i];
    if (!(word.weight >= kForgetBelow && word.weight <= 1.0)) continue;
    auto& ofReading = byReading_[word.reading];
    const bool repeated = std::any_of(ofReading.begin(), ofReading.end(),
                                      [&](Order::iterator w) { return w->value == word.value; });
    if (repeated) continue;
    order_.push_front(word);
    ofReading.insert(ofReading.begin(), order_.begin());
  }
  ++version_;
}

void LearntWords::clear() {
  order_.clear();
  byReading_.clear();
  ++version_;
}

namespace {

// The fields of a line, split at blanks.
std::vector<std::string_view> fieldsOf(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t at = 0;
  while (at < line.size()) {
    at = line.find_first_not_of(" \t", at);
    if (at == std::string_view::npos) break;
    std::size_t end = line.find_first_of(" \t", at);
    if (end == std::string_view::npos) end = line.size();
    fields.push_back(line.substr(at, end - at));
    at = end;
  }
  return fields;
}

bool parseWord(std::string_view line, LearntWords::Word& word) {
  const auto fields = fieldsOf(line);
  if (fields.size() != 3) return false;
  double weight = 0;
  const auto [end, error] =
      std::from_chars(fields[2].data(), fields[2].data() + fields[2].size(), weight);
  if (error != std::errc() || end != fields[2].data() + fields[2].size()) return false;
  if (!(weight >= LearntWords::kForgetBelow && weight <= 1.0)) return false;
  if (!canStoreUserPhrase(fields[1], fields[0])) return false;
  word = LearntWords::Word{std::string(fields[1]), std::string(fields[0]), weight};
  return true;
}

}  // namespace

LearntFileContents parseLearntFile(std::string_view text) {
  LearntFileContents contents;
  if (text.starts_with("\uFEFF")) text.remove_prefix(3);
  std::size_t lineNumber = 0;
  while (!text.empty()) {
    ++lineNumber;
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.find_first_not_of(" \t") == std::string_view::npos || line.front() == '#') continue;
    LearntWords::Word word;
    if (Utf8::isValid(line) && parseWord(line, word)) {
      contents.words.push_back(std::move(word));
    } else {
      contents.damagedLines.push_back(lineNumber);
    }
  }
  return contents;
}

std::string formatLearntFile(const std::vector<LearntWords::Word>& words) {
  std::string text;
  char weight[32];
  for (const LearntWords::Word& word : words) {
    const auto [end, error] = std::to_chars(weight, weight + sizeof weight, word.weight);
    text += word.value;
    text += ' ';
    text += word.reading;
    text += ' ';
    text.append(weight, error == std::errc() ? end : weight);
    text += '\n';
  }
  return text;
}

}  // namespace Kestova
