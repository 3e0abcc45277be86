#include "databuilder/PhraseDatabaseBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <set>
#include <unordered_set>

#include "databuilder/Readings.h"
#include "phonetics/BpmfSyllable.h"

namespace Kestova::DataBuilder {

namespace {

using Reading = std::vector<std::string>;

// What is known about the readings of one character.
struct CharacterInfo {
  // Taiwan-standard readings and the character's rank among the characters
  // of that syllable (0 = most common).
  std::map<std::string, size_t> taiwanRanks;
  // Readings the Taiwan phrase table gives the character alone.
  std::set<std::string> phraseTableReadings;
  // Pinyin dictionary readings and their percentages (negative: unknown).
  std::map<std::string, double> pinyinPercents;
  // Corpus evidence: occurrences read each way inside phrases.
  std::map<std::string, double> phraseEvidence;
  // The readings a typist uses, and the share of each.
  std::map<std::string, double> distribution;
};

// 一 and 不 are typed with their written tones, whatever the tone sandhi of
// the text around them: the one reading they have, or "" for any other
// character.
std::string_view writtenToneReading(std::string_view character) {
  if (character == "一") return "ㄧ";
  if (character == "不") return "ㄅㄨˋ";
  return {};
}

std::string withoutTone(std::string_view composed) {
  BpmfSyllable syllable = BpmfSyllable::fromComposedText(composed);
  return syllable.withoutTone().toComposedText();
}

bool allHan(const std::vector<std::string>& characters) {
  return !characters.empty() && std::all_of(characters.begin(), characters.end(),
                                            [](const std::string& c) { return isHanCharacter(c); });
}

class Builder {
 public:
  Builder(const BuilderInputs& inputs, const BuilderOptions& options, BuildStatistics& statistics)
      : inputs_(inputs), options_(options), statistics_(statistics) {}

  std::vector<PhraseFileLine> build() {
    collectCharacterReadings();
    normalizeCorpusVariants();
    totalCount_ = 0;
    for (const auto& [word, count] : wordCounts_) totalCount_ += count;
    if (totalCount_ <= 0) totalCount_ = 1;

    collectPhraseTableReadings();
    collectPinyinPhraseReadings();
    gatherPhraseEvidence();
    computeDistributions();
    emitPhrases();
    emitCharacters();
    return scale();
  }

 private:
  // Readings of a character a Taiwanese typist would accept.
  std::set<std::string> taiwanReadings(const std::string& character) const {
    std::set<std::string> readings;
    auto it = characters_.find(character);
    if (it == characters_.end()) return readings;
    for (const auto& [reading, rank] : it->second.taiwanRanks) readings.insert(reading);
    readings.insert(it->second.phraseTableReadings.begin(), it->second.phraseTableReadings.end());
    if (readings.empty()) {
      for (const auto& [reading, percent] : it->second.pinyinPercents) readings.insert(reading);
    }
    return readings;
  }

  // The written tones of 一 and 不, whatever the tone sandhi of a phrase.
  static void useWrittenTones(const std::vector<std::string>& characters, Reading& reading) {
    for (size_t i = 0; i < characters.size() && i < reading.size(); ++i) {
      if (std::string_view written = writtenToneReading(characters[i]); !written.empty())
        reading[i] = written;
    }
  }

  void collectCharacterReadings() {
    for (const auto& [syllable, list] : inputs_.taiwanCharacters) {
      for (size_t rank = 0; rank < list.size(); ++rank) {
        auto& ranks = characters_[list[rank]].taiwanRanks;
        auto [it, inserted] = ranks.emplace(syllable, rank);
        if (!inserted) it->second = std::min(it->second, rank);
      }
    }
    for (const auto& entry : inputs_.phraseTableEntries) {
      if (entry.syllables.size() != 1 || entry.syllables[0].empty()) continue;
      if (!isHanCharacter(entry.word)) continue;
      characters_[entry.word].phraseTableReadings.insert(entry.syllables[0]);
    }
    for (const auto& entry : inputs_.pinyinEntries) {
      if (entry.syllables.size() != 1 || !isHanCharacter(entry.word)) continue;
      auto& percents = characters_[entry.word].pinyinPercents;
      auto [it, inserted] = percents.emplace(entry.syllables[0], entry.percent);
      if (!inserted) it->second = std::max(it->second, entry.percent);
    }
  }

