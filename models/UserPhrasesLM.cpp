#include "models/UserPhrasesLM.h"

#include <algorithm>

namespace Kestova {

using Palisar::Lattivor2::ScoredPhrase;

UserPhrasesLM::~UserPhrasesLM() {
  close();
}

bool UserPhrasesLM::open(const std::string& path) {
  if (open_) return false;
  open_ = loadUserFile(path, UserFileKind::kPhrases, bytes_, index_, lastLoad_);
  return open_;
}

void UserPhrasesLM::close() {
  index_.clear();
  bytes_.clear();
  open_ = false;
}

std::vector<ScoredPhrase> UserPhrasesLM::getScoredPhrases(std::string_view reading) {
  std::vector<ScoredPhrase> phrases;
  auto found = index_.find(reading);
  if (found == index_.end()) return phrases;
  phrases.reserve(found->second.size());
  for (std::string_view value : found->second) phrases.emplace_back(std::string(value), 0.0);
  return phrases;
}

bool UserPhrasesLM::hasScoredPhrases(std::string_view reading) {
  return index_.find(reading) != index_.end();
}

bool UserPhrasesLM::lists(std::string_view reading, std::string_view value) const {
  auto found = index_.find(reading);
  return found != index_.end() &&
         std::find(found->second.begin(), found->second.end(), value) != found->second.end();
}

ReplacementTable::~ReplacementTable() {
  close();
}

bool ReplacementTable::open(const std::string& path) {
  if (open_) return false;
  open_ = loadUserFile(path, UserFileKind::kReplacements, bytes_, index_, lastLoad_);
  return open_;
}

void ReplacementTable::close() {
  index_.clear();
  bytes_.clear();
  open_ = false;
}

std::string ReplacementTable::replacementFor(std::string_view value) const {
  auto found = index_.find(value);
  if (found == index_.end() || found->second.empty()) return {};
  return std::string(found->second.front());
}

}  // namespace Kestova
