#include "databuilder/PhraseDatabaseBuilder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "databuilder/OpenDataSources.h"
#include "databuilder/SpecialReadings.h"
#include "models/ParselessLM.h"
#include "models/SortedPhraseTable.h"
#include "tests/support/TempDir.h"

namespace Kestova::DataBuilder {
namespace {

namespace fs = std::filesystem;
using Testing::TempDir;

// gcin phonetic key: consonant, medial, vowel (codes in table order) and
// gcin's tone digit (0 first, 1 neutral, 2-4).
unsigned gcinKey(unsigned consonant, unsigned medial, unsigned vowel, unsigned tone) {
  return consonant << 9 | medial << 7 | vowel << 3 | tone;
}

std::string gcinRecord(const std::vector<unsigned>& keys, const std::string& text) {
  std::string record;
  record += static_cast<char>(keys.size());
  record.append(4, '\0');  // use count
  for (unsigned key : keys) {
    record += static_cast<char>(key & 0xFF);
    record += static_cast<char>(key >> 8);
  }
  return record + text;
}

// Consonant, medial and vowel codes used below.
enum : unsigned { B = 1, M = 3, G = 9, H = 11, X = 14, CH = 16, SH = 17, R = 18, Z = 19 };
enum : unsigned { MI = 1, MU = 2 };
enum : unsigned { VO = 2, VER = 3, VEI = 6, VAO = 7, VAN = 9, VEN = 10, VANG = 11, VENG = 12 };

constexpr const char* kEssay =
    "危險\t500\n星期\t800\n一個\t3000\n不要\t2000\n銀行\t700\n因爲\t1000\n認爲\t500\n"
    "成爲\t400\n作爲\t300\n以爲\t200\n爲\t5000\n為\t10\n大\t9000\n人\t8000\n大人\t50\n"
    "星\t100\n期\t50\n行\t300\n";

constexpr const char* kPinyin =
    "# Rime dictionary\n---\nname: fixture\n...\n\n"
    "危\twei1\t100%\n期\tqi1\t100%\n行\txing2\t80%\n行\thang2\t20%\n一\tyi1\t98%\n"
    "一\tyi2\t1%\n兒\tr5\n星期\txing1 qi1\n一個\tyi2 ge4\n危險\twei1 xian3\n";

constexpr const char* kCharacters =
    "ㄨㄟˊ\t為 危 圍 爲\nㄨㄟ\t威\nㄒㄧㄢˇ\t險 顯\nㄒㄧㄥ\t星 興\nㄒㄧㄥˊ\t行 形\n"
    "ㄏㄤˊ\t行 航\nㄑㄧˊ\t期 其 騎\nㄧ\t一 衣\nㄅㄨˋ\t不 步\nㄧㄠˋ\t要 藥\nㄍㄜˋ\t個 各\n"
    "ㄧㄣˊ\t銀\nㄧㄣ\t因 音\nㄕㄜˊ\t什 舌\nㄇㄜ˙\t麼\nㄖㄣˊ\t人\nㄉㄚˋ\t大\n"
    "ㄖㄣˋ\t認\nㄔㄥˊ\t成\nㄗㄨㄛˋ\t作\nㄧˇ\t以\n";

std::string gcinFixture() {
  std::string table;
  table += gcinRecord({gcinKey(0, MU, VEI, 2), gcinKey(X, MI, VAN, 3)}, "危險");
  // The phrase table writes the tone change of 不; typists type its own tone.
  table += gcinRecord({gcinKey(B, MU, 0, 2), gcinKey(0, MI, VAO, 4)}, "不要");
  table += gcinRecord({gcinKey(0, MI, VEN, 2), gcinKey(H, 0, VANG, 2)}, "銀行");
  // An abbreviated entry: 麼 typed as its initial alone.
  table += gcinRecord({gcinKey(SH, 0, VER, 2), gcinKey(M, 0, 0, 0)}, "什麼");
  table += gcinRecord({gcinKey(SH, 0, VER, 2), gcinKey(M, 0, VER, 1)}, "什麼");
  const std::pair<unsigned, const char*> because[] = {
      {gcinKey(0, MI, VEN, 0), "因為"},  {gcinKey(R, 0, VEN, 4), "認為"},
      {gcinKey(CH, 0, VENG, 2), "成為"}, {gcinKey(Z, MU, VO, 4), "作為"},
      {gcinKey(0, MI, 0, 3), "以為"},
  };
  for (const auto& [key, word] : because) {
    table += gcinRecord({key, gcinKey(0, MU, VEI, 2)}, word);
  }
  table += gcinRecord({gcinKey(G, 0, VER, 4)}, "個");
  return table;
}

struct Built {
  std::vector<PhraseFileLine> lines;
  BuildStatistics statistics;
  std::map<std::string, std::map<std::string, double>> byReading;

