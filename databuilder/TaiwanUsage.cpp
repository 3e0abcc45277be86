#include "databuilder/TaiwanUsage.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

#include "databuilder/Readings.h"
#include "text/Utf8.h"

namespace Kestova::DataBuilder {

namespace {

constexpr double kVariantStep = 0.01;

// The lines of a list file, each split into exactly `fields` words (at
// least `fields` when `orMore`).
bool readFields(const std::string& path, std::size_t fields,
                std::vector<std::vector<std::string>>& rows, std::string* error,
                bool orMore = false) {
  std::ifstream in(path);
  if (!in) {
    if (error) *error = "cannot read " + path;
    return false;
  }
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line.front() == '#') continue;
    std::istringstream words(line);
    std::vector<std::string> row;
    for (std::string word; words >> word;) row.push_back(std::move(word));
    if (row.empty()) continue;
    if (orMore ? row.size() < fields : row.size() != fields) {
      if (error)
        *error = path + ":" + std::to_string(number) + ": expected " + std::to_string(fields) +
                 (orMore ? " or more" : "") + " fields";
      return false;
    }
    rows.push_back(std::move(row));
  }
  return true;
}

bool readPairs(const std::string& path, std::vector<TaiwanUsage::Pair>& pairs, std::string* error) {
  std::vector<std::vector<std::string>> rows;
  if (!readFields(path, 2, rows, error)) return false;
  for (auto& row : rows) pairs.push_back({std::move(row[0]), std::move(row[1])});
  return true;
}

std::string key(std::string_view reading, std::string_view value) {
  std::string joined(reading);
  joined += '\t';
  joined += value;
  return joined;
}

// A line split into its characters and syllables; empty when they do not
// pair up one to one (punctuation, macros, mixed text).
struct SplitLine {
  std::vector<std::string_view> characters;
  std::vector<std::string> syllables;
};

bool split(const PhraseFileLine& line, SplitLine& out) {
  out.characters = Utf8::splitCharacters(line.value);
  out.syllables = splitReading(line.reading);
  return !out.characters.empty() && out.characters.size() == out.syllables.size();
}

std::string joinCharacters(const std::vector<std::string_view>& characters, std::size_t from,
                           std::size_t count) {
  std::string text;
  for (std::size_t i = from; i < from + count; ++i) text += characters[i];
  return text;
}

// A neutral-tone word's syllables match a phrase's where every neutral
// syllable has the phrase's syllable without its tone and every other one is
// the phrase's own.
bool neutralMatches(const std::vector<std::string>& word, const std::vector<std::string>& phrase,
                    std::size_t at) {
  for (std::size_t i = 0; i < word.size(); ++i) {
    const std::string& have = phrase[at + i];
    if (isNeutralTone(word[i])) {
      if (!sameButTone(word[i], have)) return false;
    } else if (word[i] != have) {
      return false;
    }
  }
  return true;
}

class LineIndex {
 public:
  explicit LineIndex(const std::vector<PhraseFileLine>& lines) {
    for (std::size_t i = 0; i < lines.size(); ++i) {
      byKey_.try_emplace(key(lines[i].reading, lines[i].value), i);
    }
  }
  const std::size_t* find(std::string_view reading, std::string_view value) const {
    auto found = byKey_.find(key(reading, value));
    return found == byKey_.end() ? nullptr : &found->second;
  }
  void add(const PhraseFileLine& line, std::size_t index) {
    byKey_.try_emplace(key(line.reading, line.value), index);
  }

 private:
  std::unordered_map<std::string, std::size_t> byKey_;
};

void appendNew(std::vector<PhraseFileLine>& lines, LineIndex& index, PhraseFileLine line,
               std::size_t& counter) {
  if (index.find(line.reading, line.value)) return;
  index.add(line, lines.size());
  lines.push_back(std::move(line));
  ++counter;
}

// Every line holding a character under the source's reading gets a twin
// under the standard reading.
void addStandardReadings(const TaiwanUsage& usage, std::vector<PhraseFileLine>& lines,
                         LineIndex& index, TaiwanUsageStatistics& statistics) {
  std::unordered_map<std::string, std::vector<const TaiwanUsage::StandardReading*>> byCharacter;
  for (const auto& entry : usage.standardReadings) {
    byCharacter[entry.character].push_back(&entry);
  }
  const std::size_t count = lines.size();
  SplitLine parts;
  for (std::size_t i = 0; i < count; ++i) {
    if (!split(lines[i], parts)) continue;
    bool changed = false;
    for (std::size_t at = 0; at < parts.characters.size(); ++at) {
      auto found = byCharacter.find(std::string(parts.characters[at]));
      if (found == byCharacter.end()) continue;
      for (const auto* entry : found->second) {
        if (parts.syllables[at] != entry->sourceReading) continue;
        parts.syllables[at] = entry->standardReading;
        changed = true;
      }
    }
    if (!changed) continue;
    appendNew(lines, index,
              {joinReading(parts.syllables), lines[i].value, lines[i].score - kVariantStep},
              statistics.standardReadingLines);
  }
}

