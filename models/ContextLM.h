// The word-pair model the context walk asks (grid/ContextModel.h), read
// straight from the mapped context file (ContextFile.h). It owns its
// mapping and nothing else. The loader opens one beside the built-in phrase
// file, shares it with the key handler's grid, checks it before every key
// and closes it in place when its file was cut shorter; the evaluation tool
// and tests open their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/MappedFile.h"
#include "grid/ContextModel.h"

namespace Kestova {

// The pair model of a context file (ContextFile.h) over a read-only
// mapping. Opening costs one mmap and a check of the header's counts against
// the file's size (the file is mapped, not read); a word look-up is a binary
// search over the sorted words, a pair look-up a binary search among the
// earlier word's pairs.
//
// The mapping is size-checked like the phrase file's (MappedFile): the
// owner asks mappingIntact() before each key and closes the model when the
// file was cut shorter in place; a closed model answers like one that knows
// no word.
class ContextLM : public Palisar::Lattivor2::ContextModel {
 public:
  ContextLM() = default;
  ~ContextLM() override = default;
  ContextLM(const ContextLM&) = delete;
  ContextLM& operator=(const ContextLM&) = delete;

  // Maps path. False, leaving the model empty, if the file cannot be mapped
  // or is not a whole context file; `failure` (if given) then says why.
  bool open(const std::string& path, std::string* failure = nullptr);
  void close();
  bool isLoaded() const { return wordCount_ > 0; }
  // Whether the mapping can still be read through: false when the file was
  // cut shorter in place since it was opened. True when nothing is loaded.
  bool mappingIntact() const { return !file_.isOpen() || file_.coversMapping(); }

  Word lookUp(std::string_view value) const override;
  Word sentenceStart() const override { return sentenceStart_; }
  double pairScore(const Word& previous, const Word& next) const override;
  double weight() const override { return weight_; }

  // The id of one entry of the word list, or kUnknownWord.
  WordId wordId(std::string_view text) const;
  // The text of entry `index` of the word list ("" past its end, or when
  // the entry points outside the file's text).
  std::string_view word(std::size_t index) const {
    return index < wordCount_ ? wordText(index) : std::string_view();
  }
  double characterWeight() const { return characterWeight_; }

  // Replace the file's weights (for measurements).
  void setWeight(double weight) { weight_ = weight; }
  void setCharacterWeight(double weight) { characterWeight_ = weight; }
  std::size_t wordCount() const { return wordCount_; }
  std::size_t pairCount() const { return pairCount_; }

 private:
  std::uint32_t wordField(std::size_t word, std::size_t field) const;
  // The listed score of a pair, if any.
  bool listedPair(WordId previous, WordId next, double& score) const;
  std::string_view wordText(std::size_t word) const;
  // The range of a word's pairs.
  std::size_t pairsBegin(std::size_t word) const;
  std::size_t pairsEnd(std::size_t word) const;

  MappedFile file_;
  const char* words_ = nullptr;
  const char* pairs_ = nullptr;
  const char* text_ = nullptr;
  std::size_t wordCount_ = 0;
  std::size_t pairCount_ = 0;
  std::size_t textBytes_ = 0;
  double weight_ = 1.0;
  double characterWeight_ = 0;
  Word sentenceStart_;
};

}  // namespace Kestova
