#include "phonetics/HanyuPinyin.h"

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

bool isPalatal(Component consonant) {
  return consonant >= S::J && consonant <= S::X;
}

}  // namespace

BpmfSyllable fromPinyin(std::string_view input) {
  if (input.empty()) return BpmfSyllable();

  std::string lowered(input);
  for (char& c : lowered) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  std::string_view rest = lowered;

  Component consonant = 0;
  Component provisionalMedial = 0;
  Component provisionalVowel = 0;

  // Whole syllables spelled with y, whose letters do not follow the usual
  // initial + final pattern.
  static constexpr struct {
    std::string_view prefix;
    Component medial;
    Component vowel;
  } kYForms[] = {
      {"yuan", S::UE, S::AN},  {"ying", S::I, S::ENG}, {"yung", S::UE, S::ENG},
      {"yong", S::UE, S::ENG}, {"yue", S::UE, S::E},   {"yun", S::UE, S::EN},
      {"you", S::I, S::OU},    {"yu", S::UE, 0},
  };
  bool yFormMatched = false;
  for (const auto& row : kYForms) {
    if (consume(rest, row.prefix)) {
      provisionalMedial = row.medial;
      provisionalVowel = row.vowel;
      yFormMatched = true;
      break;
    }
  }

  // Single-letter initials, and w / y standing for a medial.
  if (!rest.empty()) {
    static constexpr std::string_view kInitials = "bpmfdtnlgkhjqx";
    static constexpr Component kInitialComponents[] = {S::B, S::P, S::M, S::F, S::D, S::T, S::N,
                                                       S::L, S::G, S::K, S::H, S::J, S::Q, S::X};
    char first = rest.front();
    if (auto index = kInitials.find(first); index != std::string_view::npos) {
      consonant = kInitialComponents[index];
      rest.remove_prefix(1);
    } else if (first == 'w') {
      provisionalMedial = S::U;
      rest.remove_prefix(1);
    } else if (first == 'y') {
      if (!yFormMatched) provisionalMedial = S::I;
      rest.remove_prefix(1);
    }
  }

  // Retroflex and dental initials; after them an "i" is the empty rime and
  // contributes no medial.
  static constexpr struct {
    std::string_view prefix;
    Component consonant;
  } kSibilants[] = {
      {"zh", S::ZH}, {"ch", S::CH}, {"sh", S::SH}, {"r", S::R},
      {"z", S::Z},   {"c", S::C},   {"s", S::S},
  };
  Component iMedial = S::I;
  for (const auto& row : kSibilants) {
    if (consume(rest, row.prefix)) {
      consonant = row.consonant;
      iMedial = 0;
      break;
    }
  }

  // Finals that bring their medial with them.
  Component finalVowel = provisionalVowel;
  Component medialCandidate = provisionalMedial;
  static constexpr struct {
    std::string_view prefix;
    Component vowel;
    Component medial;
  } kMedialFinals[] = {
      {"veng", S::ENG, S::UE}, {"iong", S::ENG, S::UE}, {"ing", S::ENG, S::I}, {"ien", S::EN, S::I},
      {"iou", S::OU, S::I},    {"uen", S::EN, S::U},    {"ven", S::EN, S::UE}, {"uei", S::EI, S::U},
  };
  bool finalMatched = false;
  for (const auto& row : kMedialFinals) {
    if (consume(rest, row.prefix)) {
      finalVowel = row.vowel;
      medialCandidate = row.medial;
      finalMatched = true;
      break;
    }
  }
  if (!finalMatched) {
    if (consume(rest, "ung") || consume(rest, "ong")) {
      finalVowel = S::ENG;
      medialCandidate = consonant == S::F ? provisionalMedial : S::U;
    } else if (consume(rest, "un")) {
      finalVowel = S::EN;
      medialCandidate = isPalatal(consonant) ? S::UE : S::U;
    } else if (consume(rest, "iu")) {
      finalVowel = S::OU;
      medialCandidate = S::I;
    } else if (consume(rest, "in")) {
      finalVowel = S::EN;
      medialCandidate = S::I;
    } else if (consume(rest, "vn")) {
      finalVowel = S::EN;
      medialCandidate = S::UE;
    } else if (consume(rest, "ui")) {
      finalVowel = S::EI;
      medialCandidate = S::U;
    } else if (consume(rest, "ue")) {
      finalVowel = S::E;
      medialCandidate = S::UE;
    } else if (consume(rest, kUmlautU)) {
      finalVowel = provisionalVowel;
      medialCandidate = S::UE;
    }
  }

  // A medial letter of its own.
  Component medial = medialCandidate;
  if (consume(rest, "i")) {
    medial = iMedial;
  } else if (consume(rest, "u")) {
    medial = isPalatal(consonant) ? S::UE : S::U;
  } else if (consume(rest, "v")) {
    medial = S::UE;
  }

  // The vowel.
  static constexpr struct {
    std::string_view prefix;
    Component vowel;
  } kVowels[] = {
      {"ang", S::ANG}, {"eng", S::ENG}, {"err", S::ERR}, {"ai", S::AI},
      {"ei", S::EI},   {"ao", S::AO},   {"ou", S::OU},   {"an", S::AN},
      {"en", S::EN},   {"er", S::ERR},  {"a", S::A},     {"o", S::O},
  };
  Component vowel = finalVowel;
  bool vowelMatched = false;
  for (const auto& row : kVowels) {
    if (consume(rest, row.prefix)) {
      vowel = row.vowel;
      vowelMatched = true;
      break;
    }
  }
  if (!vowelMatched && consume(rest, "e")) vowel = medial != 0 ? S::E : S::ER;

  // The tone digit; anything after it is ignored.
  Component tone = S::Tone1;
  if (!rest.empty()) {
    switch (rest.front()) {
      case '2':
        tone = S::Tone2;
        break;
      case '3':
        tone = S::Tone3;
        break;
      case '4':
        tone = S::Tone4;
        break;
      case '5':
        tone = S::Tone5;
        break;
      default:
        break;
    }
  }

  return BpmfSyllable(static_cast<Component>(consonant | medial | vowel | tone));
}

