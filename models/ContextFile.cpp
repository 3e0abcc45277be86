#include "models/ContextFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <unordered_map>

#include "base/FileAccess.h"

namespace Kestova {

namespace {

void appendUint32(std::string& out, std::uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

void appendFloat(std::string& out, double value) {
  const float narrow = static_cast<float>(value);
  std::uint32_t bits = 0;
  std::memcpy(&bits, &narrow, sizeof bits);
  appendUint32(out, bits);
}

}  // namespace

std::string contextFileBytes(const ContextFileContents& contents) {
  // Words by text, the first of a repeated word staying.
  std::map<std::string, double> backoffs;
  for (const ContextFileWord& word : contents.words) backoffs.emplace(word.text, word.backoff);
  for (const ContextFilePair& pair : contents.pairs) {
    backoffs.emplace(pair.previous, 0.0);
    backoffs.emplace(pair.next, 0.0);
  }
  std::unordered_map<std::string, std::uint32_t> ids;
  std::uint32_t nextId = 0;
  for (const auto& [text, backoff] : backoffs) ids.emplace(text, nextId++);

  std::vector<std::vector<std::pair<std::uint32_t, double>>> pairsOf(backoffs.size());
  for (const ContextFilePair& pair : contents.pairs) {
    auto& list = pairsOf[ids.at(pair.previous)];
    const std::uint32_t next = ids.at(pair.next);
    if (std::none_of(list.begin(), list.end(), [next](const auto& p) { return p.first == next; }))
      list.emplace_back(next, pair.score);
  }
  std::size_t pairCount = 0;
  for (auto& list : pairsOf) {
    std::sort(list.begin(), list.end());
    pairCount += list.size();
  }

  std::string text;
  for (const auto& [word, backoff] : backoffs) text += word;

  std::string out("KSTCTX1\n");
  appendUint32(out, static_cast<std::uint32_t>(backoffs.size()));
  appendUint32(out, static_cast<std::uint32_t>(pairCount));
  appendUint32(out, static_cast<std::uint32_t>(text.size()));
  appendUint32(out, 0);
  appendFloat(out, contents.weight);
  appendFloat(out, contents.characterWeight);
  for (int i = 0; i < 2; ++i) appendUint32(out, 0);
  std::uint32_t offset = 0;
  std::uint32_t firstPair = 0;
  std::size_t index = 0;
  for (const auto& [word, backoff] : backoffs) {
    appendUint32(out, offset);
    appendUint32(out, static_cast<std::uint32_t>(word.size()));
    appendUint32(out, firstPair);
    appendFloat(out, backoff);
    offset += static_cast<std::uint32_t>(word.size());
    firstPair += static_cast<std::uint32_t>(pairsOf[index++].size());
  }
  for (const auto& list : pairsOf) {
    for (const auto& [next, score] : list) {
      appendUint32(out, next);
      appendFloat(out, score);
    }
  }
  out += text;
  return out;
}

bool writeContextFile(const std::string& path, const ContextFileContents& contents) {
  return FileAccess::replaceFile(path, contextFileBytes(contents));
}

}  // namespace Kestova
