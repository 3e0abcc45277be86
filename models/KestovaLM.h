// The composite language model: the one model the key handler's grid asks.
// It owns its sources (the built-in ParselessLM, the user's UserPhrasesLM
// files and replacement table), the phrases added since the user files
// were loaded, and a cache of recent answers; it reads the learnt words and
// uses the macro expander it is given. The loader creates it, shares it with the
// key handler and changes its sources and settings, between keys only;
// the phrase page's own loader has its own; tools and tests build theirs.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "grid/LanguageModel.h"
#include "models/LearntWords.h"
#include "models/ParselessLM.h"
#include "models/UserPhrasesLM.h"
#include "text/TextHash.h"

namespace Kestova {

// The one language model the reading grid and the key handler see. It merges
// the user's phrases (first) with the built-in phrases, drops the user's
// excluded phrases, applies the user's value replacements when enabled,
// expands input macros, lists every value only once, and puts the words
// learnt from the user's corrections first (setLearntWords). Recent answers
// are remembered until a source or a setting changes (see cache_).
//
// The user's phrases are those of the user phrase file as loaded, then the
// phrases added since (addUserPhrase): written to the file after it was
// loaded, or waiting to be written. An added phrase is never excluded.
//
// rawValue of each returned phrase is its value as it stood in its source,
// except for boosted single-syllable user phrases, whose rawValue is empty.
// The user's phrases are marked fromUser.
class KestovaLM : public Palisar::Lattivor2::LanguageModel {
 public:
  using MacroExpander = std::function<std::string(std::string_view)>;

  KestovaLM() = default;
  ~KestovaLM() override = default;
  KestovaLM(const KestovaLM&) = delete;
  KestovaLM& operator=(const KestovaLM&) = delete;

  std::vector<Palisar::Lattivor2::ScoredPhrase> getScoredPhrases(std::string_view reading) override;
  bool hasScoredPhrases(std::string_view reading) override;

  // Each of these closes its source first, so a source that fails to load
  // becomes empty rather than stale.
  void openBuiltInTable(const std::string& path);
  bool builtInTableLoaded() const { return builtIn_.isLoaded(); }
  // Loaded, and a sorted phrase file (with its header): a file without the
  // header loads but answers nothing.
  bool builtInTableUsable() const { return builtIn_.isLoaded() && builtIn_.hasHeader(); }
  // Closes the built-in table if its file was cut shorter in place since it
  // was mapped (reading on would fault); true if it did. One fstat().
  bool closeBuiltInTableIfCutShort();
  // Loading the user files also forgets the phrases added since.
  void openUserFiles(const std::string& userPhrasesPath, const std::string& excludedPhrasesPath);
  void openReplacementFile(const std::string& path);

  // Learnt words rank first among the phrases of their reading: a learnt
  // single syllable just above the best other phrase (like a user's single
  // character); a learnt word of several syllables scores as a user's
  // phrase (0) when it is freshly learnt, kLearntFade less at weight 0, and
  // at least kLearntBoost times its weight above the best other phrase, so
  // that it wins over the built-in phrases and the pair scores in any
  // context. Null learns nothing.
  void setLearntWords(std::shared_ptr<const LearntWords> words);
  static constexpr double kLearntBoost = 3.0;
  static constexpr double kLearntFade = 4.0;

  // A phrase added to the user's phrases after the user phrase file was
  // loaded; served with them, and never excluded, until the user files are
  // loaded again. Adding it twice changes nothing.
  void addUserPhrase(std::string_view reading, std::string_view value);
  // Takes back an added phrase (one that could not be written).
  void withdrawUserPhrase(std::string_view reading, std::string_view value);
  // Whether the user phrase file, or the excluded-phrase file, as loaded
  // lists value under reading (added phrases do not count).
  bool userPhraseFileLists(std::string_view reading, std::string_view value) const {
    return userPhrases_.lists(reading, value);
  }
  bool excludedPhraseFileLists(std::string_view reading, std::string_view value) const {
    return excludedPhrases_.lists(reading, value);
  }

  void setReplacementEnabled(bool enabled);
  bool replacementEnabled() const { return replacementEnabled_; }
  void setMacroExpander(MacroExpander expander);

  // At most this many phrases are kept from recent look-ups (see cache_).
  static constexpr std::size_t kCachedPhraseLimit = 16384;

 private:
  using StringSet = std::unordered_set<std::string>;
  // Views of the values already listed by one look-up. They point into the
  // look-up's output lists, which must neither grow past their reserved
  // capacity nor change while the set is in use.
  using ViewSet = std::pmr::unordered_set<std::string_view>;

  // Appends to output the phrases of input that survive exclusion,
  // replacement, macro expansion and de-duplication against inserted.
  // Reserves room in output for all of input first, so the views that
  // inserted gains into output stay valid; inserted must not yet view any
  // value of output, since reserving may move them.
  // Sets expanded when a macro (or any expansion) changed a value; marks the
  // output as the user's own when fromUser is set.
  void filter(const std::vector<Palisar::Lattivor2::ScoredPhrase>& input, const StringSet& excluded,
              ViewSet& inserted, std::vector<Palisar::Lattivor2::ScoredPhrase>& output,
              bool& expanded, bool fromUser);
  std::vector<Palisar::Lattivor2::ScoredPhrase> lookUp(std::string_view reading, bool& expanded);
  void rankLearntWords(std::string_view reading,
                       std::vector<Palisar::Lattivor2::ScoredPhrase>& phrases) const;
  void forgetLookUps();
  // Forgets the remembered answers when the learnt words changed since.
  void followLearntWords();

  ParselessLM builtIn_;
  UserPhrasesLM userPhrases_;
  UserPhrasesLM excludedPhrases_;
  // Values added under each reading since the user files were loaded.
  std::unordered_map<std::string, std::vector<std::string>, TextHash, std::equal_to<>>
      addedPhrases_;
  ReplacementTable replacements_;
  bool replacementEnabled_ = false;
  MacroExpander macroExpander_;
  std::shared_ptr<const LearntWords> learntWords_;
  std::uint64_t learntVersion_ = 0;

  // The answers of recent look-ups, misses too: typing asks for the same
  // readings again and again, and a single syllable brings hundreds of
  // phrases, each parsed, filtered and de-duplicated. Emptied whenever a
  // source or a setting changes, and when it would hold more than
  // kCachedPhraseLimit phrases. An answer with an expanded macro is never
  // kept: a date macro's text changes with the clock.
  std::unordered_map<std::string, std::vector<Palisar::Lattivor2::ScoredPhrase>, TextHash,
                     std::equal_to<>>
      cache_;
  std::size_t cachedPhrases_ = 0;
};

}  // namespace Kestova