  bool has(const std::string& reading, const std::string& value) const {
    auto it = byReading.find(reading);
    return it != byReading.end() && it->second.count(value);
  }
  double score(const std::string& reading, const std::string& value) const {
    return byReading.at(reading).at(value);
  }
  bool valueAnywhere(const std::string& value) const {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const PhraseFileLine& line) { return line.value == value; });
  }
};

Built buildFixture(const TempDir& dir, const BuilderOptions& options = {}) {
  BuilderInputs inputs;
  EXPECT_TRUE(readWordFrequencies(dir.write("essay.txt", kEssay), inputs.wordCounts));
  EXPECT_TRUE(readPinyinDictionary(dir.write("pinyin.yaml", kPinyin), inputs.pinyinEntries));
  EXPECT_TRUE(readGcinPhraseTable(dir.write("tsin", gcinFixture()), inputs.phraseTableEntries));
  EXPECT_TRUE(readSyllableCharacters(dir.write("chars.tsv", kCharacters), inputs.taiwanCharacters));
  Built built;
  built.lines = buildPhraseLines(inputs, options, &built.statistics);
  for (const auto& line : built.lines) built.byReading[line.reading][line.value] = line.score;
  return built;
}

TEST(OpenDataSources, GcinKeysBecomeComposedSyllables) {
  struct Case {
    unsigned key;
    const char* composed;
  };
  const Case cases[] = {
      {0x0234, "ㄅㄟˋ"},                    // consonant, vowel, fourth tone
      {gcinKey(G, 0, VER, 1), "ㄍㄜ˙"},     // gcin's 1 is the neutral tone
      {gcinKey(X, MI, VENG, 0), "ㄒㄧㄥ"},  // 0 is the first tone
      {gcinKey(0, MU, VEI, 2), "ㄨㄟˊ"},
      {gcinKey(SH, 0, 0, 2), "ㄕˊ"},  // a consonant that stands alone
      {gcinKey(M, 0, 0, 0), ""},      // an abbreviation, not a syllable
      {0x0003, ""},                   // a tone and nothing else
      {gcinKey(0, 0, 14, 0), ""},     // no such vowel
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gcinKeyToComposed(c.key), c.composed) << std::hex << c.key;
  }
}

TEST(OpenDataSources, ReadsGcinPhraseTableAndRejectsTruncatedFiles) {
  TempDir dir;
  std::vector<ReadingEntry> entries;
  ASSERT_TRUE(readGcinPhraseTable(dir.write("tsin", gcinFixture()), entries));
  ASSERT_EQ(entries.size(), 11u);
  EXPECT_EQ(entries[0].word, "危險");
  EXPECT_EQ(entries[0].syllables, (std::vector<std::string>{"ㄨㄟˊ", "ㄒㄧㄢˇ"}));
  EXPECT_EQ(entries[3].syllables, (std::vector<std::string>{"ㄕㄜˊ", ""}));
  EXPECT_EQ(entries.back().word, "個");

  std::string truncated = gcinFixture();
  truncated.resize(truncated.size() - 2);
  entries.clear();
  EXPECT_FALSE(readGcinPhraseTable(dir.write("short", truncated), entries));
  EXPECT_FALSE(readGcinPhraseTable(dir.file("missing"), entries));
}

TEST(OpenDataSources, ReadsPinyinDictionaryBodyOnly) {
  TempDir dir;
  std::vector<ReadingEntry> entries;
  ASSERT_TRUE(readPinyinDictionary(dir.write("p.yaml", kPinyin), entries));
  // The header is skipped; the erhua suffix "r5" is no syllable and drops its entry.
  ASSERT_EQ(entries.size(), 9u);
  EXPECT_EQ(entries[0].word, "危");
  EXPECT_EQ(entries[0].syllables, std::vector<std::string>{"ㄨㄟ"});
  EXPECT_DOUBLE_EQ(entries[0].percent, 100);
  EXPECT_EQ(entries[3].syllables, std::vector<std::string>{"ㄏㄤˊ"});
  EXPECT_DOUBLE_EQ(entries[3].percent, 20);
  EXPECT_EQ(entries[6].word, "星期");
  EXPECT_EQ(entries[6].syllables, (std::vector<std::string>{"ㄒㄧㄥ", "ㄑㄧ"}));
  EXPECT_LT(entries[6].percent, 0);
}

