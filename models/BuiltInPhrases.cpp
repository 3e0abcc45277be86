#include "models/BuiltInPhrases.h"

#include <algorithm>

#include "models/ParselessLM.h"

namespace Kestova {

namespace {

constexpr std::string_view kMacroPrefix = "MACRO@";

}  // namespace

double BuiltInPhrases::Phrase::score() const {
  // As the language model reads it: a line "READING VALUE SCORE".
  return parseSortedLine(std::string("_ _ ").append(scoreText)).score;
}

bool BuiltInPhrases::open(const std::string& path) {
  if (table_) return false;
  if (!file_.open(path)) return false;
  table_ = std::make_unique<SortedPhraseTable>(file_.data(), file_.size());
  return true;
}

void BuiltInPhrases::forEachPhrase(const std::function<bool(const Phrase&)>& visit) const {
  if (!table_) return;
  std::string_view body = table_->body();
  while (!body.empty()) {
    const std::size_t end = body.find('\n');
    const std::string_view line = body.substr(0, end);
    body.remove_prefix(end == std::string_view::npos ? body.size() : end + 1);
    const std::size_t readingEnd = line.find(' ');
    if (readingEnd == std::string_view::npos || line.starts_with('_')) continue;
    const std::string_view rest = line.substr(readingEnd + 1);
    const std::size_t valueEnd = rest.find(' ');
    const std::string_view value = rest.substr(0, valueEnd);
    if (value.empty() || value.starts_with(kMacroPrefix)) continue;
    const std::string_view score =
        valueEnd == std::string_view::npos ? std::string_view() : rest.substr(valueEnd + 1);
    if (!visit(Phrase{line.substr(0, readingEnd), value, score})) return;
  }
}

std::vector<BuiltInPhrases::Phrase> BuiltInPhrases::readingsOfCharacter(
    std::string_view character) {
  if (!charactersRead_) {
    charactersRead_ = true;
    forEachPhrase([this](const Phrase& phrase) {
      if (phrase.reading.find('-') == std::string_view::npos) {
        characters_[phrase.value].push_back(phrase);
      }
      return true;
    });
    for (auto& [value, readings] : characters_) {
      std::stable_sort(readings.begin(), readings.end(),
                       [](const Phrase& a, const Phrase& b) { return a.score() > b.score(); });
    }
  }
  auto found = characters_.find(character);
  return found == characters_.end() ? std::vector<Phrase>() : found->second;
}

std::vector<BuiltInPhrases::Phrase> BuiltInPhrases::phrasesInside(std::string_view text) const {
  std::vector<Phrase> phrases;
  forEachPhrase([&](const Phrase& phrase) {
    if (phrase.reading.find('-') != std::string_view::npos &&
        text.find(phrase.value) != std::string_view::npos) {
      phrases.push_back(phrase);
    }
    return true;
  });
  return phrases;
}

}  // namespace Kestova
