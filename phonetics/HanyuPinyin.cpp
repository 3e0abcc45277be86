#include "phonetics/HanyuPinyin.h"

#include <iterator>

namespace Kestova {

namespace {

using S = BpmfSyllable;
using Component = BpmfSyllable::Component;

constexpr std::string_view kUmlautU = "\xC3\xBC";  // ü

// Removes `prefix` from the front of `rest` if it is there.
bool consume(std::string_view& rest, std::string_view prefix) {
  if (!rest.starts_with(prefix)) return false;
  rest.remove_prefix(prefix.size());
  return true;
}

// The first row of `table` whose prefix starts `rest`, removed from `rest`;
// nullptr if none does.
template <typename Row, size_t N>
const Row* consumeRow(std::string_view& rest, const Row (&table)[N]) {
  for (const Row& row : table) {
    if (consume(rest, row.prefix)) return &row;
  }
  return nullptr;
}

bool isPalatal(Component consonant) {
  return consonant >= S::J && consonant <= S::X;
}

// ㄩ after ㄐ ㄑ ㄒ, where Pinyin writes it "u"; ㄨ elsewhere.
Component medialOfU(Component consonant) {
  return isPalatal(consonant) ? S::UE : S::U;
}

// ---- Reading Pinyin ----

// Whole syllables spelled with y, whose letters do not follow the usual
// initial + final pattern.
struct YForm {
  std::string_view prefix;
  Component medial;
  Component vowel;
};
constexpr YForm kYForms[] = {
    {"yuan", S::UE, S::AN},  {"ying", S::I, S::ENG}, {"yung", S::UE, S::ENG},
    {"yong", S::UE, S::ENG}, {"yue", S::UE, S::E},   {"yun", S::UE, S::EN},
    {"you", S::I, S::OU},    {"yu", S::UE, 0},
};

// Single-letter initials.
constexpr std::string_view kInitialLetters = "bpmfdtnlgkhjqx";
constexpr Component kInitialLetterComponents[] = {S::B, S::P, S::M, S::F, S::D, S::T, S::N,
                                                  S::L, S::G, S::K, S::H, S::J, S::Q, S::X};

// Retroflex and dental initials; after them an "i" is the empty rime and
// contributes no medial.
struct Sibilant {
  std::string_view prefix;
  Component consonant;
};
constexpr Sibilant kSibilants[] = {
    {"zh", S::ZH}, {"ch", S::CH}, {"sh", S::SH}, {"r", S::R}, {"z", S::Z}, {"c", S::C}, {"s", S::S},
};

// How a final that brings its medial with it decides that medial.
enum class MedialRule {
  // Always the row's medial.
  Fixed,
  // ㄨ, except after f, where the medial read so far stays ("fong").
  UExceptAfterF,
  // ㄩ after ㄐ ㄑ ㄒ, ㄨ elsewhere ("jun", "dun").
  UOrUmlautAfterPalatal,
};
// A vowel of 0 in a final keeps the vowel read so far.
constexpr Component kKeepVowel = 0;
struct MedialFinal {
  std::string_view prefix;
  Component vowel;
  Component medial;
  MedialRule rule = MedialRule::Fixed;
};
// Tried in order; the first that matches wins.
constexpr MedialFinal kMedialFinals[] = {
    {"veng", S::ENG, S::UE},
    {"iong", S::ENG, S::UE},
    {"ing", S::ENG, S::I},
    {"ien", S::EN, S::I},
    {"iou", S::OU, S::I},
    {"uen", S::EN, S::U},
    {"ven", S::EN, S::UE},
    {"uei", S::EI, S::U},
    {"ung", S::ENG, S::U, MedialRule::UExceptAfterF},
    {"ong", S::ENG, S::U, MedialRule::UExceptAfterF},
    {"un", S::EN, 0, MedialRule::UOrUmlautAfterPalatal},
    {"iu", S::OU, S::I},
    {"in", S::EN, S::I},
    {"vn", S::EN, S::UE},
    {"ui", S::EI, S::U},
    {"ue", S::E, S::UE},
    {kUmlautU, kKeepVowel, S::UE},
};

struct Vowel {
  std::string_view prefix;
  Component vowel;
};
constexpr Vowel kVowels[] = {
    {"ang", S::ANG}, {"eng", S::ENG}, {"err", S::ERR}, {"ai", S::AI},  {"ei", S::EI}, {"ao", S::AO},
    {"ou", S::OU},   {"an", S::AN},   {"en", S::EN},   {"er", S::ERR}, {"a", S::A},   {"o", S::O},
};

// The tone digits 2-5; any other character leaves the first tone.
constexpr Component kToneOfDigit[] = {S::Tone2, S::Tone3, S::Tone4, S::Tone5};

// Reads a lower-case Pinyin syllable from the front, one part after another.
class PinyinReader {
 public:
  explicit PinyinReader(std::string_view text) : rest_(text) {}