TEST(PhraseDatabaseBuilder, TaiwanReadingsComeFirst) {
  TempDir dir;
  Built built = buildFixture(dir);
  // The phrase table's Taiwan reading wins over the pinyin dictionary's.
  EXPECT_TRUE(built.has("ㄨㄟˊ-ㄒㄧㄢˇ", "危險"));
  EXPECT_FALSE(built.has("ㄨㄟ-ㄒㄧㄢˇ", "危險"));
  // A phrase known only in pinyin takes the Taiwan tone of each character.
  EXPECT_TRUE(built.has("ㄒㄧㄥ-ㄑㄧˊ", "星期"));
  EXPECT_FALSE(built.has("ㄒㄧㄥ-ㄑㄧ", "星期"));
  // 一 and 不 keep their written tones.
  EXPECT_TRUE(built.has("ㄅㄨˋ-ㄧㄠˋ", "不要"));
  EXPECT_FALSE(built.has("ㄅㄨˊ-ㄧㄠˋ", "不要"));
  EXPECT_TRUE(built.has("ㄧ-ㄍㄜˋ", "一個"));
  EXPECT_FALSE(built.has("ㄧˊ-ㄍㄜˋ", "一個"));
  // A polyphone takes its reading from the phrase.
  EXPECT_TRUE(built.has("ㄧㄣˊ-ㄏㄤˊ", "銀行"));
  EXPECT_FALSE(built.has("ㄧㄣˊ-ㄒㄧㄥˊ", "銀行"));
  // The abbreviated entry is no reading; the full one is kept.
  EXPECT_TRUE(built.has("ㄕㄜˊ-ㄇㄜ˙", "什麼"));
  EXPECT_EQ(built.statistics.rejectedPhraseTableReadings, 1u);
  // Characters: every syllable of the Taiwan table lists its characters, and
  // a mainland-only reading is not offered.
  EXPECT_TRUE(built.has("ㄨㄟˊ", "危"));
  EXPECT_FALSE(built.has("ㄨㄟ", "危"));
  EXPECT_TRUE(built.has("ㄏㄤˊ", "航"));
  EXPECT_TRUE(built.has("ㄏㄤˊ", "行"));
  EXPECT_TRUE(built.has("ㄒㄧㄥˊ", "行"));
}

TEST(PhraseDatabaseBuilder, ScoresAreLogProbabilitiesAboveTheMacroScore) {
  TempDir dir;
  Built built = buildFixture(dir);
  ASSERT_FALSE(built.lines.empty());
  for (const auto& line : built.lines) {
    EXPECT_LT(line.score, 0) << line.reading << " " << line.value;
    EXPECT_GT(line.score, kMacroScore) << line.reading << " " << line.value;
    EXPECT_NE(formatPhraseScore(line.score), formatPhraseScore(kMacroScore));
  }
  // Frequent beats rare among the characters of one syllable, also for
  // characters the corpus never has, which keep the Taiwan table's order.
  EXPECT_GT(built.score("ㄉㄚˋ", "大"), built.score("ㄖㄣˊ", "人"));
  EXPECT_GT(built.score("ㄒㄧㄢˇ", "險"), built.score("ㄒㄧㄢˇ", "顯"));
  // A common phrase outweighs its characters typed one by one, so the walk
  // keeps it; a rare one does not.
  EXPECT_GT(built.score("ㄒㄧㄥ-ㄑㄧˊ", "星期"),
            built.score("ㄒㄧㄥ", "星") + built.score("ㄑㄧˊ", "期"));
  EXPECT_LT(built.score("ㄉㄚˋ-ㄖㄣˊ", "大人"),
            built.score("ㄉㄚˋ", "大") + built.score("ㄖㄣˊ", "人"));
}

