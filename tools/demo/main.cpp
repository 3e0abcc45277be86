// kestova-demo: shows what the phonetics layer makes of Bopomofo syllables
// and of key sequences.
//
//   kestova-demo [--ascii] [SYLLABLE...]
//       For each syllable (from the arguments, or from standard input, one or
//       more per line separated by spaces), prints the syllable, its Hanyu
//       Pinyin with tone digit and its Braille, separated by tabs.
//   kestova-demo [--ascii] --layout NAME --keys KEYS
//       Types KEYS on the keyboard layout NAME and prints the syllables they
//       give in the same form. A tone key ends a syllable, a space ends a
//       first-tone syllable.
//
// Exit status: 0 on success, 1 if some input was not a syllable, 2 on a
// usage error.

#include <iostream>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "notations/BrailleConverter.h"
#include "phonetics/BpmfComposer.h"
#include "phonetics/BpmfKeyboardLayout.h"
#include "phonetics/BpmfSyllable.h"
#include "phonetics/HanyuPinyin.h"

namespace {

using Kestova::BpmfComposer;
using Kestova::BpmfKeyboardLayout;
using Kestova::BpmfSyllable;
using Kestova::BrailleEncoding;

constexpr std::string_view kUsage =
    "usage: kestova-demo [--ascii] [SYLLABLE...]\n"
    "       kestova-demo [--ascii] --layout NAME --keys KEYS\n"
    "layouts: Standard, ETen, Hsu, ETen26, IBM, HanyuPinyin\n";

void printSyllable(BpmfSyllable syllable, BrailleEncoding encoding) {
  std::string text = syllable.toComposedText();
  std::cout << text << '\t' << Kestova::toPinyin(syllable, true, false) << '\t'
            << Kestova::convertTextToBraille(text, encoding) << '\n';
}

// Prints one syllable written in Bopomofo; false if the token is not one.
bool printToken(std::string_view token, BrailleEncoding encoding) {
  BpmfSyllable syllable = BpmfSyllable::fromComposedText(token);
  // Every byte must belong to a symbol, and each field may appear once.
  if (syllable.isEmpty() || syllable.toComposedText().size() != token.size()) {
    std::cerr << "kestova-demo: not a Bopomofo syllable: " << token << '\n';
    return false;
  }
  printSyllable(syllable, encoding);
  return true;
}

bool printLine(const std::string& line, BrailleEncoding encoding) {
  std::istringstream words(line);
  bool ok = true;
  for (std::string token; words >> token;) ok = printToken(token, encoding) && ok;
  return ok;
}

// Types the keys the way the key handler does: a syllable is complete when
// it has a tone (a lone tone mark waits), or with the space bar.
bool printKeys(const BpmfKeyboardLayout* layout, std::string_view keys, BrailleEncoding encoding) {
  BpmfComposer composer;
  composer.setLayout(layout);
  bool ok = true;
  for (char key : keys) {
    if (key == ' ') {
      if (!composer.isEmpty()) printSyllable(composer.syllable(), encoding);
      composer.reset();
      continue;
    }
    if (!composer.addKey(key)) {
      std::cerr << "kestova-demo: key '" << key << "' is not used on layout " << layout->name()
                << '\n';
      ok = false;
      continue;
    }
    BpmfSyllable syllable = composer.syllable();
    if (syllable.hasTone() && !syllable.isToneMarkerOnly()) {
      printSyllable(syllable, encoding);
      composer.reset();
    }
  }
  if (!composer.isEmpty()) printSyllable(composer.syllable(), encoding);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  BrailleEncoding encoding = BrailleEncoding::Unicode;
  const char* layoutName = nullptr;
  const char* keys = nullptr;
  std::vector<std::string> syllables;

  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--ascii") {
      encoding = BrailleEncoding::Ascii;
    } else if (arg == "--layout" && i + 1 < argc) {
      layoutName = argv[++i];
    } else if (arg == "--keys" && i + 1 < argc) {
      keys = argv[++i];
    } else if (arg == "--help" || arg == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (arg.starts_with("--")) {
      std::cerr << kUsage;
      return 2;
    } else {
      syllables.emplace_back(arg);
    }
  }

  if (layoutName || keys) {
    if (!layoutName || !keys || !syllables.empty()) {
      std::cerr << kUsage;
      return 2;
    }
    const BpmfKeyboardLayout* layout = BpmfKeyboardLayout::LayoutForName(layoutName);
    if (!layout) {
      std::cerr << "kestova-demo: unknown layout: " << layoutName << '\n' << kUsage;
      return 2;
    }
    return printKeys(layout, keys, encoding) ? 0 : 1;
  }

  bool ok = true;
  if (!syllables.empty()) {
    for (const auto& syllable : syllables) ok = printLine(syllable, encoding) && ok;
  } else {
    for (std::string line; std::getline(std::cin, line);) ok = printLine(line, encoding) && ok;
  }
  return ok ? 0 : 1;
}
