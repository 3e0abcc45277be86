#include "databuilder/TrainingText.h"

#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>

#include "databuilder/OpenDataSources.h"
#include "text/Utf8.h"

namespace Kestova::DataBuilder {

namespace {

std::uint32_t readWord(const std::string& data, std::size_t at, bool swap) {
  std::uint32_t value = 0;
  std::memcpy(&value, data.data() + at, 4);
  if (swap) value = __builtin_bswap32(value);
  return value;
}

}  // namespace

bool catalogueFilesIn(const std::string& folder, std::vector<std::string>& files) {
  namespace fs = std::filesystem;
  std::error_code error;
  fs::directory_iterator packages(folder, error);
  if (error) return false;
  std::vector<std::string> found;
  for (const fs::directory_entry& package : packages) {
    if (!package.is_directory(error) || package.is_symlink(error)) continue;
    fs::directory_iterator entries(package.path(), error);
    if (error) return false;
    for (const fs::directory_entry& entry : entries) {
      if (entry.path().extension() == ".mo" && entry.is_regular_file(error) &&
          !entry.is_symlink(error)) {
        found.push_back(entry.path().string());
      }
    }
  }
  std::sort(found.begin(), found.end());
  files.insert(files.end(), found.begin(), found.end());
  return true;
}

bool readMessageCatalogue(const std::string& path, std::vector<std::string>& translations) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (data.size() < 20) return false;
  std::uint32_t magic = 0;
  std::memcpy(&magic, data.data(), 4);
  bool swap = false;
  if (magic == 0xde120495u) {
    swap = true;
  } else if (magic != 0x950412deu) {
    return false;
  }
  const std::uint64_t count = readWord(data, 8, swap);
  const std::uint64_t originals = readWord(data, 12, swap);
  const std::uint64_t translated = readWord(data, 16, swap);
  if (originals + count * 8 > data.size() || translated + count * 8 > data.size()) return false;
  for (std::uint64_t i = 0; i < count; ++i) {
    const std::uint64_t originalLength = readWord(data, originals + i * 8, swap);
    const std::uint64_t length = readWord(data, translated + i * 8, swap);
    const std::uint64_t offset = readWord(data, translated + i * 8 + 4, swap);
    if (offset + length > data.size()) return false;
    // The entry with the empty original is the catalogue's header.
    if (originalLength == 0) continue;
    std::string_view text(data.data() + offset, length);
    // Plural forms are separated by NUL.
    while (true) {
      const std::size_t end = text.find('\0');
      translations.emplace_back(text.substr(0, end));
      if (end == std::string_view::npos) break;
      text.remove_prefix(end + 1);
    }
  }
  return true;
}

bool readCompressedText(const std::string& path, std::string& text) {
  gzFile file = gzopen(path.c_str(), "rb");
  if (!file) return false;
  char buffer[1 << 16];
  int read = 0;
  while ((read = gzread(file, buffer, sizeof buffer)) > 0) text.append(buffer, read);
  const bool ok = read == 0;
  gzclose(file);
  return ok;
}

std::vector<std::string> hanRuns(std::string_view text) {
  std::vector<std::string> runs;
  std::string run;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t length = std::max<std::size_t>(Utf8::characterLength(text, at), 1);
    const std::string_view character = text.substr(at, length);
    const bool han = Utf8::isValid(character) && isHanCharacter(character);
    if (han) {
      run += character;
    } else if (!run.empty()) {
      runs.push_back(std::move(run));
      run.clear();
    }
    at += character.size();
  }
  if (!run.empty()) runs.push_back(std::move(run));
  return runs;
}

void EvaluationFilter::addSentence(std::string_view sentence) {
  const std::vector<std::string_view> characters = Utf8::splitCharacters(sentence);
  if (characters.empty()) return;
  if (!sentences_.emplace(sentence).second) return;
  shortest_ = shortest_ == 0 ? characters.size() : std::min(shortest_, characters.size());
  longest_ = std::max(longest_, characters.size());
  for (std::size_t from = 0; from < characters.size(); ++from) {
    const char* begin = characters[from].data();
    for (std::size_t to = from; to < characters.size(); ++to) {
      const char* end = characters[to].data() + characters[to].size();
      pieces_.emplace(begin, static_cast<std::size_t>(end - begin));
    }
  }
}

bool EvaluationFilter::addCorpus(const std::string& path) {
  std::ifstream in(path);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    const std::size_t tab = line.find('\t');
    if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
    addSentence(std::string_view(line).substr(0, tab));
  }
  return true;
}

