#include "databuilder/OpenDataSources.h"

#include <chewing.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "phonetics/BpmfSyllable.h"
#include "phonetics/HanyuPinyin.h"
#include "text/Utf8.h"

namespace Kestova::DataBuilder {

namespace {

std::string_view trimLineEnd(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

std::vector<std::string_view> splitFields(std::string_view line, char separator) {
  std::vector<std::string_view> fields;
  size_t start = 0;
  while (true) {
    size_t end = line.find(separator, start);
    if (end == std::string_view::npos) {
      fields.push_back(line.substr(start));
      break;
    }
    fields.push_back(line.substr(start, end - start));
    start = end + 1;
  }
  return fields;
}

// The pinyin reader is tolerant and stops at what it does not know; a
// dictionary syllable counts only if it was read whole, that is, if spelling
// the result again gives the same letters (first-tone digit, ü and the
// ü-spelling of lüe aside).
bool spellsCompletely(std::string_view pinyin, BpmfSyllable syllable) {
  if (!pinyin.empty() && pinyin.back() == '1') pinyin.remove_suffix(1);
  constexpr std::string_view kUmlautU = "ü";
  std::string expected;
  expected.reserve(pinyin.size());
  for (size_t i = 0; i < pinyin.size();) {
    if (pinyin.substr(i, kUmlautU.size()) == kUmlautU) {
      expected += 'v';
      i += kUmlautU.size();
    } else {
      expected += pinyin[i++];
    }
  }
  std::string spelled = toPinyin(syllable, true, true);
  if (spelled == expected) return true;
  size_t ve = expected.find("ve");
  if (ve == std::string::npos) return false;
  expected[ve] = 'u';
  return spelled == expected;
}

}  // namespace

std::vector<std::string> splitCharacters(std::string_view text) {
  if (!Utf8::isValid(text)) return {};
  std::vector<std::string> characters;
  for (std::string_view character : Utf8::splitCharacters(text)) characters.emplace_back(character);
  return characters;
}

bool isHanCharacter(std::string_view character) {
  char32_t code = 0;
  auto bytes = reinterpret_cast<const unsigned char*>(character.data());
  if (character.size() == 3) {
    code = ((bytes[0] & 0x0F) << 12) | ((bytes[1] & 0x3F) << 6) | (bytes[2] & 0x3F);
  } else if (character.size() == 4) {
    code = ((bytes[0] & 0x07) << 18) | ((bytes[1] & 0x3F) << 12) | ((bytes[2] & 0x3F) << 6) |
           (bytes[3] & 0x3F);
  } else {
    return false;
  }
  return (code >= 0x4E00 && code <= 0x9FFF) || (code >= 0x3400 && code <= 0x4DBF) ||
         (code >= 0xF900 && code <= 0xFAFF) || (code >= 0x20000 && code <= 0x2FFFF);
}

bool isWellFormedSyllable(std::string_view composed) {
  if (composed.empty()) return false;
  BpmfSyllable syllable = BpmfSyllable::fromComposedText(composed);
  if (syllable.isEmpty() || syllable.toComposedText() != composed) return false;
  if (syllable.hasVowel() || syllable.hasMiddleVowel()) return true;
  return syllable.hasRetroflexOrDentalConsonant();
}

bool readWordFrequencies(const std::string& path, std::unordered_map<std::string, double>& counts) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    auto fields = splitFields(trimLineEnd(line), '\t');
    if (fields.size() < 2 || fields[0].empty()) continue;
    char* end = nullptr;
    std::string number(fields[1]);
    double count = std::strtod(number.c_str(), &end);
    if (end == number.c_str() || count < 0) continue;
    counts[std::string(fields[0])] += count;
  }
  return true;
}

bool readPinyinDictionary(const std::string& path, std::vector<ReadingEntry>& entries) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  bool inBody = false;
  while (std::getline(in, line)) {
    std::string_view view = trimLineEnd(line);
    if (!inBody) {
      if (view == "...") inBody = true;
      continue;
    }
    if (view.empty() || view.front() == '#') continue;
    auto fields = splitFields(view, '\t');
    if (fields.size() < 2 || fields[0].empty()) continue;
    ReadingEntry entry;
    entry.word = std::string(fields[0]);
    bool valid = true;
    for (std::string_view pinyin : splitFields(fields[1], ' ')) {
      if (pinyin.empty()) continue;
      BpmfSyllable syllable = fromPinyin(pinyin);
      std::string composed = syllable.toComposedText();
      if (!isWellFormedSyllable(composed) || !spellsCompletely(pinyin, syllable)) {
        valid = false;
        break;
      }
      entry.syllables.push_back(std::move(composed));
    }
    if (!valid || entry.syllables.empty()) continue;
    if (fields.size() >= 3) {
      std::string percent(fields[2]);
      char* end = nullptr;
      double value = std::strtod(percent.c_str(), &end);
      if (end != percent.c_str() && *end == '%') entry.percent = value;
    }
    entries.push_back(std::move(entry));
  }
  return true;
}