// The corpus lists words it did not count with 0 or 1 where its counts
// start near a hundred: such a word is known, and counts as listed.
TEST(PhraseDatabaseBuilder, WordsListedWithoutACountGetTheListedCount) {
  TempDir dir;
  BuilderInputs inputs;
  ASSERT_TRUE(readWordFrequencies(
      dir.write("essay.txt", "大人\t0\n星期\t1\n一個\t100\n銀行\t-5\n不要\tmany\n大\t900\n"),
      inputs.wordCounts));
  EXPECT_EQ(inputs.wordCounts.count("大人"), 1u);
  EXPECT_EQ(inputs.wordCounts.count("銀行"), 0u);
  EXPECT_EQ(inputs.wordCounts.count("不要"), 0u);
  ASSERT_TRUE(readPinyinDictionary(dir.write("pinyin.yaml", kPinyin), inputs.pinyinEntries));
  ASSERT_TRUE(readSyllableCharacters(dir.write("chars.tsv", kCharacters), inputs.taiwanCharacters));
  std::map<std::string, double> scores;
  for (const auto& line : buildPhraseLines(inputs, BuilderOptions{}))
    scores[line.reading + " " + line.value] = line.score;
  ASSERT_TRUE(scores.count("ㄉㄚˋ-ㄖㄣˊ 大人") && scores.count("ㄒㄧㄥ-ㄑㄧˊ 星期"));
  ASSERT_TRUE(scores.count("ㄧ-ㄍㄜˋ 一個"));
  EXPECT_DOUBLE_EQ(scores["ㄉㄚˋ-ㄖㄣˊ 大人"], scores["ㄧ-ㄍㄜˋ 一個"]);
  EXPECT_DOUBLE_EQ(scores["ㄒㄧㄥ-ㄑㄧˊ 星期"], scores["ㄧ-ㄍㄜˋ 一個"]);

  BuilderOptions fewer;
  fewer.listedWordCount = 10;
  for (const auto& line : buildPhraseLines(inputs, fewer))
    scores[line.reading + " " + line.value] = line.score;
  EXPECT_LT(scores["ㄉㄚˋ-ㄖㄣˊ 大人"], scores["ㄧ-ㄍㄜˋ 一個"]);
}

TEST(PhraseDatabaseBuilder, PolyphoneSharesFollowPercentagesAndPhraseEvidence) {
  TempDir dir;
  // By the dictionary's percentages alone, 行 alone is mostly ㄒㄧㄥˊ ...
  BuilderOptions percentagesOnly;
  percentagesOnly.phraseEvidenceWeight = 0;
  Built byPercent = buildFixture(dir, percentagesOnly);
  EXPECT_GT(byPercent.score("ㄒㄧㄥˊ", "行"), byPercent.score("ㄏㄤˊ", "行"));
  // ... while inside the phrases of the fixture it is only ever ㄏㄤˊ (銀行).
  BuilderOptions evidenceOnly;
  evidenceOnly.phraseEvidenceWeight = 1;
  Built byEvidence = buildFixture(dir, evidenceOnly);
  EXPECT_LT(byEvidence.score("ㄒㄧㄥˊ", "行"), byEvidence.score("ㄏㄤˊ", "行"));
  // Either way both readings stay typeable.
  EXPECT_TRUE(byEvidence.has("ㄒㄧㄥˊ", "行"));
  EXPECT_TRUE(byPercent.has("ㄏㄤˊ", "行"));
}

