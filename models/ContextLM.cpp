#include "models/ContextLM.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "models/ContextFile.h"
#include "text/Utf8.h"

namespace Kestova {

namespace {

constexpr std::string_view kMagic = "KSTCTX1\n";
constexpr std::size_t kHeaderSize = 8 + 16 + 16;
constexpr std::size_t kWordSize = 16;
constexpr std::size_t kPairSize = 8;

std::uint32_t readUint32(const char* at) {
  unsigned char bytes[4];
  std::memcpy(bytes, at, 4);
  return static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
         (static_cast<std::uint32_t>(bytes[2]) << 16) |
         (static_cast<std::uint32_t>(bytes[3]) << 24);
}

double readFloat(const char* at) {
  const std::uint32_t bits = readUint32(at);
  float value = 0;
  std::memcpy(&value, &bits, sizeof value);
  // A damaged score never reaches the walk as anything but a plain number.
  return std::isfinite(value) ? value : 0.0;
}

}  // namespace

bool ContextLM::open(const std::string& path, std::string* failure) {
  close();
  auto refuse = [&](const char* why) {
    close();
    if (failure) *failure = why;
    return false;
  };
  if (!file_.open(path)) {
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) return refuse("no such file");
    if (!S_ISREG(info.st_mode)) return refuse("not a regular file");
    return refuse(info.st_size == 0 ? "an empty file" : "it cannot be mapped");
  }
  const std::string_view data = file_.view();
  if (data.size() < kHeaderSize || !data.starts_with(kMagic)) {
    return refuse("not a whole context file");
  }
  const std::uint64_t words = readUint32(data.data() + 8);
  const std::uint64_t pairs = readUint32(data.data() + 12);
  const std::uint64_t text = readUint32(data.data() + 16);
  if (words == 0 || kHeaderSize + words * kWordSize + pairs * kPairSize + text != data.size()) {
    return refuse("not a whole context file");
  }
  words_ = data.data() + kHeaderSize;
  pairs_ = words_ + words * kWordSize;
  text_ = pairs_ + pairs * kPairSize;
  wordCount_ = words;
  pairCount_ = pairs;
  textBytes_ = text;
  weight_ = readFloat(data.data() + 24);
  characterWeight_ = readFloat(data.data() + 28);
  sentenceStart_ = Word{wordId(""), kUnknownWord, kUnknownWord};
  return true;
}

void ContextLM::close() {
  file_.close();
  words_ = pairs_ = text_ = nullptr;
  wordCount_ = pairCount_ = textBytes_ = 0;
  weight_ = 1.0;
  characterWeight_ = 0;
  sentenceStart_ = Word();
}

std::uint32_t ContextLM::wordField(std::size_t word, std::size_t field) const {
  return readUint32(words_ + word * kWordSize + field * 4);
}

// Nothing in the file is trusted: a text or a pair range that reaches
// outside its section reads as empty, so no look-up leaves the mapping. The
// file is checked as it is read, never as a whole, so that opening it
// touches only its first page.
std::string_view ContextLM::wordText(std::size_t word) const {
  const std::uint64_t offset = wordField(word, 0), length = wordField(word, 1);
  if (offset + length > textBytes_) return {};
  return {text_ + offset, static_cast<std::size_t>(length)};
}

std::size_t ContextLM::pairsBegin(std::size_t word) const {
  return std::min<std::size_t>(wordField(word, 2), pairCount_);
}

std::size_t ContextLM::pairsEnd(std::size_t word) const {
  const std::size_t end = word + 1 < wordCount_ ? wordField(word + 1, 2) : pairCount_;
  return std::clamp(end, pairsBegin(word), pairCount_);
}

ContextLM::WordId ContextLM::wordId(std::string_view value) const {
  std::size_t lo = 0, hi = wordCount_;
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    if (wordText(mid) < value) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  if (lo < wordCount_ && wordText(lo) == value) return static_cast<WordId>(lo);
  return kUnknownWord;
}

bool ContextLM::listedPair(WordId previous, WordId next, double& score) const {
  if (previous >= wordCount_ || next >= wordCount_) return false;
  std::size_t lo = pairsBegin(previous), hi = pairsEnd(previous);
  while (lo < hi) {
    const std::size_t mid = lo + (hi - lo) / 2;
    const std::uint32_t id = readUint32(pairs_ + mid * kPairSize);
    if (id == next) {
      score = readFloat(pairs_ + mid * kPairSize + 4);
      return true;
    }
    if (id < next) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return false;
}

ContextLM::Word ContextLM::lookUp(std::string_view value) const {
  Word word;
  if (wordCount_ == 0 || value.empty()) return word;
  word.word = wordId(value);
  // Without a weight the characters where words meet never count.
  if (characterWeight_ == 0) return word;
  const std::size_t firstLength = Utf8::characterLength(value, 0);
  std::size_t lastStart = value.size() - 1;
  while (lastStart > 0 && !Utf8::isCharacterBoundary(value, lastStart)) --lastStart;
  // A marker byte and one character (at most four bytes) fit a small buffer.
  auto edgeId = [this](std::string_view marker, std::string_view character) {
    char buffer[8];
    if (character.size() > sizeof buffer - marker.size()) return kUnknownWord;
    std::memcpy(buffer, marker.data(), marker.size());
    std::memcpy(buffer + marker.size(), character.data(), character.size());
    return wordId(std::string_view(buffer, marker.size() + character.size()));
  };
  word.first = edgeId(ContextFileMarkers::kWordStart, value.substr(0, firstLength));
  word.last = edgeId(ContextFileMarkers::kWordEnd, value.substr(lastStart));
  return word;
}

double ContextLM::pairScore(const Word& previous, const Word& next) const {
  double score = 0;
  if (listedPair(previous.word, next.word, score)) return score;
  if (characterWeight_ != 0 && listedPair(previous.last, next.first, score)) {
    return characterWeight_ * score;
  }
  if (previous.word >= wordCount_) return 0;
  return readFloat(words_ + previous.word * kWordSize + 12);
}

}  // namespace Kestova
