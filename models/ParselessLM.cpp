#include "models/ParselessLM.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace Kestova {

using Palisar::Lattivor2::ScoredPhrase;

namespace {

std::string lookupPrefix(std::string_view reading) {
  std::string prefix;
  prefix.reserve(reading.size() + 1);
  prefix += reading;
  prefix += ' ';
  return prefix;
}

// The decimal number at the start of text, or 0 when there is none or it is
// not finite ("nan", "inf" and "-inf" read as numbers to from_chars).
double leadingNumber(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  // The file writes scores as "-2.4265": up to 15 digits with a point and no
  // exponent are an integer below 2^53 over an exact power of ten, and one
  // division rounds that exactly as from_chars would. Anything else takes
  // the general parse.
  {
    static constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    std::size_t i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative) ++i;
    std::uint64_t digits = 0;
    int count = 0, decimals = 0;
    bool point = false, any = false;
    for (; i < text.size(); ++i) {
      const char c = text[i];
      if (c >= '0' && c <= '9') {
        digits = digits * 10 + static_cast<std::uint64_t>(c - '0');
        any = true;
        if (point) ++decimals;
        if (++count > 15) break;
      } else if (c == '.' && !point) {
        point = true;
      } else {
        break;
      }
    }
    const bool plainEnd =
        i == text.size() || (text[i] != 'e' && text[i] != 'E' && (text[i] < '0' || text[i] > '9'));
    if (any && count <= 15 && plainEnd && text[i - 1] != '.') {
      const double value = static_cast<double>(digits) / kPowers[decimals];
      return negative ? -value : value;
    }
  }
  double value = 0;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  return error == std::errc() && std::isfinite(value) ? value : 0;
}

}  // namespace

ScoredPhrase parseSortedLine(std::string_view line) {
  size_t readingEnd = line.find(' ');
  if (readingEnd == std::string_view::npos) return ScoredPhrase({}, 0);
  std::string_view rest = line.substr(readingEnd + 1);
  size_t valueEnd = rest.find(' ');
  std::string_view value = rest.substr(0, valueEnd);
  double score = 0;
  if (valueEnd != std::string_view::npos) score = leadingNumber(rest.substr(valueEnd + 1));
  return ScoredPhrase(std::string(value), score);
}

ParselessLM::~ParselessLM() {
  close();
}

bool ParselessLM::open(const std::string& path) {
  if (!file_.open(path)) return false;
  table_ = std::make_unique<SortedPhraseTable>(file_.data(), file_.size());
  return true;
}

void ParselessLM::close() {
  table_.reset();
  file_.close();
}

std::vector<ScoredPhrase> ParselessLM::getScoredPhrases(std::string_view reading) {
  std::vector<ScoredPhrase> phrases;
  if (!table_) return phrases;
  const std::vector<std::string_view> lines = table_->linesWithPrefix(lookupPrefix(reading));
  phrases.reserve(lines.size());
  for (std::string_view line : lines) phrases.push_back(parseSortedLine(line));
  return phrases;
}

bool ParselessLM::hasScoredPhrases(std::string_view reading) {
  return table_ && table_->firstLineWithPrefix(lookupPrefix(reading)).has_value();
}

}  // namespace Kestova