std::string gcinKeyToComposed(unsigned key) {
  unsigned consonant = (key >> 9) & 0x1F;
  unsigned medial = (key >> 7) & 0x3;
  unsigned vowel = (key >> 3) & 0xF;
  unsigned tone = key & 0x7;
  if (consonant > 21 || vowel > 13 || tone > 4) return {};
  static constexpr BpmfSyllable::Component kTones[] = {BpmfSyllable::Tone1, BpmfSyllable::Tone5,
                                                       BpmfSyllable::Tone2, BpmfSyllable::Tone3,
                                                       BpmfSyllable::Tone4};
  auto value =
      static_cast<BpmfSyllable::Component>(consonant | (medial << 5) | (vowel << 7) | kTones[tone]);
  std::string composed = BpmfSyllable(value).toComposedText();
  return isWellFormedSyllable(composed) ? composed : std::string();
}

bool readGcinPhraseTable(const std::string& path, std::vector<ReadingEntry>& entries) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto bytes = reinterpret_cast<const unsigned char*>(data.data());
  size_t pos = 0;
  while (pos < data.size()) {
    size_t count = bytes[pos];
    size_t keysAt = pos + 1 + 4;
    size_t textAt = keysAt + 2 * count;
    if (count == 0 || textAt > data.size()) return false;
    ReadingEntry entry;
    for (size_t i = 0; i < count; ++i) {
      unsigned key = bytes[keysAt + 2 * i] | (bytes[keysAt + 2 * i + 1] << 8);
      entry.syllables.push_back(gcinKeyToComposed(key));
    }
    // The text holds exactly `count` well-formed UTF-8 characters.
    const std::string_view text = std::string_view(data).substr(textAt);
    const std::string_view word = text.substr(0, Utf8::offsetAfter(text, count));
    if (Utf8::characterCount(word) != count || !Utf8::isValid(word)) return false;
    entry.word = std::string(word);
    const size_t end = textAt + word.size();
    entries.push_back(std::move(entry));
    pos = end;
  }
  return true;
}

bool readSyllableCharacters(const std::string& path, SyllableCharacters& table) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    auto fields = splitFields(trimLineEnd(line), '\t');
    if (fields.size() < 2 || !isWellFormedSyllable(fields[0])) continue;
    auto& characters = table[std::string(fields[0])];
    for (std::string_view character : splitFields(fields[1], ' ')) {
      if (!character.empty()) characters.emplace_back(character);
    }
  }
  return true;
}