// The neutral-tone words by value, each with its syllables.
struct NeutralToneWords {
  std::unordered_map<std::string, std::vector<std::vector<std::string>>> byValue;
  std::size_t longest = 0;  // characters

  explicit NeutralToneWords(const std::vector<TaiwanUsage::Pair>& words) {
    for (const auto& [value, reading] : words) {
      byValue[value].push_back(splitReading(reading));
      longest = std::max(longest, Utf8::characterCount(value));
    }
  }

  // The line's syllables with every listed word it holds under its full
  // tones given its neutral ones.
  std::vector<std::string> neutralSyllables(const SplitLine& parts) const {
    std::vector<std::string> neutral = parts.syllables;
    const std::size_t size = parts.characters.size();
    for (std::size_t at = 0; at < size; ++at) {
      for (std::size_t length = 1; length <= std::min(longest, size - at); ++length) {
        auto found = byValue.find(joinCharacters(parts.characters, at, length));
        if (found == byValue.end()) continue;
        for (const auto& word : found->second) {
          if (word.size() != length || !neutralMatches(word, parts.syllables, at)) continue;
          std::copy(word.begin(), word.end(), neutral.begin() + static_cast<std::ptrdiff_t>(at));
        }
      }
    }
    return neutral;
  }
};

// Every line holding a neutral-tone word under its full tones gets a twin
// with the neutral tones; a neutral syllable no character has yet gets the
// characters of the words that bring it, each scored as it is alone under
// its full tone.
void addNeutralTones(const TaiwanUsage& usage, std::vector<PhraseFileLine>& lines, LineIndex& index,
                     TaiwanUsageStatistics& statistics) {
  const NeutralToneWords words(usage.neutralToneWords);
  std::unordered_set<std::string> knownSyllables;
  for (const auto& line : lines) {
    if (line.reading.find('-') == std::string::npos && isNeutralTone(line.reading)) {
      knownSyllables.insert(line.reading);
    }
  }
  const std::size_t count = lines.size();
  SplitLine parts;
  std::vector<PhraseFileLine> characters;
  for (std::size_t i = 0; i < count; ++i) {
    if (!split(lines[i], parts)) continue;
    const std::vector<std::string> neutral = words.neutralSyllables(parts);
    if (neutral == parts.syllables) continue;
    if (neutral.size() == 1) knownSyllables.insert(neutral[0]);
    for (std::size_t at = 0; at < neutral.size(); ++at) {
      if (neutral[at] == parts.syllables[at] || knownSyllables.contains(neutral[at])) continue;
      const std::string character(parts.characters[at]);
      if (const std::size_t* alone = index.find(parts.syllables[at], character)) {
        characters.push_back({neutral[at], character, lines[*alone].score - kVariantStep});
      }
    }
    appendNew(lines, index, {joinReading(neutral), lines[i].value, lines[i].score - kVariantStep},
              statistics.neutralToneLines);
  }
  for (auto& character : characters) {
    appendNew(lines, index, std::move(character), statistics.neutralToneLines);
  }
}

// Phrases ending in a particle under its full tone get a twin with the
// particle's neutral tone.
void addNeutralToneEndings(const TaiwanUsage& usage, std::vector<PhraseFileLine>& lines,
                           LineIndex& index, TaiwanUsageStatistics& statistics) {
  const std::size_t count = lines.size();
  for (const auto& ending : usage.neutralToneEndings) {
    auto excepted = [&](const std::string& value) {
      return std::any_of(ending.exceptions.begin(), ending.exceptions.end(),
                         [&](const std::string& word) { return value.ends_with(word); });
    };
    for (std::size_t i = 0; i < count; ++i) {
      const PhraseFileLine& line = lines[i];
      const std::size_t dash = line.reading.rfind('-');
      if (dash == std::string::npos || !line.value.ends_with(ending.character)) continue;
      const std::string_view last = std::string_view(line.reading).substr(dash + 1);
      if (isNeutralTone(last) || !sameButTone(last, ending.neutralSyllable) ||
          excepted(line.value)) {
        continue;
      }
      appendNew(lines, index,
                {line.reading.substr(0, dash + 1) + ending.neutralSyllable, line.value,
                 line.score - kVariantStep},
                statistics.neutralToneLines);
    }
  }
}

// Whether each character the standard form changes is read, alone, as the
// phrase reads it there.
bool readsAlike(const LineIndex& index, const std::vector<std::string_view>& variant,
                const std::vector<std::string_view>& standard,
                const std::vector<std::string>& syllables, std::size_t at) {
  for (std::size_t i = 0; i < standard.size(); ++i) {
    if (standard[i] != variant[at + i] && !index.find(syllables[at + i], standard[i])) {
      return false;
    }
  }
  return true;
}

