// The user's own files as models: UserPhrasesLM over a phrase file
// (data.txt, exclude-phrases.txt) and ReplacementTable over
// phrases-replacement.txt. Each owns a copy of its file's bytes and an
// index into it. KestovaLM owns them and opens them again when the loader
// sees their files change; nothing else uses them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "grid/LanguageModel.h"
#include "models/UserFileParser.h"

namespace Kestova {

// A language model over one of the user's phrase files ("VALUE READING"
// lines). Every phrase has score 0 and an empty rawValue.
//
// User files are small and may be rewritten in place by any editor while
// loaded, so the model keeps its own copy of the bytes rather than a mapping
// that could shrink under it; the index holds views into that copy.
class UserPhrasesLM : public Palisar::Lattivor2::LanguageModel {
 public:
  UserPhrasesLM() = default;
  ~UserPhrasesLM() override;
  UserPhrasesLM(const UserPhrasesLM&) = delete;
  UserPhrasesLM& operator=(const UserPhrasesLM&) = delete;

  // Fails if already open, if the file cannot be read (not a regular file,
  // larger than FileAccess::kUserFileLimit), is empty or holds a NUL byte
  // anywhere but at its very end. Lines that are not UTF-8 are skipped.
  bool open(const std::string& path);
  void close();
  bool isOpen() const { return open_; }
  // What the last open() found wrong with the file, for the log.
  const UserFileLoad& lastLoad() const { return lastLoad_; }

  std::vector<Palisar::Lattivor2::ScoredPhrase> getScoredPhrases(std::string_view reading) override;
  bool hasScoredPhrases(std::string_view reading) override;
  // Whether the file, as loaded, lists value under reading.
  bool lists(std::string_view reading, std::string_view value) const;

 private:
  bool open_ = false;
  std::string bytes_;
  UserFileIndex index_;
  UserFileLoad lastLoad_;
};

// Value replacements from the user's replacement file ("VALUE REPLACEMENT"
// lines; the replacement may contain spaces). Not a language model.
class ReplacementTable {
 public:
  ReplacementTable() = default;
  ~ReplacementTable();
  ReplacementTable(const ReplacementTable&) = delete;
  ReplacementTable& operator=(const ReplacementTable&) = delete;

  bool open(const std::string& path);
  void close();
  bool isOpen() const { return open_; }
  const UserFileLoad& lastLoad() const { return lastLoad_; }

  // The first replacement listed for value, or "" if there is none.
  std::string replacementFor(std::string_view value) const;

 private:
  UserFileIndex index_;
  bool open_ = false;
  std::string bytes_;
  UserFileLoad lastLoad_;
};

}  // namespace Kestova