std::string toPinyin(BpmfSyllable syllable, bool includeTone, bool useV) {
  static constexpr std::string_view kInitials[] = {
      "",  "b", "p", "m", "f",  "d",  "t",  "n", "l", "g", "k",
      "h", "j", "q", "x", "zh", "ch", "sh", "r", "z", "c", "s",
  };
  static constexpr std::string_view kFinals[] = {
      "", "a", "o", "e", "e", "ai", "ei", "ao", "ou", "an", "en", "ang", "eng", "er",
  };

  const Component consonant = syllable.consonantComponent();
  const Component medial = syllable.middleVowelComponent();
  const Component vowel = syllable.vowelComponent();
  const bool hasConsonant = consonant != 0;
  const bool hasVowel = vowel != 0;

  // Consonant codes above 21 never occur in valid syllables; spell them as
  // nothing rather than reading past the table.
  std::string initial(consonant <= S::S ? kInitials[consonant] : "");
  if (consonant >= S::J && consonant <= S::S && medial == 0 && !hasVowel) initial += "i";

  std::string medialPart;
  if (medial == S::U) {
    if (!hasConsonant) initial = "w";
    medialPart = (!hasConsonant && hasVowel) ? "" : "u";
  } else if (medial == S::UE) {
    if (!hasConsonant) {
      initial = "y";
      medialPart = "u";
    } else if ((consonant == S::N || consonant == S::L) && vowel != S::E) {
      medialPart = useV ? "v" : kUmlautU;
    } else {
      medialPart = "u";
    }
  } else if (medial == S::I) {
    if (!hasConsonant) initial = "y";
    medialPart = (!hasConsonant && hasVowel) ? "" : "i";
  }

  const size_t vowelIndex = vowel >> 7;
  std::string finalPart(vowelIndex < std::size(kFinals) ? kFinals[vowelIndex] : "");

  if (vowel == S::ENG && (medial == S::U || medial == S::UE)) {
    medialPart.clear();
    if (isPalatal(consonant)) {
      finalPart = "iong";
    } else if (!hasConsonant && medial == S::U) {
      finalPart = "eng";
    } else {
      finalPart = "ong";
    }
  } else if (vowel == S::EN && medial != 0) {
    if (hasConsonant || medial == S::UE) {
      finalPart = "n";
    } else {
      finalPart = medial == S::U ? "en" : "in";
    }
  } else if (medial == S::I && vowel == S::OU && hasConsonant) {
    medialPart.clear();
    finalPart = "iu";
  } else if (medial == S::I && vowel == S::ENG) {
    medialPart.clear();
    finalPart = "ing";
  } else if (medial == S::U && vowel == S::EI && hasConsonant) {
    medialPart.clear();
    finalPart = "ui";
  }

  std::string result = initial + medialPart + finalPart;
  if (includeTone) {
    switch (syllable.toneMarkComponent()) {
      case S::Tone2:
        result += '2';
        break;
      case S::Tone3:
        result += '3';
        break;
      case S::Tone4:
        result += '4';
        break;
      case S::Tone5:
        result += '5';
        break;
      default:
        break;
    }
  }
  return result;
}

}  // namespace Kestova