namespace {

// The keys of the standard Bopomofo keyboard, by component.
char standardKey(BpmfSyllable::Component component) {
  static const std::map<BpmfSyllable::Component, char> kKeys = {
      {BpmfSyllable::B, '1'},     {BpmfSyllable::P, 'q'},     {BpmfSyllable::M, 'a'},
      {BpmfSyllable::F, 'z'},     {BpmfSyllable::D, '2'},     {BpmfSyllable::T, 'w'},
      {BpmfSyllable::N, 's'},     {BpmfSyllable::L, 'x'},     {BpmfSyllable::G, 'e'},
      {BpmfSyllable::K, 'd'},     {BpmfSyllable::H, 'c'},     {BpmfSyllable::J, 'r'},
      {BpmfSyllable::Q, 'f'},     {BpmfSyllable::X, 'v'},     {BpmfSyllable::ZH, '5'},
      {BpmfSyllable::CH, 't'},    {BpmfSyllable::SH, 'g'},    {BpmfSyllable::R, 'b'},
      {BpmfSyllable::Z, 'y'},     {BpmfSyllable::C, 'h'},     {BpmfSyllable::S, 'n'},
      {BpmfSyllable::I, 'u'},     {BpmfSyllable::U, 'j'},     {BpmfSyllable::UE, 'm'},
      {BpmfSyllable::A, '8'},     {BpmfSyllable::O, 'i'},     {BpmfSyllable::ER, 'k'},
      {BpmfSyllable::E, ','},     {BpmfSyllable::AI, '9'},    {BpmfSyllable::EI, 'o'},
      {BpmfSyllable::AO, 'l'},    {BpmfSyllable::OU, '.'},    {BpmfSyllable::AN, '0'},
      {BpmfSyllable::EN, 'p'},    {BpmfSyllable::ANG, ';'},   {BpmfSyllable::ENG, '/'},
      {BpmfSyllable::ERR, '-'},   {BpmfSyllable::Tone2, '6'}, {BpmfSyllable::Tone3, '3'},
      {BpmfSyllable::Tone4, '4'}, {BpmfSyllable::Tone5, '7'}};
  auto it = kKeys.find(component);
  return it == kKeys.end() ? 0 : it->second;
}

struct ChewingDeleter {
  void operator()(ChewingContext* context) const { chewing_delete(context); }
};

// Every well-formed syllable, by consonant, medial, vowel, then tone.
std::vector<BpmfSyllable> wellFormedSyllables() {
  std::vector<BpmfSyllable> syllables;
  for (unsigned consonant = 0; consonant <= 21; ++consonant) {
    for (unsigned medial = 0; medial <= 3; ++medial) {
      for (unsigned vowel = 0; vowel <= 13; ++vowel) {
        for (BpmfSyllable::Component tone :
             {BpmfSyllable::Tone1, BpmfSyllable::Tone2, BpmfSyllable::Tone3, BpmfSyllable::Tone4,
              BpmfSyllable::Tone5}) {
          BpmfSyllable syllable(static_cast<BpmfSyllable::Component>(consonant | (medial << 5) |
                                                                     (vowel << 7) | tone));
          if (isWellFormedSyllable(syllable.toComposedText())) syllables.push_back(syllable);
        }
      }
    }
  }
  return syllables;
}

// Types the syllable on the standard layout; the first tone ends with a space.
void typeSyllable(ChewingContext* ctx, BpmfSyllable syllable) {
  for (BpmfSyllable::Component part :
       {syllable.consonantComponent(), syllable.middleVowelComponent(),
        syllable.vowelComponent()}) {
    if (part != 0) chewing_handle_Default(ctx, standardKey(part));
  }
  if (syllable.toneMarkComponent() == BpmfSyllable::Tone1) {
    chewing_handle_Space(ctx);
  } else {
    chewing_handle_Default(ctx, standardKey(syllable.toneMarkComponent()));
  }
}

// The single characters of the candidate list of what was typed, if it
// became one character; none otherwise.
std::vector<std::string> candidateCharacters(ChewingContext* ctx) {
  std::vector<std::string> characters;
  if (chewing_buffer_Len(ctx) != 1) return characters;
  chewing_handle_Down(ctx);
  chewing_cand_Enumerate(ctx);
  while (chewing_cand_hasNext(ctx)) {
    const char* candidate = chewing_cand_String_static(ctx);
    if (candidate != nullptr && splitCharacters(candidate).size() == 1) {
      characters.emplace_back(candidate);
    }
  }
  return characters;
}

void clearInput(ChewingContext* ctx) {
  chewing_handle_Esc(ctx);
  chewing_clean_preedit_buf(ctx);
  chewing_clean_bopomofo_buf(ctx);
  chewing_Reset(ctx);
}

}  // namespace

bool enumerateChewingCharacters(SyllableCharacters& table) {
  // The library keeps a user phrase store; give it a private, throw-away one.
  std::error_code error;
  std::filesystem::path directory = std::filesystem::temp_directory_path(error);
  if (error) directory = "/tmp";
  std::string userPath =
      (directory / ("kestova-databuilder-" + std::to_string(::getpid()) + ".db")).string();
  std::unique_ptr<ChewingContext, ChewingDeleter> context(
      chewing_new2(nullptr, userPath.c_str(), nullptr, nullptr));
  if (!context) {
    std::filesystem::remove(userPath, error);
    return false;
  }
  ChewingContext* ctx = context.get();
  chewing_set_candPerPage(ctx, 10);
  chewing_set_maxChiSymbolLen(ctx, 16);

  for (BpmfSyllable syllable : wellFormedSyllables()) {
    typeSyllable(ctx, syllable);
    std::vector<std::string> characters = candidateCharacters(ctx);
    if (!characters.empty()) table[syllable.toComposedText()] = std::move(characters);
    clearInput(ctx);
  }
  context.reset();
  std::filesystem::remove(userPath, error);
  return true;
}

}  // namespace Kestova::DataBuilder
