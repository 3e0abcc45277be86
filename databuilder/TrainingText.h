#ifndef KESTOVA_DATABUILDER_TRAININGTEXT_H_
#define KESTOVA_DATABUILDER_TRAININGTEXT_H_

// Running text written in Taiwan, from which the builder learns how often
// words are used and which words follow which: gettext catalogues and
// compressed plain-text documents, cut into runs of Han characters. Runs
// that overlap the evaluation sentences are dropped before anything is
// counted.

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace Kestova::DataBuilder {

// The translations of a GNU gettext catalogue (.mo), every plural form
// apart, the catalogue header left out. False if the file cannot be read or
// is not a whole catalogue.
bool readMessageCatalogue(const std::string& path, std::vector<std::string>& translations);

// The catalogues of a folder holding one sub-folder per package
// (DIR/PACKAGE/NAME.mo), as regular files sorted by path so that every
// machine reads them in one order. False if the folder cannot be listed.
bool catalogueFilesIn(const std::string& folder, std::vector<std::string>& files);

// The whole text of a gzip-compressed file (a plain file reads as it is).
bool readCompressedText(const std::string& path, std::string& text);

// The runs of Han characters in text: every other character ends a run.
// Invalid UTF-8 ends a run too.
std::vector<std::string> hanRuns(std::string_view text);

// Evaluation sentences, which must not reach the counts: a run is excluded
// when it equals a sentence, lies inside one, or contains one.
class EvaluationFilter {
 public:
  void addSentence(std::string_view sentence);
  // Adds the gold text (before the tab) of every line of a corpus file
  // "gold TAB readings". False if the file cannot be read.
  bool addCorpus(const std::string& path);
  bool excludes(std::string_view run) const;
  std::size_t sentenceCount() const { return sentences_.size(); }

 private:
  std::unordered_set<std::string> sentences_;
  // Every run of whole characters of every sentence.
  std::unordered_set<std::string> pieces_;
  std::size_t shortest_ = 0;  // in characters
  std::size_t longest_ = 0;
};

// Words and word pairs of segmented text.
struct TextCounts {
  std::unordered_map<std::string, double> words;
  // previous + '\t' + next; the empty word is the start of a run.
  std::unordered_map<std::string, double> pairs;
  // Where two words meet: the earlier one's last character + '\t' + the
  // later one's first character.
  std::unordered_map<std::string, double> meetings;
  double tokens = 0;
  std::size_t runs = 0;
};

// Cuts each run into the words of `dictionary` (value -> log10 score) with
// the highest total score, a character the dictionary lacks standing alone
// at `unknownScore`, and counts the words, the neighbouring pairs (the first
// word of a run after the empty word) and the characters where words meet.
TextCounts countSegmentedWords(const std::vector<std::string>& runs,
                               const std::unordered_map<std::string, double>& dictionary,
                               double unknownScore, std::size_t longestWord);

struct TextOptions {
  // The Taiwan text's share of the mixed word counts (0 to below 1).
  double taiwanShare = 0.8;
  // The score of a character the phrases lack when segmenting.
  double unknownCharacterScore = -9;
  // Multiplies the Taiwan counts of single characters.
  double singleCharacterFactor = 1;
};

struct TextStatistics {
  std::size_t runs = 0;
  std::size_t excludedRuns = 0;
  double tokens = 0;
  std::size_t contextWords = 0;
  std::size_t contextPairs = 0;
};

// Reads every Taiwan text source (catalogues and compressed documents) and
// keeps its runs of Han characters that no evaluation sentence of the
// `excluded` corpora overlaps. Fails, naming the file in *error, when any
// source or corpus cannot be read: the data must never be built from less
// than its pinned sources.
bool readTrainingRuns(const std::vector<std::string>& catalogues,
                      const std::vector<std::string>& documents,
                      const std::vector<std::string>& excluded, std::vector<std::string>& runs,
                      TextStatistics& statistics, std::string* error);

// Adds the Taiwan counts to the corpus counts so that the Taiwan text makes
// up options.taiwanShare of the mixed total.
void mixWordCounts(const TextCounts& counts, const TextOptions& options,
                   std::unordered_map<std::string, double>& wordCounts);

}  // namespace Kestova::DataBuilder

#endif  // KESTOVA_DATABUILDER_TRAININGTEXT_H_
