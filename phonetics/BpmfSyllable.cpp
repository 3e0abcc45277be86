#include "phonetics/BpmfSyllable.h"

#include <map>

#include "text/Utf8.h"

namespace Kestova {

namespace {

// The 41 Bopomofo symbols and tone marks with their component values, held
// both ways. Built once on first use and never freed.
struct SymbolTable {
  std::map<std::string, BpmfSyllable::Component, std::less<>> symbolToComponent;
  std::map<BpmfSyllable::Component, std::string> componentToSymbol;

  SymbolTable() {
    using S = BpmfSyllable;
    static constexpr struct {
      const char* symbol;
      BpmfSyllable::Component component;
    } kRows[] = {
        {"ㄅ", S::B},    {"ㄆ", S::P},   {"ㄇ", S::M},    {"ㄈ", S::F},    {"ㄉ", S::D},
        {"ㄊ", S::T},    {"ㄋ", S::N},   {"ㄌ", S::L},    {"ㄍ", S::G},    {"ㄎ", S::K},
        {"ㄏ", S::H},    {"ㄐ", S::J},   {"ㄑ", S::Q},    {"ㄒ", S::X},    {"ㄓ", S::ZH},
        {"ㄔ", S::CH},   {"ㄕ", S::SH},  {"ㄖ", S::R},    {"ㄗ", S::Z},    {"ㄘ", S::C},
        {"ㄙ", S::S},    {"ㄧ", S::I},   {"ㄨ", S::U},    {"ㄩ", S::UE},   {"ㄚ", S::A},
        {"ㄛ", S::O},    {"ㄜ", S::ER},  {"ㄝ", S::E},    {"ㄞ", S::AI},   {"ㄟ", S::EI},
        {"ㄠ", S::AO},   {"ㄡ", S::OU},  {"ㄢ", S::AN},   {"ㄣ", S::EN},   {"ㄤ", S::ANG},
        {"ㄥ", S::ENG},  {"ㄦ", S::ERR}, {"ˊ", S::Tone2}, {"ˇ", S::Tone3}, {"ˋ", S::Tone4},
        {"˙", S::Tone5},
    };
    for (const auto& row : kRows) {
      symbolToComponent.emplace(row.symbol, row.component);
      componentToSymbol.emplace(row.component, row.symbol);
    }
  }
};

const SymbolTable& symbolTable() {
  // Initialised once, also when several threads get here first at the same
  // time, and deliberately never destroyed so that it outlives every user.
  static const SymbolTable* table = new SymbolTable();
  return *table;
}

}  // namespace

std::string_view BpmfSyllable::symbolOfComponent(Component component) {
  const auto& map = symbolTable().componentToSymbol;
  auto it = map.find(component);
  return it == map.end() ? std::string_view() : std::string_view(it->second);
}

std::string BpmfSyllable::toComposedText() const {
  std::string text;
  for (Component c :
       {consonantComponent(), middleVowelComponent(), vowelComponent(), toneMarkComponent()}) {
    if (c != 0) text += symbolOfComponent(c);
  }
  return text;
}

BpmfSyllable BpmfSyllable::fromComposedText(std::string_view text) {
  const auto& map = symbolTable().symbolToComponent;
  BpmfSyllable syllable;
  size_t pos = 0;
  while (pos < text.size()) {
    // Symbol by symbol; the first character that is not one (ASCII, an
    // ill-formed byte, anything else) ends the syllable.
    const std::size_t length = Utf8::characterLength(text, pos);
    auto it = map.find(text.substr(pos, length));
    if (it == map.end()) break;
    syllable.overlay(BpmfSyllable(it->second));
    pos += length;
  }
  return syllable;
}

}  // namespace Kestova
