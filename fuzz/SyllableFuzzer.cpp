// Bopomofo and Hanyu Pinyin text to syllables. Both readers are tolerant and
// must never fail; whatever they read must survive a round trip through the
// Bopomofo text form, and pinyin spellings must be UTF-8 (ASCII with useV).
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/FuzzSupport.h"
#include "phonetics/BpmfSyllable.h"
#include "phonetics/HanyuPinyin.h"

using namespace Kestova;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  BpmfSyllable composed = BpmfSyllable::fromComposedText(text);
  std::string composedText = composed.toComposedText();
  KESTOVA_FUZZ_CHECK(Utf8::isValid(composedText));
  KESTOVA_FUZZ_CHECK(BpmfSyllable::fromComposedText(composedText) == composed);

  BpmfSyllable typed = fromPinyin(text);
  for (bool tone : {false, true}) {
    for (bool useV : {false, true}) {
      std::string spelled = toPinyin(typed, tone, useV);
      // Only "ü" lies outside ASCII, and useV spells it "v".
      KESTOVA_FUZZ_CHECK(Utf8::isValid(spelled));
      if (useV) {
        for (char c : spelled) KESTOVA_FUZZ_CHECK(static_cast<unsigned char>(c) < 0x80);
      }
    }
  }
  // The pinyin reader is tolerant, and combinations pinyin cannot spell are
  // spelled mechanically, so what it reads is not always read back the same;
  // its Bopomofo text form, though, is exact.
  KESTOVA_FUZZ_CHECK(BpmfSyllable::fromComposedText(typed.toComposedText()) == typed);
  return 0;
}
