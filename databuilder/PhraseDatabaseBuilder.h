#pragma once

#include <cstddef>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "databuilder/OpenDataSources.h"
#include "databuilder/StandardCharacters.h"
#include "models/SortedPhraseFile.h"

namespace Kestova::DataBuilder {

// Everything the phrase database is made from.
struct BuilderInputs {
  // Word -> occurrences in a segmented corpus.
  std::unordered_map<std::string, double> wordCounts;
  // Pinyin readings of characters (with percentages) and of phrases.
  std::vector<ReadingEntry> pinyinEntries;
  // Taiwan-standard Bopomofo readings of phrases (and some characters).
  std::vector<ReadingEntry> phraseTableEntries;
  // Taiwan-standard characters of each syllable, most common first.
  SyllableCharacters taiwanCharacters;
  // Taiwan's standard character sets: a value with a character outside them
  // ranks below every value of the sets under the same reading. Empty: every
  // character counts as standard.
  StandardCharacterSet standardCharacters;
};

struct BuilderOptions {
  size_t maxSyllables = 8;
  // Least corpus count of a phrase of the Taiwan phrase table (the corpus
  // lacks many of them), and the count of a phrase known only from the
  // pinyin dictionary.
  double phraseTableOnlyCount = 100;
  double pinyinOnlyCount = 1;
  // Corpus count given to a character the corpus never has as a word of its
  // own, before the rank discount of the character table.
  double unseenCharacterCount = 1;
  // Share of a character's occurrences inside longer words that is added to
  // its count as a word of its own. With the Taiwan text's counts a
  // character's own count says enough: 0 measured best on both corpora.
  double inWordCharacterShare = 0;
  // The same share, used only to rank the characters of one syllable
  // against each other.
  double homophoneInWordShare = 0;
  // How far the readings a character has inside phrases decide the share
  // of each of its readings when it stands alone (0 to 1).
  double phraseEvidenceWeight = 0.7;
  // The prior share of a reading under which the Taiwan character table
  // ranks the character r-th (0 first) is divided by (1 + r)^exponent. The
  // table's order is Taiwan evidence where the percentages are not, so the
  // fall is steeper than frequency falls with rank (exponent 1); beyond 2
  // nothing changes measurably.
  double readingRankExponent = 2;
  // Whether a reading share the pinyin dictionary states outright is kept
  // below the floor that readings of unknown share get.
  bool keepStatedShares = true;
  // Whether a character's count as a word of its own weakens the evidence of
  // its readings inside phrases.
  bool aloneCountsAgainstEvidence = true;
  // Count given to a corpus word listed with a count of 0 or 1: the corpus
  // lists words it did not count that way, while its real counts start
  // near a hundred.
  double listedWordCount = 100;
  // Multiplies the count of a phrase the Taiwan phrase table lacks.
  double corpusOnlyFactor = 0.1;
  // Lowest score an ordinary phrase may get; the scale of all scores is
  // chosen so that the rarest entry lands here.
  double lowestScore = -7.95;
  // Whether values with characters outside the standard sets are written at
  // all (below the standard ones) or left out.
  bool keepOtherCharacters = true;
};

struct BuildStatistics {
  size_t characterLines = 0;
  size_t phraseLines = 0;
  size_t phrasesFromPhraseTable = 0;
  size_t phrasesFromPinyin = 0;
  size_t phrasesComposed = 0;
  size_t rejectedPhraseTableReadings = 0;
  // Character lines whose character is outside the standard sets, those of
  // them beyond the Basic Multilingual Plane, and the lines of such values
  // (characters and phrases) moved below the standard values of their reading.
  size_t otherCharacterLines = 0;
  size_t supplementaryCharacterLines = 0;
  size_t demotedLines = 0;
  // Corpus character forms replaced by the form the phrase table uses.
  std::vector<std::pair<std::string, std::string>> variants;
};

// Builds the character and phrase lines with log10 probability scores, all
// above options.lowestScore - 0.05 and below 0. Under each reading the values
// of the standard character sets come first.
std::vector<PhraseFileLine> buildPhraseLines(const BuilderInputs& inputs,
                                             const BuilderOptions& options,
                                             BuildStatistics* statistics = nullptr);

}  // namespace Kestova::DataBuilder