bool EvaluationFilter::excludes(std::string_view run) const {
  if (sentences_.empty()) return false;
  if (pieces_.contains(std::string(run))) return true;
  const std::vector<std::string_view> characters = Utf8::splitCharacters(run);
  for (std::size_t from = 0; from + shortest_ <= characters.size(); ++from) {
    const char* begin = characters[from].data();
    const std::size_t last = std::min(characters.size(), from + longest_);
    for (std::size_t to = from + shortest_ - 1; to < last; ++to) {
      const char* end = characters[to].data() + characters[to].size();
      if (sentences_.contains(std::string(begin, static_cast<std::size_t>(end - begin))))
        return true;
    }
  }
  return false;
}

TextCounts countSegmentedWords(const std::vector<std::string>& runs,
                               const std::unordered_map<std::string, double>& dictionary,
                               double unknownScore, std::size_t longestWord) {
  TextCounts counts;
  std::vector<double> best;
  std::vector<std::size_t> back;
  std::vector<std::string_view> words;
  for (const std::string& run : runs) {
    const std::vector<std::string_view> characters = Utf8::splitCharacters(run);
    const std::size_t n = characters.size();
    if (n == 0) continue;
    best.assign(n + 1, -std::numeric_limits<double>::infinity());
    back.assign(n + 1, 0);
    best[0] = 0;
    for (std::size_t end = 1; end <= n; ++end) {
      const char* stop = characters[end - 1].data() + characters[end - 1].size();
      for (std::size_t length = 1; length <= longestWord && length <= end; ++length) {
        const char* begin = characters[end - length].data();
        const std::string word(begin, static_cast<std::size_t>(stop - begin));
        double score = 0;
        if (auto it = dictionary.find(word); it != dictionary.end()) {
          score = it->second;
        } else if (length == 1) {
          score = unknownScore;
        } else {
          continue;
        }
        if (best[end - length] + score > best[end]) {
          best[end] = best[end - length] + score;
          back[end] = end - length;
        }
      }
    }
    words.clear();
    for (std::size_t end = n; end > 0; end = back[end]) {
      const char* begin = characters[back[end]].data();
      const char* stop = characters[end - 1].data() + characters[end - 1].size();
      words.emplace_back(begin, static_cast<std::size_t>(stop - begin));
    }
    std::string previous;
    for (auto word = words.rbegin(); word != words.rend(); ++word) {
      counts.words[std::string(*word)] += 1;
      counts.pairs[previous + '\t' + std::string(*word)] += 1;
      if (!previous.empty()) {
        const std::size_t lastLength = Utf8::characterCount(previous) == 1
                                           ? previous.size()
                                           : Utf8::splitCharacters(previous).back().size();
        counts.meetings[previous.substr(previous.size() - lastLength) + '\t' +
                        std::string(word->substr(0, Utf8::characterLength(*word, 0)))] += 1;
      }
      previous = *word;
      counts.tokens += 1;
    }
    ++counts.runs;
  }
  return counts;
}

bool readTrainingRuns(const std::vector<std::string>& catalogues,
                      const std::vector<std::string>& documents,
                      const std::vector<std::string>& excluded, std::vector<std::string>& runs,
                      TextStatistics& statistics, std::string* error) {
  auto fail = [error](const std::string& what, const std::string& path) {
    if (error) *error = "cannot read the " + what + " " + path;
    return false;
  };
  EvaluationFilter filter;
  for (const std::string& path : excluded) {
    if (!filter.addCorpus(path)) return fail("evaluation corpus", path);
  }
  std::vector<std::string> texts;
  for (const std::string& path : catalogues) {
    if (!readMessageCatalogue(path, texts)) return fail("catalogue", path);
  }
  for (const std::string& path : documents) {
    if (!readCompressedText(path, texts.emplace_back())) return fail("document", path);
  }
  for (const std::string& text : texts) {
    for (std::string& run : hanRuns(text)) {
      if (filter.excludes(run)) {
        ++statistics.excludedRuns;
        continue;
      }
      runs.push_back(std::move(run));
    }
  }
  statistics.runs = runs.size();
  return true;
}

void mixWordCounts(const TextCounts& counts, const TextOptions& options,
                   std::unordered_map<std::string, double>& wordCounts) {
  double corpusTotal = 0;
  for (const auto& [word, count] : wordCounts) corpusTotal += count;
  if (counts.tokens <= 0 || options.taiwanShare <= 0 || options.taiwanShare >= 1) return;
  const double factor =
      options.taiwanShare / (1 - options.taiwanShare) * corpusTotal / counts.tokens;
  for (const auto& [word, count] : counts.words) {
    const bool single = Utf8::characterCount(word) == 1;
    wordCounts[word] += count * factor * (single ? options.singleCharacterFactor : 1.0);
  }
}

}  // namespace Kestova::DataBuilder
