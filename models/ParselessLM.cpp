#include "models/ParselessLM.h"

#include <charconv>
#include <cmath>

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