  BpmfSyllable read() {
    readYForm();
    readInitialLetter();
    readSibilant();
    readMedialFinal();
    readMedial();
    readVowel();
    readTone();
    return BpmfSyllable(static_cast<Component>(consonant_ | medial_ | vowel_ | tone_));
  }

 private:
  void readYForm() {
    if (const YForm* row = consumeRow(rest_, kYForms)) {
      medial_ = row->medial;
      vowel_ = row->vowel;
      yForm_ = true;
    }
  }

  // A single-letter initial, or w / y standing for a medial.
  void readInitialLetter() {
    if (rest_.empty()) return;
    const char first = rest_.front();
    if (auto index = kInitialLetters.find(first); index != std::string_view::npos) {
      consonant_ = kInitialLetterComponents[index];
    } else if (first == 'w') {
      medial_ = S::U;
    } else if (first == 'y') {
      if (!yForm_) medial_ = S::I;
    } else {
      return;
    }
    rest_.remove_prefix(1);
  }

  void readSibilant() {
    if (const Sibilant* row = consumeRow(rest_, kSibilants)) {
      consonant_ = row->consonant;
      iMedial_ = 0;
    }
  }

  void readMedialFinal() {
    const MedialFinal* row = consumeRow(rest_, kMedialFinals);
    if (!row) return;
    if (row->vowel != kKeepVowel) vowel_ = row->vowel;
    switch (row->rule) {
      case MedialRule::Fixed:
        medial_ = row->medial;
        break;
      case MedialRule::UExceptAfterF:
        if (consonant_ != S::F) medial_ = S::U;
        break;
      case MedialRule::UOrUmlautAfterPalatal:
        medial_ = medialOfU(consonant_);
        break;
    }
  }

  // A medial letter of its own.
  void readMedial() {
    if (consume(rest_, "i")) {
      medial_ = iMedial_;
    } else if (consume(rest_, "u")) {
      medial_ = medialOfU(consonant_);
    } else if (consume(rest_, "v")) {
      medial_ = S::UE;
    }
  }

  // A lone "e" is ㄝ after a medial, ㄜ otherwise.
  void readVowel() {
    if (const Vowel* row = consumeRow(rest_, kVowels)) {
      vowel_ = row->vowel;
    } else if (consume(rest_, "e")) {
      vowel_ = medial_ != 0 ? S::E : S::ER;
    }
  }

  // The tone digit; anything after it is ignored.
  void readTone() {
    if (!rest_.empty() && rest_.front() >= '2' && rest_.front() <= '5') {
      tone_ = kToneOfDigit[rest_.front() - '2'];
    }
  }

