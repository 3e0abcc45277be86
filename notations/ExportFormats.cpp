#include "notations/ExportFormats.h"

#include <string_view>

#include "phonetics/BpmfSyllable.h"
#include "phonetics/HanyuPinyin.h"

namespace Kestova {

namespace {

using Palisar::Lattivor2::BestPath;
using Palisar::Lattivor2::ReadingGrid;

constexpr char kSeparator = '-';

bool isSpecial(const ReadingGrid::Node& node) {
  return node.reading.starts_with('_');
}

// Markup characters in phrase values would break the ruby markup.
std::string escapeHtml(std::string_view text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// The syllables of a node's reading, in order; consecutive or trailing
// separators give empty pieces.
template <typename Visit>
void forEachSyllable(std::string_view reading, Visit visit) {
  while (true) {
    size_t end = reading.find(kSeparator);
    visit(reading.substr(0, end));
    if (end == std::string_view::npos) break;
    reading.remove_prefix(end + 1);
  }
}

}  // namespace

std::string exportReadings(const ReadingGrid& grid) {
  std::string text;
  for (const std::string& reading : grid.readings()) {
    if (!text.empty()) text += kSeparator;
    text += reading;
  }
  return text;
}

std::string exportHtmlRuby(const BestPath& walk) {
  std::string text;
  for (const auto& node : walk.nodes) {
    if (!node) continue;
    if (isSpecial(*node)) {
      text += escapeHtml(node->currentValue());
      continue;
    }
    std::string readings = node->reading;
    for (char& c : readings) {
      if (c == kSeparator) c = ' ';
    }
    text += "<ruby>";
    text += escapeHtml(node->currentValue());
    text += "<rp>(</rp><rt>";
    text += escapeHtml(readings);
    text += "</rt><rp>)</rp></ruby>";
  }
  return text;
}

std::string exportHanyuPinyin(const BestPath& walk) {
  std::string text;
  for (const auto& node : walk.nodes) {
    if (!node) continue;
    if (isSpecial(*node)) {
      text += node->currentValue();
      continue;
    }
    forEachSyllable(node->reading, [&text](std::string_view syllable) {
      text += toPinyin(BpmfSyllable::fromComposedText(syllable), false, false);
    });
  }
  return text;
}

std::string exportBraille(const BestPath& walk, BrailleEncoding encoding) {
  std::string text;
  for (const auto& node : walk.nodes) {
    if (!node) continue;
    if (isSpecial(*node)) {
      text += convertTextToBraille(node->currentValue(), encoding);
      continue;
    }
    // Syllables are converted one by one: run together, a toneless syllable
    // could merge with the next one (ㄒㄧ-ㄢ would read as ㄒㄧㄢ).
    forEachSyllable(node->reading, [&text, encoding](std::string_view syllable) {
      text += convertTextToBraille(syllable, encoding);
    });
  }
  return text;
}

}  // namespace Kestova
