#include "phonetics/ReadingPattern.h"

#include <iterator>

#include "phonetics/BpmfComposer.h"
#include "text/Utf8.h"

namespace Kestova {

namespace {

using Component = BpmfSyllable::Component;

// The last part a syllable (or a component) has, in writing order: 0 for
// the consonant, 1 the medial, 2 the vowel, 3 the tone; -1 when it is
// empty.
int lastPartOf(BpmfSyllable syllable) {
  if (syllable.hasTone()) return 3;
  if (syllable.hasVowel()) return 2;
  if (syllable.hasMiddleVowel()) return 1;
  if (syllable.hasConsonant()) return 0;
  return -1;
}

}  // namespace

std::optional<ReadingPattern> ReadingPattern::fromBopomofo(std::string_view text) {
  ReadingPattern pattern;
  BpmfSyllable current;
  const auto end = [&] {
    if (current.isEmpty()) return;
    pattern.syllables_.push_back(current);
    current = BpmfSyllable();
  };
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t length = Utf8::characterLength(text, pos);
    const std::string_view character = text.substr(pos, length);
    pos += length;
    if (character == "-" || character == " " || character == "\t") {
      end();
      continue;
    }
    const BpmfSyllable component = BpmfSyllable::fromComposedText(character);
    if (component.isEmpty()) return std::nullopt;
    // A part written already, or one that comes before a written one,
    // begins the next syllable; so does anything after a tone mark.
    if (lastPartOf(component) <= lastPartOf(current)) end();
    current.overlay(component);
  }
  const bool openAtEnd = !current.isEmpty();
  end();
  if (pattern.syllables_.empty()) return std::nullopt;
  pattern.lastEnded_ = !openAtEnd || pattern.syllables_.back().hasTone();
  return pattern;
}

std::optional<ReadingPattern> ReadingPattern::fromKeys(std::string_view keys,
                                                       const BpmfKeyboardLayout& layout) {
  ReadingPattern pattern;
  BpmfComposer composer;
  composer.setLayout(&layout);
  // Whether every key of the syllable so far carries one component only.
  bool plainKeys = true;
  const auto end = [&] {
    if (composer.isEmpty()) return;
    pattern.syllables_.push_back(composer.syllable());
    composer.reset();
    plainKeys = true;
  };
  for (char key : keys) {
    if (key == ' ') {
      end();
      continue;
    }
    if (!composer.isPinyinMode()) {
      const std::vector<Component> components = layout.componentsForKey(key);
      if (components.empty()) return std::nullopt;
      // With keys of one component each, a key for a part the syllable
      // already has (or a part before one it has) can only begin the next
      // syllable. Keys of several components are read by their context.
      if (components.size() == 1 && plainKeys &&
          lastPartOf(BpmfSyllable(components.front())) <= lastPartOf(composer.syllable())) {
        end();
      }
      plainKeys = plainKeys && components.size() == 1;
    }
    if (!composer.acceptsKey(key)) return std::nullopt;
    composer.addKey(key);
    // As the reading buffer reads it: a tone ends the syllable, a lone tone
    // waits for the rest.
    const BpmfSyllable syllable = composer.syllable();
    if (syllable.hasTone() && !syllable.isToneMarkerOnly()) end();
  }
  const bool open = !composer.isEmpty();
  end();
  if (pattern.syllables_.empty()) return std::nullopt;
  pattern.lastEnded_ = !open;
  return pattern;
}

std::string ReadingPattern::reading() const {
  std::string text;
  for (const BpmfSyllable& syllable : syllables_) {
    if (!text.empty()) text += '-';
    text += syllable.toComposedText();
  }
  return text;
}

bool ReadingPattern::syllableMatches(BpmfSyllable pattern, BpmfSyllable syllable) {
  if (pattern.hasConsonant() && pattern.consonantComponent() != syllable.consonantComponent()) {
    return false;
  }
  if (pattern.hasMiddleVowel() &&
      pattern.middleVowelComponent() != syllable.middleVowelComponent()) {
    return false;
  }
  if (pattern.hasVowel() && pattern.vowelComponent() != syllable.vowelComponent()) return false;
  return !pattern.hasTone() || pattern.toneMarkComponent() == syllable.toneMarkComponent();
}

bool ReadingPattern::foundIn(std::string_view reading) const {
  SyllableCache cache;
  return foundIn(reading, cache);
}

bool ReadingPattern::foundIn(std::string_view reading, SyllableCache& cache) const {
  if (syllables_.empty()) return true;
  const auto syllableOf = [&cache](std::string_view text) {
    auto [found, inserted] = cache.try_emplace(text);
    if (inserted) found->second = BpmfSyllable::fromComposedText(text);
    return found->second;
  };
  // The readings are short: at most a few syllables each.
  BpmfSyllable syllables[16];
  std::size_t count = 0;
  while (count < std::size(syllables)) {
    const std::size_t dash = reading.find('-');
    syllables[count++] = syllableOf(reading.substr(0, dash));
    if (dash == std::string_view::npos) break;
    reading.remove_prefix(dash + 1);
  }
  for (std::size_t start = 0; start + syllables_.size() <= count; ++start) {
    bool all = true;
    for (std::size_t i = 0; i < syllables_.size() && all; ++i) {
      all = syllableMatches(syllables_[i], syllables[start + i]);
    }
    if (all) return true;
  }
  return false;
}

}  // namespace Kestova
