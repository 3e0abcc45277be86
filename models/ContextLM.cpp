#include "models/ContextLM.h"

#include <cmath>
#include <cstring>

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

bool ContextLM::open(const std::string& path) {
  close();
  if (!file_.open(path)) return false;
  const std::string_view data = file_.view();
  if (data.size() < kHeaderSize || !data.starts_with(kMagic)) {
    close();
    return false;
  }
  const std::uint64_t words = readUint32(data.data() + 8);
  const std::uint64_t pairs = readUint32(data.data() + 12);
  const std::uint64_t text = readUint32(data.data() + 16);
  if (words == 0 || kHeaderSize + words * kWordSize + pairs * kPairSize + text != data.size()) {
    close();
    return false;
  }
  words_ = data.data() + kHeaderSize;
  pairs_ = words_ + words * kWordSize;
  text_ = pairs_ + pairs * kPairSize;
  wordCount_ = words;
  pairCount_ = pairs;
  textBytes_ = text;
  // Every word's text and pair range must lie inside the file, and the pair
  // ranges must follow each other, so that no look-up can leave the mapping.
  std::size_t previousFirst = 0;
  for (std::size_t i = 0; i < wordCount_; ++i) {
    const std::uint64_t offset = wordField(i, 0), length = wordField(i, 1);
    const std::size_t first = wordField(i, 2);
    if (offset + length > textBytes_ || first < previousFirst || first > pairCount_) {
      close();
      return false;
    }
    previousFirst = first;
  }
  for (std::size_t p = 0; p < pairCount_; ++p) {
    if (readUint32(pairs_ + p * kPairSize) >= wordCount_) {
      close();
      return false;
    }
  }
  weight_ = readFloat(data.data() + 24);
  sentenceStart_ = wordId("");
  return true;
}

void ContextLM::close() {
  file_.close();
  words_ = pairs_ = text_ = nullptr;
  wordCount_ = pairCount_ = textBytes_ = 0;
  weight_ = 1.0;
  sentenceStart_ = kUnknownWord;
}

std::uint32_t ContextLM::wordField(std::size_t word, std::size_t field) const {
  return readUint32(words_ + word * kWordSize + field * 4);
}

std::string_view ContextLM::wordText(std::size_t word) const {
  return {text_ + wordField(word, 0), wordField(word, 1)};
}

std::size_t ContextLM::pairsEnd(std::size_t word) const {
  return word + 1 < wordCount_ ? wordField(word + 1, 2) : pairCount_;
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

double ContextLM::pairScore(WordId previous, WordId next) const {
  if (previous >= wordCount_) return 0;
  std::size_t lo = wordField(previous, 2), hi = pairsEnd(previous);
  if (next < wordCount_) {
    while (lo < hi) {
      const std::size_t mid = lo + (hi - lo) / 2;
      const std::uint32_t id = readUint32(pairs_ + mid * kPairSize);
      if (id == next) return readFloat(pairs_ + mid * kPairSize + 4);
      if (id < next) {
        lo = mid + 1;
      } else {
        hi = mid;
      }
    }
  }
  return readFloat(words_ + previous * kWordSize + 12);
}

}  // namespace Kestova