  // Every reading any source gives a character.
  std::set<std::string> anyReadings(const std::string& character) const {
    std::set<std::string> readings;
    auto it = characters_.find(character);
    if (it == characters_.end()) return readings;
    for (const auto& [reading, rank] : it->second.taiwanRanks) readings.insert(reading);
    for (const auto& [reading, percent] : it->second.pinyinPercents) readings.insert(reading);
    readings.insert(it->second.phraseTableReadings.begin(), it->second.phraseTableReadings.end());
    return readings;
  }

  // The corpus writes some characters in forms that Taiwan does not use
  // (爲 for 為, 着 for 著, 裏 for 裡). Such a form shows itself by being
  // (nearly) absent from the Taiwan phrase table while many corpus words
  // that contain it are phrase-table words with another character of the
  // same reading in its place. Those forms are replaced in the corpus
  // before anything is counted.
  void normalizeCorpusVariants() {
    const TablePatterns table = collectTablePatterns();
    const VariantPairs pairs = countVariantPairs(table);
    chooseVariants(pairs, table);
    for (const auto& [form, replacement] : variants_) {
      statistics_.variants.emplace_back(form, replacement);
    }
    normalizeWordCounts();
  }

  // What the Taiwan phrase table says about its words' characters.
  struct TablePatterns {
    // Phrase-table words with one character blanked out, and the reading
    // there -> the characters the table has in that place.
    std::unordered_map<std::string, std::vector<std::string>> patterns;
    // The number of phrase-table words each character is in.
    std::unordered_map<std::string, size_t> phrasesWith;
    std::unordered_set<std::string> tableWords;

    size_t phrasesOf(const std::string& character) const {
      auto it = phrasesWith.find(character);
      return it == phrasesWith.end() ? 0 : it->second;
    }
  };

  TablePatterns collectTablePatterns() const {
    TablePatterns table;
    for (const auto& entry : inputs_.phraseTableEntries) {
      auto characters = splitCharacters(entry.word);
      if (characters.size() < 2 || !allHan(characters)) continue;
      if (characters.size() != entry.syllables.size()) continue;
      if (table.tableWords.insert(entry.word).second) {
        std::set<std::string> distinct(characters.begin(), characters.end());
        for (const auto& character : distinct) ++table.phrasesWith[character];
      }
      for (size_t i = 0; i < characters.size(); ++i) {
        if (entry.syllables[i].empty()) continue;
        auto& list = table.patterns[patternKey(characters, i) + '\t' + entry.syllables[i]];
        if (std::find(list.begin(), list.end(), characters[i]) == list.end()) {
          list.push_back(characters[i]);
        }
      }
    }
    return table;
  }

  // Support of (form, replacement): corpus words that are table words but
  // for a homophone in one place.
  struct VariantPairs {
    // Keyed by form + "\t" + replacement.
    std::unordered_map<std::string, size_t> support;
    // Keyed by form: the support of all its replacements.
    std::unordered_map<std::string, size_t> supportOf;
  };

  // The characters the table has in place of characters[blank], read as
  // any of its readings, other than itself.
  std::set<std::string> tableReplacements(const TablePatterns& table,
                                          const std::set<std::string>& readings,
                                          const std::vector<std::string>& characters,
                                          size_t blank) const {
    const std::string pattern = patternKey(characters, blank) + '\t';
    std::set<std::string> replacements;
    for (const auto& reading : readings) {
      auto it = table.patterns.find(pattern + reading);
      if (it == table.patterns.end()) continue;
      for (const auto& replacement : it->second) {
        if (replacement != characters[blank]) replacements.insert(replacement);
      }
    }
    return replacements;
  }

