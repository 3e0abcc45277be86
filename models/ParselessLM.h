// The built-in phrase file as a language model: look-ups answered from the
// mapped sorted phrase file without parsing it. It owns the mapping and the
// table over it. KestovaLM holds one as its built-in source (and
// BuiltInPhrases reads lines with parseSortedLine); tests and benchmarks
// open their own.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/MappedFile.h"
#include "grid/LanguageModel.h"
#include "models/SortedPhraseTable.h"

namespace Kestova {

// A language model answered straight from a sorted phrase file
// (SortedPhraseTable) over a read-only mapping. Opening costs one mmap; a
// look-up is a binary search plus a copy of the lines it returns.
//
// Each body line is "READING VALUE SCORE", fields separated by one space.
class ParselessLM : public Palisar::Lattivor2::LanguageModel {
 public:
  ParselessLM() = default;
  ~ParselessLM() override;
  ParselessLM(const ParselessLM&) = delete;
  ParselessLM& operator=(const ParselessLM&) = delete;

  // Maps path. Fails, keeping whatever was loaded, if a file is still open
  // (close first) or the file cannot be mapped. A file without the header
  // loads as an empty table.
  bool open(const std::string& path);
  void close();
  bool isLoaded() const { return table_ != nullptr; }
  // Whether the loaded file began with the header (a file without it loads
  // as an empty table).
  bool hasHeader() const { return table_ && table_->hasHeader(); }
  // Whether the mapping can still be read through: false when the file was
  // cut shorter in place since it was opened (MappedFile::coversMapping).
  // True when nothing is loaded.
  bool mappingIntact() const { return !table_ || file_.coversMapping(); }

  std::vector<Palisar::Lattivor2::ScoredPhrase> getScoredPhrases(std::string_view reading) override;
  bool hasScoredPhrases(std::string_view reading) override;

 private:
  MappedFile file_;
  // Points into file_; always destroyed before file_ is closed.
  std::unique_ptr<SortedPhraseTable> table_;
};

// Splits one body line into a phrase: VALUE is the second field, SCORE the
// number at the start of the third field. A missing, non-numeric or
// non-finite score ("nan", "inf") reads as 0: a damaged line in the data
// never stops a look-up or the walk.
Palisar::Lattivor2::ScoredPhrase parseSortedLine(std::string_view line);

}  // namespace Kestova
