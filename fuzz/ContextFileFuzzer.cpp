// The context file: the fuzzer's bytes become a context file, either built
// by the writer from tokens (and then, when asked, damaged at chosen bytes)
// or taken raw. The file is opened as the loader opens it, every word and
// every pair of words it lists is looked up, and then keys are typed with it
// as the walk's context over the engine tests' small phrase database.
//
// A file the writer built and nobody damaged must read back exactly: every
// word under its own id, every pair with its score, an unlisted pair with
// the earlier word's back-off score. Any file at all, damaged or raw, must
// answer finite scores and ids inside its word list, and typing with it
// must give well-formed states.
//
// Input: a flags byte (bit 0: built from tokens, else raw; bit 1: damage
// the built file; bit 2: a character weight), then for a built file a word
// count byte and that many (token, back-off) byte pairs, a pair count byte
// and that many (token, token, score) byte triples, and for damage a count
// byte and that many (offset high, offset low, value) triples; for a raw
// file a length byte pair and that many bytes. Then two option bytes and the
// keys, as in the key handler target.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/ModuleLog.h"
#include "engine/InputState.h"
#include "engine/KeyHandler.h"
#include "engine/KeyHandlerStrings.h"
#include "engine/StateReceiver.h"
#include "fuzz/FuzzSupport.h"
#include "fuzz/TypingSupport.h"
#include "models/ContextFile.h"
#include "models/ContextLM.h"
#include "models/KestovaLM.h"
#include "models/SortedPhraseFile.h"
#include "phonetics/BpmfKeyboardLayout.h"
#include "tests/support/FixturePhrases.h"

using namespace Kestova;
using namespace Kestova::InputStates;
using Palisar::Lattivor2::ContextModel;