  VariantPairs countVariantPairs(const TablePatterns& table) const {
    VariantPairs pairs;
    std::unordered_map<std::string, std::set<std::string>> readingCache;
    auto readingsOf = [&](const std::string& character) -> const std::set<std::string>& {
      auto it = readingCache.find(character);
      if (it == readingCache.end())
        it = readingCache.emplace(character, anyReadings(character)).first;
      return it->second;
    };
    for (const auto& [word, count] : inputs_.wordCounts) {
      auto characters = splitCharacters(word);
      if (characters.size() < 2 || characters.size() > options_.maxSyllables) continue;
      if (!allHan(characters) || table.tableWords.count(word)) continue;
      for (size_t i = 0; i < characters.size(); ++i) {
        for (const auto& replacement :
             tableReplacements(table, readingsOf(characters[i]), characters, i)) {
          ++pairs.support[characters[i] + '\t' + replacement];
          ++pairs.supportOf[characters[i]];
        }
      }
    }
    return pairs;
  }

  // Whether a form is a variant worth replacing with the replacement: well
  // supported, and absent or rare in the phrase table.
  static bool isVariant(size_t support, double share, size_t formPhrases,
                        size_t replacementPhrases) {
    const bool absent = formPhrases <= 2;
    const bool rare = support >= 20 && share >= 0.8 && formPhrases * 100 <= replacementPhrases * 15;
    return support >= 5 && share >= 0.5 && (absent || rare);
  }

  // Each form's best-supported replacement into variants_.
  void chooseVariants(const VariantPairs& pairs, const TablePatterns& table) {
    std::map<std::string, size_t> bestSupport;
    for (const auto& [key, support] : pairs.support) {
      size_t tab = key.find('\t');
      std::string form = key.substr(0, tab), replacement = key.substr(tab + 1);
      double share = static_cast<double>(support) / pairs.supportOf.at(form);
      if (!isVariant(support, share, table.phrasesOf(form), table.phrasesOf(replacement))) continue;
      if (support > bestSupport[form]) {
        bestSupport[form] = support;
        variants_[form] = replacement;
      }
    }
  }

  // The corpus's word counts with the variants replaced.
  void normalizeWordCounts() {
    for (const auto& [word, count] : inputs_.wordCounts) {
      auto characters = splitCharacters(word);
      std::string normalized;
      for (const auto& character : characters) {
        auto it = variants_.find(character);
        normalized += it == variants_.end() ? character : it->second;
      }
      // The corpus lists some words with a count of 1 where its real
      // counts start far higher: they are known words without a count.
      double used = count < 2 ? options_.listedWordCount : count;
      wordCounts_[characters.empty() ? word : normalized] += used;
    }
  }

  static std::string patternKey(const std::vector<std::string>& characters, size_t blank) {
    std::string key;
    for (size_t i = 0; i < characters.size(); ++i)
      key += i == blank ? std::string("\x01") : characters[i];
    return key;
  }

  void collectPhraseTableReadings() {
    for (const auto& entry : inputs_.phraseTableEntries) {
      auto characters = splitCharacters(entry.word);
      if (characters.size() < 2 || characters.size() > options_.maxSyllables) continue;
      if (characters.size() != entry.syllables.size() || !allHan(characters)) continue;
      phraseTableWords_.insert(entry.word);
      Reading reading = entry.syllables;
      useWrittenTones(characters, reading);
      bool standard = true;
      for (size_t i = 0; i < characters.size() && standard; ++i) {
        // Abbreviated keys (a lone initial) and readings the character does
        // not have are typing shortcuts, not readings.
        standard = !reading[i].empty() && taiwanReadings(characters[i]).count(reading[i]) > 0;
      }
      if (!standard) {
        ++statistics_.rejectedPhraseTableReadings;
        continue;
      }
      auto& readings = phraseTableReadings_[entry.word];
      if (std::find(readings.begin(), readings.end(), reading) == readings.end()) {
        readings.push_back(std::move(reading));
      }
    }
  }

