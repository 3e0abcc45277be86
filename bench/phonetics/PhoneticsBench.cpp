// Cost of the per-key and per-export work of the phonetics layer: parsing
// and composing syllable texts, reading key sequences on the shared-key
// layouts, the reading buffer, Hanyu Pinyin, and Braille conversion.

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "notations/BrailleConverter.h"
#include "phonetics/BpmfComposer.h"
#include "phonetics/BpmfKeyboardLayout.h"
#include "phonetics/BpmfSyllable.h"
#include "phonetics/HanyuPinyin.h"

namespace {

using Kestova::BpmfComposer;
using Kestova::BpmfKeyboardLayout;
using Kestova::BpmfSyllable;

const std::vector<std::string> kReadings = {"ㄓㄨㄤ", "ㄌㄩㄥˋ", "ㄋㄧˇ", "ㄏㄠˇ",
                                            "ㄇㄚ˙",  "ㄐㄩㄥˇ", "ㄕ",    "ㄩㄢˊ"};

void BM_FromComposedText(benchmark::State& state) {
  for (auto _ : state) {
    for (const auto& reading : kReadings) {
      benchmark::DoNotOptimize(BpmfSyllable::fromComposedText(reading));
    }
  }
  state.SetItemsProcessed(state.iterations() * kReadings.size());
}
BENCHMARK(BM_FromComposedText);

void BM_ToComposedText(benchmark::State& state) {
  const BpmfSyllable syllable(0x1E68);  // ㄌㄩㄥˋ
  for (auto _ : state) benchmark::DoNotOptimize(syllable.toComposedText());
}
BENCHMARK(BM_ToComposedText);

void BM_SyllableForKeys(benchmark::State& state) {
  const BpmfKeyboardLayout* layout =
      state.range(0) ? BpmfKeyboardLayout::HsuLayout() : BpmfKeyboardLayout::StandardLayout();
  const std::string keys = state.range(0) ? "gek" : "ru;";  // ㄐㄧㄤ
  for (auto _ : state) benchmark::DoNotOptimize(layout->syllableForKeys(keys));
}
BENCHMARK(BM_SyllableForKeys)->Arg(0)->Arg(1);

// One syllable typed key by key, as the key handler does on every stroke.
void BM_ComposerTypesSyllable(benchmark::State& state) {
  BpmfComposer composer;
  composer.setLayout(BpmfKeyboardLayout::HsuLayout());
  for (auto _ : state) {
    for (char key : {'v', 'x', 'g', 'j'}) composer.addKey(key);
    benchmark::DoNotOptimize(composer.syllable());
    composer.reset();
  }
}
BENCHMARK(BM_ComposerTypesSyllable);

void BM_FromPinyin(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(Kestova::fromPinyin("zhuang4"));
}
BENCHMARK(BM_FromPinyin);

void BM_ToPinyin(benchmark::State& state) {
  const BpmfSyllable syllable = BpmfSyllable::fromComposedText("ㄓㄨㄤˋ");
  for (auto _ : state) benchmark::DoNotOptimize(Kestova::toPinyin(syllable, true, false));
}
BENCHMARK(BM_ToPinyin);

// A sentence of 20 syllables with punctuation, a number and Latin letters.
void BM_TextToBraille(benchmark::State& state) {
  std::string text;
  for (int i = 0; i < 5; ++i) text += "ㄋㄧˇㄏㄠˇ，ㄨㄛˇㄕˋ";
  text += "ABC 123。";
  const auto encoding =
      state.range(0) ? Kestova::BrailleEncoding::Ascii : Kestova::BrailleEncoding::Unicode;
  for (auto _ : state) benchmark::DoNotOptimize(Kestova::convertTextToBraille(text, encoding));
  state.SetBytesProcessed(state.iterations() * text.size());
}
BENCHMARK(BM_TextToBraille)->Arg(0)->Arg(1);

}  // namespace

BENCHMARK_MAIN();