// 的 alone is nearly always ㄉㄜ˙, but its phrases read it ㄉㄧˊ and ㄉㄧˋ:
// a character written mostly alone, with shares the dictionary states,
// keeps its own reading far ahead.
TEST(PhraseDatabaseBuilder, PhrasesSayLittleAboutACharacterMostlyWrittenAlone) {
  TempDir dir;
  BuilderInputs inputs;
  ASSERT_TRUE(readWordFrequencies(
      dir.write("essay.txt", "的\t100000\n目的\t3000\n的確\t3000\n敵\t500\n地\t800\n"),
      inputs.wordCounts));
  ASSERT_TRUE(readPinyinDictionary(
      dir.write("pinyin.yaml", "---\n...\n的\tde5\t98%\n的\tdi2\t1%\n的\tdi4\t1%\n"),
      inputs.pinyinEntries));
  constexpr unsigned D = 5, Q = 13, MV = 3, VE = 4;
  std::string table = gcinRecord({gcinKey(M, MU, 0, 4), gcinKey(D, MI, 0, 4)}, "目的") +
                      gcinRecord({gcinKey(D, MI, 0, 2), gcinKey(Q, MV, VE, 4)}, "的確");
  ASSERT_TRUE(readGcinPhraseTable(dir.write("tsin", table), inputs.phraseTableEntries));
  ASSERT_TRUE(readSyllableCharacters(
      dir.write("chars.tsv", "ㄉㄜ˙\t的\nㄉㄧˊ\t的 敵\nㄉㄧˋ\t地 的\nㄇㄨˋ\t目\nㄑㄩㄝˋ\t確\n"),
      inputs.taiwanCharacters));
  auto gap = [&inputs](const BuilderOptions& options) {
    std::map<std::string, double> scores;
    for (const auto& line : buildPhraseLines(inputs, options))
      scores[line.reading + " " + line.value] = line.score;
    EXPECT_TRUE(scores.count("ㄉㄜ˙ 的") && scores.count("ㄉㄧˊ 的"));
    return scores["ㄉㄜ˙ 的"] - scores["ㄉㄧˊ 的"];
  };
  BuilderOptions before;
  before.keepStatedShares = false;
  before.aloneCountsAgainstEvidence = false;
  double weighed = gap(BuilderOptions{});
  EXPECT_GT(weighed, 1.0);  // ㄉㄧˊ under a tenth of ㄉㄜ˙
  EXPECT_GT(weighed, gap(before) + 0.5);
}

// The dictionary gives 呢 ㄋㄜ˙ and ㄋㄧˊ even shares, but the Taiwan
// table ranks it last under ㄋㄧˊ: that reading of it is the rare one.
TEST(PhraseDatabaseBuilder, ARankFarDownASyllableMakesThatReadingRare) {
  TempDir dir;
  BuilderInputs inputs;
  ASSERT_TRUE(readWordFrequencies(dir.write("essay.txt", "呢\t5000\n泥\t800\n尼\t700\n"),
                                  inputs.wordCounts));
  ASSERT_TRUE(readPinyinDictionary(
      dir.write("pinyin.yaml", "---\n...\n呢\tne5\t50%\n呢\tni2\t50%\n"), inputs.pinyinEntries));
  ASSERT_TRUE(readSyllableCharacters(
      dir.write("chars.tsv", "ㄋㄜ˙\t呢\nㄋㄧˊ\t泥 尼 妮 倪 霓 怩 猊 蜺 輗 呢\n"),
      inputs.taiwanCharacters));
  auto gap = [&inputs](const BuilderOptions& options) {
    std::map<std::string, double> scores;
    for (const auto& line : buildPhraseLines(inputs, options))
      scores[line.reading + " " + line.value] = line.score;
    EXPECT_TRUE(scores.count("ㄋㄜ˙ 呢") && scores.count("ㄋㄧˊ 呢"));
    return scores["ㄋㄜ˙ 呢"] - scores["ㄋㄧˊ 呢"];
  };
  BuilderOptions unranked;
  unranked.readingRankExponent = 0;
  EXPECT_NEAR(gap(unranked), 0.0, 0.01);
  EXPECT_GT(gap(BuilderOptions{}), 0.5);
}