  void collectPinyinPhraseReadings() {
    for (const auto& entry : inputs_.pinyinEntries) {
      auto characters = splitCharacters(entry.word);
      if (characters.size() < 2 || characters.size() > options_.maxSyllables) continue;
      if (characters.size() != entry.syllables.size() || !allHan(characters)) continue;
      auto& readings = pinyinReadings_[entry.word];
      if (std::find(readings.begin(), readings.end(), entry.syllables) == readings.end()) {
        readings.push_back(entry.syllables);
      }
    }
  }

  double corpusCount(const std::string& word) const {
    auto it = wordCounts_.find(word);
    return it == wordCounts_.end() ? 0 : it->second;
  }

  // Taiwan readings in context: how often each character is read each way
  // inside the phrases of the Taiwan phrase table, weighted by corpus use.
  void gatherPhraseEvidence() {
    for (const auto& [word, readings] : phraseTableReadings_) {
      double count = corpusCount(word) + 1;
      auto characters = splitCharacters(word);
      for (const auto& reading : readings) {
        for (size_t i = 0; i < characters.size(); ++i) {
          characters_[characters[i]].phraseEvidence[reading[i]] += count / readings.size();
          inWordCounts_[characters[i]] += corpusCount(word) / readings.size();
        }
      }
    }
  }

  void computeDistributions() {
    for (auto& [character, info] : characters_) {
      std::set<std::string> readings = taiwanReadings(character);
      if (std::string_view written = writtenToneReading(character); !written.empty())
        readings = {std::string(written)};
      if (readings.empty()) continue;
      std::set<std::string> stated;
      std::map<std::string, double> prior = pinyinPrior(info, readings, stated);
      const double priorTotal = weighPrior(info, stated, prior);
      distribute(character, info, readings, prior, priorTotal);
    }
  }

  // Prior from the pinyin dictionary's percentages, carried over to the
  // Taiwan reading of the same syllable when only the tone differs. Adds to
  // `stated` the readings whose share the dictionary states outright.
  static std::map<std::string, double> pinyinPrior(const CharacterInfo& info,
                                                   const std::set<std::string>& readings,
                                                   std::set<std::string>& stated) {
    std::map<std::string, double> prior;
    for (const auto& reading : readings) prior[reading] = 0;
    for (const auto& [reading, percent] : info.pinyinPercents) {
      double share = percent >= 0 ? percent / 100.0 : 1.0 / info.pinyinPercents.size();
      if (prior.count(reading)) {
        prior[reading] += share;
        if (percent > 0) stated.insert(reading);
        continue;
      }
      std::vector<std::string> sameSyllable;
      for (const auto& candidate : readings) {
        if (withoutTone(candidate) == withoutTone(reading)) sameSyllable.push_back(candidate);
      }
      // A reading Taiwan does not have at all adds to no share.
      for (const auto& candidate : sameSyllable) {
        prior[candidate] += share / sameSyllable.size();
        if (percent > 0) stated.insert(candidate);
      }
    }
    return prior;
  }