  std::string_view rest_;
  bool yForm_ = false;
  // What an "i" after the initial means: ㄧ, or nothing after ㄓ-ㄙ.
  Component iMedial_ = S::I;
  Component consonant_ = 0;
  Component medial_ = 0;
  Component vowel_ = 0;
  Component tone_ = S::Tone1;
};

// ---- Spelling Pinyin ----

constexpr std::string_view kInitials[] = {
    "",  "b", "p", "m", "f",  "d",  "t",  "n", "l", "g", "k",
    "h", "j", "q", "x", "zh", "ch", "sh", "r", "z", "c", "s",
};
constexpr std::string_view kFinals[] = {
    "", "a", "o", "e", "e", "ai", "ei", "ao", "ou", "an", "en", "ang", "eng", "er",
};
// By tone field (bits 11-13); the first tone and invalid codes get nothing.
constexpr std::string_view kToneDigits[] = {"", "2", "3", "4", "5", "", "", ""};

// How each medial is written: without an initial it becomes `alone`
// ("w", "y") and its own letter is dropped before a vowel if `dropped`.
struct MedialSpelling {
  Component medial;
  std::string_view alone;
  std::string_view letter;
  bool dropped;
};
constexpr MedialSpelling kMedialSpellings[] = {
    {S::I, "y", "i", true},
    {S::U, "w", "u", true},
    {S::UE, "y", "u", false},
};

// Which syllables a contracted spelling applies to.
enum class When { Always, WithConsonant, WithoutConsonant, AfterPalatal };

constexpr unsigned medialBit(Component medial) {
  return 1U << (medial >> 5);
}

// A medial + vowel pair that Pinyin spells as one final.
struct Contraction {
  unsigned medials;  // medialBit() of each medial it applies to
  Component vowel;
  When when;
  bool dropsMedial;  // the medial letter is part of the final
  std::string_view final;
};
// Tried in order; the first that applies wins.
constexpr Contraction kContractions[] = {
    {medialBit(S::U) | medialBit(S::UE), S::ENG, When::AfterPalatal, true, "iong"},
    {medialBit(S::U), S::ENG, When::WithoutConsonant, true, "eng"},
    {medialBit(S::U) | medialBit(S::UE), S::ENG, When::Always, true, "ong"},
    {medialBit(S::I) | medialBit(S::U) | medialBit(S::UE), S::EN, When::WithConsonant, false, "n"},
    {medialBit(S::UE), S::EN, When::Always, false, "n"},
    {medialBit(S::U), S::EN, When::Always, false, "en"},
    {medialBit(S::I), S::EN, When::Always, false, "in"},
    {medialBit(S::I), S::OU, When::WithConsonant, true, "iu"},
    {medialBit(S::I), S::ENG, When::Always, true, "ing"},
    {medialBit(S::U), S::EI, When::WithConsonant, true, "ui"},
};

bool holds(When when, Component consonant) {
  switch (when) {
    case When::Always:
      return true;
    case When::WithConsonant:
      return consonant != 0;
    case When::WithoutConsonant:
      return consonant == 0;
    case When::AfterPalatal:
      return isPalatal(consonant);
  }
  return false;
}

const Contraction* findContraction(Component consonant, Component medial, Component vowel) {
  if (medial == 0) return nullptr;
  for (const Contraction& row : kContractions) {
    if ((row.medials & medialBit(medial)) && row.vowel == vowel && holds(row.when, consonant)) {
      return &row;
    }
  }
  return nullptr;
}

// The syllable spelled as initial + medial + final, before contractions.
struct Spelling {
  std::string initial;
  std::string medial;
  std::string final;
};

// Consonant codes above 21 never occur in valid syllables; they are spelled
// as nothing rather than reading past the table. ㄐ-ㄙ alone take an "i".
std::string spellInitial(Component consonant, Component medial, Component vowel) {
  std::string initial(consonant <= S::S ? kInitials[consonant] : "");
  if (consonant >= S::J && consonant <= S::S && medial == 0 && vowel == 0) initial += "i";
  return initial;
}

// ㄩ keeps its dots after n and l, where "u" would read as ㄨ; before ㄝ it
// is written "u" all the same ("lue", "nue").
bool keepsUmlaut(BpmfSyllable syllable) {
  const Component consonant = syllable.consonantComponent();
  return syllable.middleVowelComponent() == S::UE && (consonant == S::N || consonant == S::L) &&
         syllable.vowelComponent() != S::E;
}

void spellMedial(Spelling& spelling, BpmfSyllable syllable, bool useV) {
  const bool hasConsonant = syllable.hasConsonant();
  for (const MedialSpelling& row : kMedialSpellings) {
    if (row.medial != syllable.middleVowelComponent()) continue;
    if (!hasConsonant) spelling.initial = row.alone;
    const bool dropped = row.dropped && !hasConsonant && syllable.hasVowel();
    spelling.medial = dropped ? "" : row.letter;
  }
  if (keepsUmlaut(syllable)) spelling.medial = useV ? "v" : kUmlautU;
}

void spellFinal(Spelling& spelling, BpmfSyllable syllable) {
  const Component vowel = syllable.vowelComponent();
  const size_t vowelIndex = vowel >> 7;
  spelling.final = vowelIndex < std::size(kFinals) ? kFinals[vowelIndex] : "";
  if (const Contraction* row =
          findContraction(syllable.consonantComponent(), syllable.middleVowelComponent(), vowel)) {
    if (row->dropsMedial) spelling.medial.clear();
    spelling.final = row->final;
  }
}

}  // namespace

BpmfSyllable fromPinyin(std::string_view input) {
  if (input.empty()) return BpmfSyllable();
  std::string lowered(input);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return PinyinReader(lowered).read();
}

std::string toPinyin(BpmfSyllable syllable, bool includeTone, bool useV) {
  Spelling spelling;
  spelling.initial = spellInitial(syllable.consonantComponent(), syllable.middleVowelComponent(),
                                  syllable.vowelComponent());
  spellMedial(spelling, syllable, useV);
  spellFinal(spelling, syllable);
  std::string result = spelling.initial + spelling.medial + spelling.final;
  if (includeTone) result += kToneDigits[syllable.toneMarkComponent() >> 11];
  return result;
}

}  // namespace Kestova
