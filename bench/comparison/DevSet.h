// The development sentences as key sequences: each line of the dev set
// ("gold TAB readings") becomes the keys a typist presses on the Standard
// layout, one syllable after another, symbols first and the tone key last
// (space for the first tone).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Kestova::Bench {

struct DevSentence {
  std::string gold;
  std::vector<std::string> syllables;  // composed Bopomofo, one per character
  std::string keys;                    // Standard-layout keys of all syllables
  // keys[i] completes syllable syllableEnds[j] when i == syllableEnds[j].
  std::vector<std::size_t> syllableEnds;
  // Which corpus of loadDevSets the sentence comes from.
  std::size_t corpus = 0;
};

// The Standard-layout keys of one composed syllable ("ㄋㄧˇ" -> "su3"), or
// nothing when it holds a symbol that is not Bopomofo.
std::optional<std::string> standardKeys(std::string_view syllable);

// Reads the dev set. Lines that cannot be turned into keys are counted in
// *skipped and left out; an unreadable file gives an empty list.
std::vector<DevSentence> loadDevSet(const std::string& path, std::size_t* skipped);

// Reads several corpora, named in a comma-separated list, one after the
// other; each sentence knows which corpus it comes from.
std::vector<DevSentence> loadDevSets(const std::string& paths, std::size_t* skipped);

}  // namespace Kestova::Bench