  // Gives every reading of the prior its floor and its rank penalty;
  // returns the prior's total.
  double weighPrior(const CharacterInfo& info, const std::set<std::string>& stated,
                    std::map<std::string, double>& prior) const {
    double priorTotal = 0;
    for (auto& [reading, value] : prior) {
      // Readings only the Taiwan sources know still get a fair share, the
      // more so the more common the character is under that syllable.
      // A share the dictionary states is kept as it is.
      auto rank = info.taiwanRanks.find(reading);
      if (!options_.keepStatedShares || !stated.count(reading)) {
        double floor = 0.02;
        if (rank != info.taiwanRanks.end()) floor = rank->second < 10 ? 0.15 : 0.05;
        value = std::max(value, floor);
      }
      // Where the Taiwan character table ranks the character far down a
      // syllable, that reading of it is a rare one there.
      if (rank != info.taiwanRanks.end() && info.taiwanRanks.size() > 1) {
        value /= std::pow(1.0 + static_cast<double>(rank->second), options_.readingRankExponent);
      }
      priorTotal += value;
    }
    return priorTotal;
  }

  static double phraseEvidenceOf(const CharacterInfo& info, const std::string& reading) {
    auto it = info.phraseEvidence.find(reading);
    return it == info.phraseEvidence.end() ? 0 : it->second;
  }

  // The character's distribution: the prior, mixed with its readings inside
  // phrases.
  void distribute(const std::string& character, CharacterInfo& info,
                  const std::set<std::string>& readings, const std::map<std::string, double>& prior,
                  double priorTotal) const {
    double evidenceTotal = 0;
    for (const auto& reading : readings) {
      auto it = info.phraseEvidence.find(reading);
      if (it != info.phraseEvidence.end()) evidenceTotal += it->second;
    }
    // Readings inside phrases say little about a character typed alone, but
    // they do show which readings Taiwan uses at all.
    // The more a character is written alone, the less its readings inside
    // phrases tell about it (的 alone is ㄉㄜ˙, in phrases mostly ㄉㄧˊ).
    double alone = options_.aloneCountsAgainstEvidence ? corpusCount(character) : 0;
    double evidenceWeight =
        options_.phraseEvidenceWeight * evidenceTotal / (evidenceTotal + alone + 20.0);
    for (const auto& reading : readings) {
      double share = prior.at(reading) / priorTotal * (1 - evidenceWeight);
      if (evidenceTotal > 0) {
        share += phraseEvidenceOf(info, reading) / evidenceTotal * evidenceWeight;
      }
      info.distribution[reading] = std::max(share, 0.005);
    }
  }

  // The most likely Taiwan reading of a character; "" if it has none.
  std::string likeliestReading(const std::string& character) const {
    if (std::string_view written = writtenToneReading(character); !written.empty())
      return std::string(written);
    auto it = characters_.find(character);
    if (it == characters_.end()) return {};
    std::string best;
    double bestShare = -1;
    for (const auto& [reading, share] : it->second.distribution) {
      if (share > bestShare) {
        best = reading;
        bestShare = share;
      }
    }
    return best;
  }

  // Carries a pinyin dictionary reading over to Taiwan readings: a
  // syllable the character has in Taiwan stays, a different tone of the
  // same syllable becomes the Taiwan tone, anything else the character's
  // likeliest Taiwan reading.
  bool toTaiwanReading(const std::vector<std::string>& characters, Reading& reading) const {
    for (size_t i = 0; i < characters.size(); ++i) {
      auto it = characters_.find(characters[i]);
      if (it == characters_.end() || it->second.distribution.empty()) return false;
      const auto& distribution = it->second.distribution;
      if (distribution.count(reading[i])) continue;
      std::string best;
      double bestShare = -1;
      for (const auto& [candidate, share] : distribution) {
        if (withoutTone(candidate) == withoutTone(reading[i]) && share > bestShare) {
          best = candidate;
          bestShare = share;
        }
      }
      reading[i] = best.empty() ? likeliestReading(characters[i]) : best;
    }
    useWrittenTones(characters, reading);
    return true;
  }

  void addLine(const Reading& reading, const std::string& value, double count) {
    raw_.push_back({joinReading(reading), value, std::log10(count / totalCount_)});
  }

