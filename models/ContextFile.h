// The context file: word-pair scores for the walk, kept beside the built-in
// phrase database and mapped, never parsed. Everything is little-endian and
// four-byte aligned:
//
//   magic     8 bytes "KSTCTX1\n"
//   counts    uint32 words, uint32 pairs, uint32 text bytes, uint32 0
//   weights   float32 weight of the pair scores, float32 weight of the
//             character pairs, then 8 bytes of zeros
//   words     per word, sorted by the bytes of its text: uint32 text
//             offset, uint32 text length, uint32 index of its first pair,
//             float32 back-off score
//   pairs     per pair, grouped by earlier word (in word order) and sorted
//             by later word: uint32 later word, float32 score
//   text      the words' UTF-8 texts
//
// The pairs of word i run from its first pair to the next word's first pair
// (the pair count for the last word). The empty word stands for the start of
// a sentence. A word "\x01" + c stands for any word that ends in character c,
// "\x02" + c for any word that starts with c: their pairs score the meeting
// of two words that are not listed as a pair.
//
// This file owns the format: the data builder makes the contents
// (ContextFileContents) and writes them through here; ContextLM reads the
// file; tests, benchmarks and the fuzzer write theirs the same way.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace Kestova {

namespace ContextFileMarkers {
inline constexpr std::string_view kWordEnd = "\x01";
inline constexpr std::string_view kWordStart = "\x02";
}  // namespace ContextFileMarkers

struct ContextFileWord {
  std::string text;
  double backoff = 0;
};

struct ContextFilePair {
  std::string previous;
  std::string next;
  double score = 0;
};

struct ContextFileContents {
  double weight = 1.0;
  double characterWeight = 0;
  std::vector<ContextFileWord> words;
  std::vector<ContextFilePair> pairs;
};

// The file's bytes. Words named only by pairs are added with a back-off of 0;
// of a repeated word or pair the first stays.
std::string contextFileBytes(const ContextFileContents& contents);

// Writes the file as FileAccess::replaceFile does (a temporary file of a
// unique name, synced, renamed over `path`): readers see the old file or the
// whole new one. False on any error, with nothing left behind.
bool writeContextFile(const std::string& path, const ContextFileContents& contents);

}  // namespace Kestova
