#include "bench/comparison/DevSet.h"

#include <array>
#include <fstream>
#include <utility>

namespace Kestova::Bench {
namespace {

struct SymbolKey {
  std::string_view symbol;
  char key;
};

// Every Bopomofo symbol and tone mark with its key on the Standard layout.
constexpr std::array<SymbolKey, 41> kStandardKeys{{
    {"ㄅ", '1'}, {"ㄆ", 'q'}, {"ㄇ", 'a'}, {"ㄈ", 'z'}, {"ㄉ", '2'}, {"ㄊ", 'w'}, {"ㄋ", 's'},
    {"ㄌ", 'x'}, {"ㄍ", 'e'}, {"ㄎ", 'd'}, {"ㄏ", 'c'}, {"ㄐ", 'r'}, {"ㄑ", 'f'}, {"ㄒ", 'v'},
    {"ㄓ", '5'}, {"ㄔ", 't'}, {"ㄕ", 'g'}, {"ㄖ", 'b'}, {"ㄗ", 'y'}, {"ㄘ", 'h'}, {"ㄙ", 'n'},
    {"ㄧ", 'u'}, {"ㄨ", 'j'}, {"ㄩ", 'm'}, {"ㄚ", '8'}, {"ㄛ", 'i'}, {"ㄜ", 'k'}, {"ㄝ", ','},
    {"ㄞ", '9'}, {"ㄟ", 'o'}, {"ㄠ", 'l'}, {"ㄡ", '.'}, {"ㄢ", '0'}, {"ㄣ", 'p'}, {"ㄤ", ';'},
    {"ㄥ", '/'}, {"ㄦ", '-'}, {"ˊ", '6'},  {"ˇ", '3'},  {"ˋ", '4'},  {"˙", '7'},
}};

bool isToneKey(char key) {
  return key == '6' || key == '3' || key == '4' || key == '7';
}

std::vector<std::string_view> split(std::string_view text, char separator) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    parts.push_back(text.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) return parts;
    start = end + 1;
  }
}

}  // namespace

std::optional<std::string> standardKeys(std::string_view syllable) {
  std::string keys;
  while (!syllable.empty()) {
    bool found = false;
    for (const SymbolKey& entry : kStandardKeys) {
      if (syllable.starts_with(entry.symbol)) {
        keys += entry.key;
        syllable.remove_prefix(entry.symbol.size());
        found = true;
        break;
      }
    }
    if (!found) return std::nullopt;
  }
  if (keys.empty()) return std::nullopt;
  if (!isToneKey(keys.back())) keys += ' ';
  return keys;
}

std::vector<DevSentence> loadDevSet(const std::string& path, std::size_t* skipped) {
  std::vector<DevSentence> sentences;
  std::size_t bad = 0;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty()) continue;
    const std::size_t tab = line.find('\t');
    if (tab == std::string::npos) {
      ++bad;
      continue;
    }
    DevSentence sentence;
    sentence.gold = line.substr(0, tab);
    bool ok = true;
    for (std::string_view syllable : split(std::string_view(line).substr(tab + 1), '-')) {
      std::optional<std::string> keys = standardKeys(syllable);
      if (!keys) {
        ok = false;
        break;
      }
      sentence.syllables.emplace_back(syllable);
      sentence.keys += *keys;
      sentence.syllableEnds.push_back(sentence.keys.size() - 1);
    }
    if (ok) {
      sentences.push_back(std::move(sentence));
    } else {
      ++bad;
    }
  }
  if (skipped) *skipped = bad;
  return sentences;
}

std::vector<DevSentence> loadDevSets(const std::string& paths, std::size_t* skipped) {
  std::vector<DevSentence> sentences;
  std::size_t bad = 0;
  std::size_t corpus = 0;
  for (std::string_view path : split(paths, ',')) {
    if (path.empty()) continue;
    std::size_t skippedHere = 0;
    for (DevSentence& sentence : loadDevSet(std::string(path), &skippedHere)) {
      sentence.corpus = corpus;
      sentences.push_back(std::move(sentence));
    }
    bad += skippedHere;
    ++corpus;
  }
  if (skipped) *skipped = bad;
  return sentences;
}

}  // namespace Kestova::Bench