  void emitPhrase(const std::string& word, double count) {
    auto characters = splitCharacters(word);
    // Corpus words that the Taiwan phrase table does not list are often
    // usage from elsewhere or segmentation by-products (numeral plus
    // measure word); they count for less.
    if (!phraseTableWords_.count(word)) {
      count *= options_.corpusOnlyFactor;
    } else {
      count = std::max(count, options_.phraseTableOnlyCount);
    }
    if (auto it = phraseTableReadings_.find(word); it != phraseTableReadings_.end()) {
      for (const auto& reading : it->second) addLine(reading, word, count);
      ++statistics_.phrasesFromPhraseTable;
      return;
    }
    std::vector<Reading> readings;
    if (auto it = pinyinReadings_.find(word); it != pinyinReadings_.end()) {
      for (Reading reading : it->second) {
        if (!toTaiwanReading(characters, reading)) continue;
        if (std::find(readings.begin(), readings.end(), reading) == readings.end()) {
          readings.push_back(std::move(reading));
        }
      }
    }
    if (!readings.empty()) {
      ++statistics_.phrasesFromPinyin;
    } else {
      Reading reading;
      for (const auto& character : characters) {
        reading.push_back(likeliestReading(character));
        if (reading.back().empty()) return;
      }
      readings.push_back(std::move(reading));
      ++statistics_.phrasesComposed;
    }
    for (const auto& reading : readings) addLine(reading, word, count);
  }

  void emitPhrases() {
    std::unordered_set<std::string> done;
    auto consider = [&](const std::string& word, double count) {
      if (!done.insert(word).second) return;
      auto characters = splitCharacters(word);
      if (characters.size() < 2 || characters.size() > options_.maxSyllables) return;
      if (!allHan(characters)) return;
      emitPhrase(word, count);
    };
    for (const auto& [word, count] : wordCounts_) consider(word, count);
    for (const auto& [word, readings] : phraseTableReadings_) {
      consider(word, options_.phraseTableOnlyCount);
    }
    for (const auto& [word, readings] : pinyinReadings_) {
      // The dictionary shares the corpus's character forms.
      auto characters = splitCharacters(word);
      bool variant = std::any_of(characters.begin(), characters.end(),
                                 [&](const std::string& c) { return variants_.count(c) > 0; });
      if (!variant) consider(word, options_.pinyinOnlyCount);
    }
    statistics_.phraseLines = raw_.size();
  }

  void emitCharacters() {
    // Per syllable: each character's count, and its weight among the
    // homophones.
    struct Homophone {
      std::string character;
      double count;
      double weight;
    };
    std::map<std::string, std::vector<Homophone>> bySyllable;
    for (const auto& [character, info] : characters_) {
      if (info.distribution.empty()) continue;
      double alone = corpusCount(character);
      double inWords = 0;
      if (auto it = inWordCounts_.find(character); it != inWordCounts_.end()) inWords = it->second;
      double count = alone + inWords * options_.inWordCharacterShare;
      double weight = alone + inWords * options_.homophoneInWordShare;
      size_t bestRank = SIZE_MAX;
      for (const auto& [reading, rank] : info.taiwanRanks) bestRank = std::min(bestRank, rank);
      double unseen = options_.unseenCharacterCount;
      if (bestRank != SIZE_MAX)
        unseen /= 1.0 + bestRank / 8.0;
      else
        unseen /= 20.0;
      count = std::max(count, unseen);
      weight = std::max(weight, unseen);
      for (const auto& [reading, share] : info.distribution) {
        bySyllable[reading].push_back({character, count * share, weight * share});
      }
    }
    // The syllable keeps the total its characters have as words of their
    // own, so that it competes with phrases as before; the homophones share
    // it by their use anywhere, inside words too.
    for (const auto& [reading, homophones] : bySyllable) {
      double total = 0, weights = 0;
      for (const auto& homophone : homophones) {
        total += homophone.count;
        weights += homophone.weight;
      }
      for (const auto& homophone : homophones) {
        double count = total * homophone.weight / weights;
        raw_.push_back({reading, homophone.character, std::log10(count / totalCount_)});
        ++statistics_.characterLines;
      }
    }
  }