// Characters outside Taiwan's standard sets (here all but 好 郝 北 邶) follow
// every standard character of their reading, whatever their counts, in their
// own order: moved down together under ㄅㄟˇ, pressed in above the floor
// under ㄏㄠˇ, where 䒵 (known only from the dictionary) is the rarest entry.
// Phrases follow the same rule; the standard values keep their scores.
TEST(PhraseDatabaseBuilder, StandardCharactersComeFirstUnderEveryReading) {
  TempDir dir;
  BuilderInputs inputs;
  ASSERT_TRUE(readWordFrequencies(
      dir.write("essay.txt",
                "好\t5000\n郝\t40\n𡥆\t9000\n㚼\t2000\n北\t3000\n邶\t200\n𧋲\t4000\n"
                "䋳\t300\n好好\t300\n好𡥆\t900\n"),
      inputs.wordCounts));
  ASSERT_TRUE(
      readPinyinDictionary(dir.write("pinyin.yaml", "---\n...\n䒵\thao3\n"), inputs.pinyinEntries));
  ASSERT_TRUE(readSyllableCharacters(
      dir.write("chars.tsv", "ㄏㄠˇ\t好 郝 𡥆 㚼\nㄅㄟˇ\t北 邶 𧋲 䋳\n"), inputs.taiwanCharacters));
  auto build = [&inputs](const BuilderOptions& options, BuildStatistics* statistics = nullptr) {
    std::map<std::string, double> scores;
    for (const auto& line : buildPhraseLines(inputs, options, statistics)) {
      EXPECT_GT(line.score, options.lowestScore - 0.05) << line.value;
      scores[line.reading + " " + line.value] = line.score;
    }
    return scores;
  };
  const auto unranked = build(BuilderOptions{});
  // Without the sets the counts decide: the other characters lead.
  EXPECT_GT(unranked.at("ㄏㄠˇ 𡥆"), unranked.at("ㄏㄠˇ 好"));
  EXPECT_GT(unranked.at("ㄅㄟˇ 𧋲"), unranked.at("ㄅㄟˇ 北"));
  EXPECT_GT(unranked.at("ㄏㄠˇ-ㄏㄠˇ 好𡥆"), unranked.at("ㄏㄠˇ-ㄏㄠˇ 好好"));

  inputs.standardCharacters = StandardCharacterSet::of("好郝北邶");
  BuildStatistics statistics;
  const auto ranked = build(BuilderOptions{}, &statistics);
  const std::vector<std::pair<std::string, std::vector<std::string>>> orders = {
      {"ㄏㄠˇ", {"好", "郝", "𡥆", "㚼", "䒵"}},
      {"ㄅㄟˇ", {"北", "邶", "𧋲", "䋳"}},
      {"ㄏㄠˇ-ㄏㄠˇ", {"好好", "好𡥆"}},
  };
  for (const auto& [reading, values] : orders) {
    for (size_t i = 0; i + 1 < values.size(); ++i) {
      EXPECT_GT(ranked.at(reading + " " + values[i]), ranked.at(reading + " " + values[i + 1]))
          << reading << " " << values[i] << " " << values[i + 1];
    }
  }
  for (const char* key : {"ㄏㄠˇ 好", "ㄏㄠˇ 郝", "ㄅㄟˇ 北", "ㄅㄟˇ 邶", "ㄏㄠˇ-ㄏㄠˇ 好好"}) {
    EXPECT_DOUBLE_EQ(ranked.at(key), unranked.at(key)) << key;
  }
  // Where there is room the other characters keep their distances.
  EXPECT_NEAR(ranked.at("ㄅㄟˇ 𧋲") - ranked.at("ㄅㄟˇ 䋳"),
              unranked.at("ㄅㄟˇ 𧋲") - unranked.at("ㄅㄟˇ 䋳"), 1e-9);
  EXPECT_EQ(statistics.otherCharacterLines, 5u);
  EXPECT_EQ(statistics.supplementaryCharacterLines, 2u);

  // Left out, they take nothing from the standard values either.
  BuilderOptions standardOnly;
  standardOnly.keepOtherCharacters = false;
  const auto kept = build(standardOnly);
  for (const char* key :
       {"ㄏㄠˇ 𡥆", "ㄏㄠˇ 㚼", "ㄏㄠˇ 䒵", "ㄅㄟˇ 𧋲", "ㄅㄟˇ 䋳", "ㄏㄠˇ-ㄏㄠˇ 好𡥆"}) {
    EXPECT_EQ(kept.count(key), 0u) << key;
  }
  EXPECT_DOUBLE_EQ(kept.at("ㄏㄠˇ 好"), unranked.at("ㄏㄠˇ 好"));
}

TEST(PhraseDatabaseBuilder, CorpusFormsTaiwanDoesNotUseAreReplaced) {
  TempDir dir;
  Built built = buildFixture(dir);
  ASSERT_EQ(built.statistics.variants.size(), 1u);
  EXPECT_EQ(built.statistics.variants[0], std::make_pair(std::string("爲"), std::string("為")));
  EXPECT_TRUE(built.has("ㄧㄣ-ㄨㄟˊ", "因為"));
  EXPECT_FALSE(built.has("ㄧㄣ-ㄨㄟˊ", "因爲"));
  // The corpus count of 爲 went to 為, which now leads its syllable.
  EXPECT_GT(built.score("ㄨㄟˊ", "為"), built.score("ㄨㄟˊ", "危"));
  EXPECT_GT(built.score("ㄨㄟˊ", "為"), built.score("ㄨㄟˊ", "爲"));
}