// The standard form comes before its variant under every reading both have;
// where only the variant is listed, the standard form is added above it.
void preferStandardForms(const TaiwanUsage& usage, std::vector<PhraseFileLine>& lines,
                         LineIndex& index, TaiwanUsageStatistics& statistics) {
  const std::size_t count = lines.size();
  SplitLine parts;
  for (std::size_t i = 0; i < count; ++i) {
    for (const auto& [variant, standard] : usage.forms) {
      const std::size_t byte = lines[i].value.find(variant);
      if (byte == std::string::npos || !split(lines[i], parts)) continue;
      std::string value = lines[i].value;
      value.replace(byte, variant.size(), standard);
      if (const std::size_t* at = index.find(lines[i].reading, value)) {
        if (lines[*at].score < lines[i].score) {
          std::swap(lines[*at].score, lines[i].score);
          ++statistics.formsReordered;
        }
        continue;
      }
      const std::size_t start = Utf8::charactersBefore(lines[i].value, byte);
      const auto standardCharacters = Utf8::splitCharacters(standard);
      if (Utf8::characterCount(variant) != standardCharacters.size() ||
          !readsAlike(index, parts.characters, standardCharacters, parts.syllables, start)) {
        continue;
      }
      const double score = lines[i].score;
      lines[i].score -= kVariantStep;
      appendNew(lines, index, {lines[i].reading, std::move(value), score}, statistics.formsAdded);
    }
  }
}

void raiseFirstValues(const TaiwanUsage& usage, std::vector<PhraseFileLine>& lines,
                      const LineIndex& index, TaiwanUsageStatistics& statistics) {
  for (const auto& [reading, value] : usage.firstValues) {
    const std::size_t* at = index.find(reading, value);
    if (!at) continue;
    double best = lines[*at].score;
    for (const auto& line : lines) {
      if (line.reading == reading && line.value != value) best = std::max(best, line.score);
    }
    if (best > lines[*at].score) {
      lines[*at].score = best + kVariantStep;
      ++statistics.firstValuesRaised;
    }
  }
}

}  // namespace

bool readTaiwanUsage(const std::string& directory, TaiwanUsage& usage, std::string* error) {
  std::vector<std::vector<std::string>> readings, endings;
  if (!readPairs(directory + "/neutral-tone-words.txt", usage.neutralToneWords, error) ||
      !readFields(directory + "/neutral-tone-endings.txt", 2, endings, error, true) ||
      !readFields(directory + "/standard-readings.txt", 3, readings, error) ||
      !readPairs(directory + "/taiwan-forms.txt", usage.forms, error) ||
      !readPairs(directory + "/first-values.txt", usage.firstValues, error)) {
    return false;
  }
  for (auto& row : endings) {
    usage.neutralToneEndings.push_back({std::move(row[0]), std::move(row[1]),
                                        std::vector<std::string>(row.begin() + 2, row.end())});
  }
  for (auto& row : readings) {
    usage.standardReadings.push_back({std::move(row[0]), std::move(row[1]), std::move(row[2])});
  }
  return true;
}

std::size_t alignFirstValueStarts(const TaiwanUsage& usage,
                                  const std::vector<PhraseFileLine>& lines,
                                  ContextFileContents& contents) {
  std::size_t changed = 0;
  for (const auto& [reading, value] : usage.firstValues) {
    std::unordered_set<std::string> others;
    for (const auto& line : lines) {
      if (line.reading == reading && line.value != value) others.insert(line.value);
    }
    ContextFilePair* own = nullptr;
    double best = 0;
    for (auto& pair : contents.pairs) {
      if (!pair.previous.empty()) continue;
      if (pair.next == value) own = &pair;
      if (others.contains(pair.next)) best = std::max(best, pair.score);
    }
    if (own && own->score < best) {
      own->score = best;
      ++changed;
    } else if (!own && best > 0) {
      contents.pairs.push_back({"", value, best});
      ++changed;
    }
  }
  return changed;
}

void applyTaiwanUsage(const TaiwanUsage& usage, std::vector<PhraseFileLine>& lines,
                      TaiwanUsageStatistics* statistics) {
  TaiwanUsageStatistics counted;
  LineIndex index(lines);
  addStandardReadings(usage, lines, index, counted);
  addNeutralTones(usage, lines, index, counted);
  addNeutralToneEndings(usage, lines, index, counted);
  preferStandardForms(usage, lines, index, counted);
  raiseFirstValues(usage, lines, index, counted);
  if (statistics) *statistics = counted;
}

}  // namespace Kestova::DataBuilder