namespace {

// Words of the fixture phrases, the markers of word ends and starts, the
// start of a sentence, and text no phrase has.
constexpr std::string_view kWords[] = {
    "",       "你",     "好",     "你好",   "妳",     "媽",       "媽媽咪", "嗎",
    "臺",     "台",     "灣",     "臺灣",   "台灣",   "可",       "的",     "一",
    "只好",   "之",     "，",     "\x01你", "\x02好", "\x01好",   "\x02你", "\x01灣",
    "\x02的", "\x01媽", "\x02媽", "城市",   "\xff",   "\x01\xe6", "a b",
};
constexpr size_t kWordCount = sizeof kWords / sizeof kWords[0];

std::string_view word(Fuzz::ByteReader& reader) {
  return kWords[reader.byte() % kWordCount];
}

double score(uint8_t byte) {
  return (static_cast<int>(byte) - 128) / 16.0;
}

// The score as the file stores it.
double stored(double value) {
  return static_cast<double>(static_cast<float>(value));
}

ContextFileContents contentsFrom(Fuzz::ByteReader& reader, bool characterWeight) {
  ContextFileContents contents;
  contents.weight = 0.5;
  contents.characterWeight = characterWeight ? 0.25 : 0;
  for (size_t n = reader.byte() % 16; n > 0; --n) {
    const std::string_view text = word(reader);
    contents.words.push_back({std::string(text), score(reader.byte())});
  }
  for (size_t n = reader.byte() % 32; n > 0; --n) {
    ContextFilePair pair;
    pair.previous = word(reader);
    pair.next = word(reader);
    pair.score = score(reader.byte());
    contents.pairs.push_back(std::move(pair));
  }
  return contents;
}

void damage(Fuzz::ByteReader& reader, std::string& bytes) {
  for (size_t n = reader.byte() % 8; n > 0 && !bytes.empty(); --n) {
    const size_t offset = (size_t{reader.byte()} << 8 | reader.byte()) % bytes.size();
    bytes[offset] = static_cast<char>(reader.byte());
  }
}

// What the writer promises for a file nobody damaged.
void checkReadsBack(const ContextLM& model, const ContextFileContents& contents) {
  // The first of a repeated word or pair stays; words named only by pairs
  // back off with 0.
  std::map<std::string, double> backoffs;
  for (const auto& entry : contents.words) backoffs.emplace(entry.text, entry.backoff);
  std::map<std::pair<std::string, std::string>, double> pairs;
  for (const auto& pair : contents.pairs) {
    backoffs.emplace(pair.previous, 0.0);
    backoffs.emplace(pair.next, 0.0);
    pairs.emplace(std::pair(pair.previous, pair.next), pair.score);
  }
  KESTOVA_FUZZ_CHECK(model.isLoaded() == !backoffs.empty());
  if (!model.isLoaded()) return;
  KESTOVA_FUZZ_CHECK(model.wordCount() == backoffs.size());
  std::map<std::string, ContextModel::WordId> ids;
  for (const auto& [text, backoff] : backoffs) {
    const ContextModel::WordId id = model.wordId(text);
    KESTOVA_FUZZ_CHECK(id == ids.size());
    KESTOVA_FUZZ_CHECK(model.word(id) == text);
    ids.emplace(text, id);
  }
  for (const auto& [previous, previousId] : ids) {
    for (const auto& [next, nextId] : ids) {
      const ContextModel::Word before{previousId, ContextModel::kUnknownWord,
                                      ContextModel::kUnknownWord};
      const ContextModel::Word after{nextId, ContextModel::kUnknownWord,
                                     ContextModel::kUnknownWord};
      const auto listed = pairs.find(std::pair(previous, next));
      const double expected =
          listed != pairs.end() ? stored(listed->second) : stored(backoffs.at(previous));
      KESTOVA_FUZZ_CHECK(model.pairScore(before, after) == expected);
    }
  }
}

// What any file must do, whatever it holds.
void checkAnswersStayInside(const ContextLM& model) {
  KESTOVA_FUZZ_CHECK(std::isfinite(model.weight()));
  KESTOVA_FUZZ_CHECK(std::isfinite(model.characterWeight()));
  const size_t listed = std::min<size_t>(model.wordCount(), 48);
  std::vector<ContextModel::Word> words;
  for (size_t i = 0; i < listed; ++i) {
    const std::string text(model.word(i));
    const ContextModel::Word found = model.lookUp(text);
    for (ContextModel::WordId id : {found.word, found.first, found.last}) {
      KESTOVA_FUZZ_CHECK(id == ContextModel::kUnknownWord || id < model.wordCount());
    }
    words.push_back(found);
    words.push_back({static_cast<ContextModel::WordId>(i), ContextModel::kUnknownWord,
                     ContextModel::kUnknownWord});
  }
  words.push_back(model.sentenceStart());
  words.push_back(ContextModel::Word());
  for (const auto& previous : words) {
    for (const auto& next : words) {
      KESTOVA_FUZZ_CHECK(std::isfinite(model.pairScore(previous, next)));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;  // long inputs only slow the fuzzer down
  static const bool logChecked = [] {
    ModuleLog::setSink([](std::string_view line) {
      KESTOVA_FUZZ_CHECK(line.find(" Error: ") == std::string_view::npos);
    });
    return true;
  }();
  (void)logChecked;

  Fuzz::ByteReader reader(data, size);
  const uint8_t flags = reader.byte();
  std::string bytes;
  ContextFileContents contents;
  const bool built = flags & 1;
  const bool damaged = built && (flags & 2);
  if (built) {
    contents = contentsFrom(reader, flags & 4);
    bytes = contextFileBytes(contents);
    if (damaged) damage(reader, bytes);
  } else {
    size_t length = size_t{reader.byte()} << 8 | reader.byte();
    for (; length > 0 && !reader.empty(); --length) bytes += static_cast<char>(reader.byte());
  }

  static const std::string path = (Fuzz::scratchDirectory() / "kestova-context.bin").string();
  Fuzz::writeFile(path, bytes);
  auto model = std::make_shared<ContextLM>();
  const bool opened = model->open(path);
  KESTOVA_FUZZ_CHECK(opened == model->isLoaded());
  if (built && !damaged) checkReadsBack(*model, contents);
  checkAnswersStayInside(*model);

  const uint8_t optionBits = reader.byte();
  const uint8_t modes = reader.byte();
  auto handler = std::make_shared<KeyHandler>(Fuzz::fixtureModel(), nullptr,
                                              std::make_unique<KeyHandlerStrings>());
  handler->setOptions(Fuzz::optionsFrom(optionBits, modes));
  handler->setLayout(BpmfKeyboardLayout::AllLayouts()[(modes & 7) % 6]);
  if (opened) handler->setContextModel(model);
  StateReceiver receiver(handler);
  receiver.setObserver(Fuzz::checkStateText);
  while (!reader.empty()) receiver.handleKey(Fuzz::readKeyStroke(reader));
  return 0;
}