TEST(PhraseDatabaseBuilder, SpecialReadingsCoverWhatTheKeyHandlerForms) {
  std::vector<PhraseFileLine> lines = buildSpecialReadingLines();
  auto macros = buildMacroLines();
  lines.insert(lines.end(), macros.begin(), macros.end());
  sortPhraseFileLines(lines);
  std::map<std::string, std::vector<std::string>> values;
  for (const auto& line : lines) {
    values[line.reading].push_back(line.value);
    EXPECT_EQ(line.score == kMacroScore, line.value.rfind("MACRO@", 0) == 0) << line.value;
  }
  auto first = [&](const std::string& reading) {
    auto it = values.find(reading);
    return it == values.end() || it->second.empty() ? std::string("(none)") : it->second[0];
  };
  EXPECT_EQ(first("_punctuation_<"), "，");
  EXPECT_EQ(first("_punctuation_>"), "。");
  EXPECT_EQ(first("_punctuation_?"), "？");
  EXPECT_EQ(first("_punctuation_["), "「");
  EXPECT_EQ(first("_half_punctuation_<"), ",");
  EXPECT_EQ(first("_ctrl_punctuation_,"), "，");
  EXPECT_EQ(first("_numpad_5"), "5");
  for (const char* layout : {"Hsu", "ETen26", "HanyuPinyin"}) {
    EXPECT_EQ(first(std::string("_punctuation_") + layout + "_,"), "，") << layout;
    EXPECT_EQ(first(std::string("_half_punctuation_") + layout + "_."), ".") << layout;
  }
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const auto& list = values["_letter_" + std::string(1, letter)];
    ASSERT_GE(list.size(), 2u);
    EXPECT_EQ(list[0], std::string(1, static_cast<char>(letter - 'A' + 'a')));
    EXPECT_EQ(list[1], std::string(1, letter));
  }
  EXPECT_GE(values["_punctuation_list"].size(), 100u);
  EXPECT_EQ(first("_punctuation_list_,"), "，");
  EXPECT_EQ(first("ㄐㄧㄣ-ㄊㄧㄢ").rfind("MACRO@DATE_TODAY", 0), 0u);
  EXPECT_EQ(first("ㄒㄧㄢˋ-ㄗㄞˋ").rfind("MACRO@TIME_NOW", 0), 0u);
  EXPECT_EQ(first("ㄌㄧˇ-ㄅㄞˋ"), "MACRO@DATE_TODAY2_WEEKDAY");
}

TEST(PhraseDatabaseBuilder, WrittenFileAnswersThroughTheParselessModel) {
  TempDir dir;
  Built built = buildFixture(dir);
  std::vector<PhraseFileLine> lines = built.lines;
  auto special = buildSpecialReadingLines();
  lines.insert(lines.end(), special.begin(), special.end());
  sortPhraseFileLines(lines);
  std::string path = dir.file("kestova-data.txt");
  ASSERT_TRUE(writeSortedPhraseFile(path, lines));

  std::ifstream in(path, std::ios::binary);
  std::string header;
  std::getline(in, header);
  EXPECT_EQ(header + "\n", SortedPhraseTable::kHeader);

  ParselessLM model;
  ASSERT_TRUE(model.open(path));
  auto phrases = model.getScoredPhrases("ㄨㄟˊ");
  ASSERT_FALSE(phrases.empty());
  EXPECT_EQ(phrases[0].value, "為");
  for (size_t i = 1; i < phrases.size(); ++i) {
    EXPECT_GE(phrases[i - 1].score, phrases[i].score);
  }
  auto phrase = model.getScoredPhrases("ㄒㄧㄥ-ㄑㄧˊ");
  ASSERT_EQ(phrase.size(), 1u);
  EXPECT_EQ(phrase[0].value, "星期");
  EXPECT_DOUBLE_EQ(phrase[0].score,
                   std::stod(formatPhraseScore(built.score("ㄒㄧㄥ-ㄑㄧˊ", "星期"))));
  EXPECT_EQ(model.getScoredPhrases("_punctuation_list").size(),
            std::count_if(lines.begin(), lines.end(), [](const PhraseFileLine& line) {
              return line.reading == "_punctuation_list";
            }));
}

}  // namespace
}  // namespace Kestova::DataBuilder