  std::vector<PhraseFileLine> scale() {
    double lowest = -1;
    for (const auto& line : raw_) lowest = std::min(lowest, line.score);
    double factor = std::min(1.0, options_.lowestScore / lowest);
    for (auto& line : raw_) line.score = std::min(line.score * factor, -0.0001);
    rankStandardFirst();
    return std::move(raw_);
  }

  // Values with a character outside Taiwan's standard sets go below every
  // value of the sets under the same reading, in their own order: moved down
  // together where the scores above the floor leave room, pressed into the
  // scores between the lowest standard value and the floor where they do not.
  // The standard values keep their scores, so the walk over them is as before.
  void rankStandardFirst() {
    const StandardCharacterSet& sets = inputs_.standardCharacters;
    if (sets.empty()) return;
    std::vector<bool> standard(raw_.size());
    std::unordered_map<std::string, std::vector<size_t>> byReading;
    for (size_t i = 0; i < raw_.size(); ++i) {
      standard[i] = sets.containsAll(raw_[i].value);
      if (!standard[i] && raw_[i].reading.find('-') == std::string::npos) {
        ++statistics_.otherCharacterLines;
        // Four UTF-8 bytes: a character beyond the Basic Multilingual Plane.
        if (raw_[i].value.size() == 4) ++statistics_.supplementaryCharacterLines;
      }
      byReading[raw_[i].reading].push_back(i);
    }
    if (!options_.keepOtherCharacters) {
      size_t index = 0;
      std::erase_if(raw_, [&](const PhraseFileLine&) { return !standard[index++]; });
      return;
    }
    const double floor = options_.lowestScore - 0.049;
    constexpr double kBelowStandard = 0.01;
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    for (const auto& [reading, lines] : byReading) {
      double lowestStandard = kInfinity, highestOther = -kInfinity, lowestOther = kInfinity;
      for (size_t i : lines) {
        if (standard[i]) {
          lowestStandard = std::min(lowestStandard, raw_[i].score);
        } else {
          highestOther = std::max(highestOther, raw_[i].score);
          lowestOther = std::min(lowestOther, raw_[i].score);
        }
      }
      if (lowestStandard == kInfinity || highestOther == -kInfinity) continue;
      const double top = std::max(lowestStandard - kBelowStandard, floor);
      if (highestOther <= top) continue;
      const double shift = highestOther - top;
      const bool room = lowestOther - shift >= floor;
      for (size_t i : lines) {
        if (standard[i]) continue;
        double& score = raw_[i].score;
        if (room) {
          score -= shift;
        } else if (highestOther > lowestOther) {
          score = floor + (score - lowestOther) * (top - floor) / (highestOther - lowestOther);
        } else {
          score = top;
        }
        ++statistics_.demotedLines;
      }
    }
  }

  const BuilderInputs& inputs_;
  const BuilderOptions& options_;
  BuildStatistics& statistics_;
  double totalCount_ = 1;
  std::unordered_map<std::string, CharacterInfo> characters_;
  std::unordered_map<std::string, double> inWordCounts_;
  std::unordered_map<std::string, double> wordCounts_;
  std::map<std::string, std::string> variants_;
  std::unordered_set<std::string> phraseTableWords_;
  std::map<std::string, std::vector<Reading>> phraseTableReadings_;
  std::map<std::string, std::vector<Reading>> pinyinReadings_;
  std::vector<PhraseFileLine> raw_;
};

}  // namespace

std::vector<PhraseFileLine> buildPhraseLines(const BuilderInputs& inputs,
                                             const BuilderOptions& options,
                                             BuildStatistics* statistics) {
  BuildStatistics local;
  Builder builder(inputs, options, statistics ? *statistics : local);
  return builder.build();
}

}  // namespace Kestova::DataBuilder
