// The Taiwan text the builder learns from: catalogues and documents read,
// cut into runs, the evaluation sentences kept out, segmented, counted and
// turned into pair scores.
#include "databuilder/TrainingText.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "databuilder/ContextModelBuilder.h"
#include "tests/support/TempDir.h"

namespace Kestova::DataBuilder {
namespace {

using Testing::TempDir;

// A little-endian GNU catalogue of (original, translation) entries.
std::string catalogue(const std::vector<std::pair<std::string, std::string>>& entries) {
  auto word = [](std::string& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
  };
  const std::uint32_t count = static_cast<std::uint32_t>(entries.size());
  const std::uint32_t originals = 28, translations = originals + 8 * count;
  std::uint32_t text = translations + 8 * count;
  std::string header, tables, strings;
  word(header, 0x950412de);
  word(header, 0);
  word(header, count);
  word(header, originals);
  word(header, translations);
  word(header, 0);
  word(header, 0);
  std::string originalTable, translationTable;
  for (const auto& [original, translation] : entries) {
    word(originalTable, static_cast<std::uint32_t>(original.size()));
    word(originalTable, text);
    strings += original + '\0';
    text += static_cast<std::uint32_t>(original.size() + 1);
  }
  for (const auto& [original, translation] : entries) {
    word(translationTable, static_cast<std::uint32_t>(translation.size()));
    word(translationTable, text);
    strings += translation + '\0';
    text += static_cast<std::uint32_t>(translation.size() + 1);
  }
  return header + originalTable + translationTable + strings;
}

// A literal with the NUL bytes inside it.
template <std::size_t N>
std::string withNul(const char (&text)[N]) {
  return std::string(text, N - 1);
}

std::string writeCompressed(const TempDir& dir, const std::string& name, const std::string& text) {
  const std::string path = dir.file(name);
  gzFile file = gzopen(path.c_str(), "wb");
  gzwrite(file, text.data(), static_cast<unsigned>(text.size()));
  gzclose(file);
  return path;
}

TEST(TrainingText, CataloguesGiveTheirTranslationsWithoutTheHeader) {
  TempDir dir;
  const std::string path = dir.write(
      "sample.mo", catalogue({{"", "Content-Type: text/plain; charset=UTF-8\n"},
                              {"file", "檔案"},
                              {withNul("one file\0%d files"), withNul("%d 個檔案\0複數")}}));
  std::vector<std::string> translations;
  ASSERT_TRUE(readMessageCatalogue(path, translations));
  EXPECT_EQ(translations, (std::vector<std::string>{"檔案", "%d 個檔案", "複數"}));

  std::string truncated = catalogue({{"file", "檔案"}});
  truncated.resize(truncated.size() - 4);
  std::vector<std::string> none;
  EXPECT_FALSE(readMessageCatalogue(dir.write("cut.mo", truncated), none));
  EXPECT_FALSE(readMessageCatalogue(dir.write("text.mo", "msgid \"x\"\nmsgstr \"y\"\n"), none));
  EXPECT_FALSE(readMessageCatalogue(dir.file("missing.mo"), none));
}

// The fetched catalogues: one folder per package; only regular .mo files,
// in path order, whatever order the folder lists them in.
TEST(TrainingText, CatalogueFolderGivesEveryPackagesCataloguesInPathOrder) {
  namespace fs = std::filesystem;
  TempDir dir;
  for (const char* package : {"zsh", "apt", "bash"}) fs::create_directory(dir.path() / package);
  dir.write("zsh/zsh.mo", "z");
  dir.write("apt/libapt.mo", "l");
  dir.write("apt/apt.mo", "a");
  dir.write("apt/versions.txt", "not a catalogue");
  dir.write("loose.mo", "a catalogue outside a package folder");
  fs::create_symlink(dir.file("apt/apt.mo"), dir.file("bash/link.mo"));
  fs::create_symlink(dir.path() / "apt", dir.path() / "linked-package");

  std::vector<std::string> files{"--catalogue given first"};
  ASSERT_TRUE(catalogueFilesIn(dir.path().string(), files));
  EXPECT_EQ(files, (std::vector<std::string>{"--catalogue given first", dir.file("apt/apt.mo"),
                                             dir.file("apt/libapt.mo"), dir.file("zsh/zsh.mo")}));
  EXPECT_FALSE(catalogueFilesIn(dir.file("missing"), files));
}

TEST(TrainingText, RunsAreTheHanCharactersBetweenEverythingElse) {
  EXPECT_EQ(hanRuns("無法開啟「%s」：檔案不存在abc說明"),
            (std::vector<std::string>{"無法開啟", "檔案不存在", "說明"}));
  EXPECT_EQ(hanRuns("ㄅㄚ 123 ..."), std::vector<std::string>{});
  EXPECT_EQ(hanRuns("前\xff後"), (std::vector<std::string>{"前", "後"}));
}

TEST(TrainingText, EvaluationSentencesAndTheirPiecesAreExcluded) {
  EvaluationFilter filter;
  filter.addSentence("無法刪除工作區變更");
  filter.addSentence("顯示目前已登入的使用者");
  struct Case {
    std::string run;
    bool excluded;
  };
  const Case cases[] = {
      {"無法刪除工作區變更", true},        // the sentence itself
      {"工作區", true},                    // inside a sentence
      {"錯誤無法刪除工作區變更了", true},  // holding a sentence
      {"目前已登入", true},                // inside the other one
      {"無法刪除檔案", false},             // shares words, but is neither
      {"工作區變更顯示目前", false},       // spans the two sentences
      {"說明", false},
  };
  for (const Case& c : cases) EXPECT_EQ(filter.excludes(c.run), c.excluded) << c.run;
}

// The whole reading step as the build runs it, on pinned files: every run an
// evaluation corpus overlaps is gone before anything is counted, and a source
// that is missing stops the build with its name.
TEST(TrainingText, TheBuildReadsEverySourceAndDropsEvaluationText) {
  TempDir dir;
  const std::string corpus =
      dir.write("eval.tsv",
                "無法刪除工作區變更\tㄨˊ-ㄈㄚˇ-ㄕㄢ-ㄔㄨˊ-ㄍㄨㄥ-ㄗㄨㄛˋ-ㄑㄩ-"
                "ㄅㄧㄢˋ-ㄍㄥ\n");
  const std::string mo = dir.write(
      "a.mo", catalogue({{"a", "無法刪除工作區變更"}, {"b", "工作區"}, {"c", "開啟檔案"}}));
  const std::string document =
      writeCompressed(dir, "doc.txt.gz", "錯誤：無法刪除工作區變更。請重新開機。\n");
  std::vector<std::string> runs;
  TextStatistics statistics;
  std::string error;
  ASSERT_TRUE(readTrainingRuns({mo}, {document}, {corpus}, runs, statistics, &error)) << error;
  std::sort(runs.begin(), runs.end());
  EXPECT_EQ(runs, (std::vector<std::string>{"請重新開機", "錯誤", "開啟檔案"}));
  EXPECT_EQ(statistics.excludedRuns, 3u);

  struct Missing {
    std::vector<std::string> catalogues, documents, corpora;
    std::string named;
  };
  const Missing missing[] = {
      {{dir.file("gone.mo")}, {}, {corpus}, "catalogue"},
      {{mo}, {dir.file("gone.gz")}, {corpus}, "document"},
      {{mo}, {}, {dir.file("gone.tsv")}, "evaluation corpus"},
  };
  for (const Missing& m : missing) {
    std::vector<std::string> none;
    TextStatistics ignored;
    EXPECT_FALSE(readTrainingRuns(m.catalogues, m.documents, m.corpora, none, ignored, &error));
    EXPECT_NE(error.find(m.named), std::string::npos) << error;
    EXPECT_NE(error.find("gone"), std::string::npos) << error;
  }
}

TEST(TrainingText, SegmentationTakesTheBestScoringWords) {
  const std::unordered_map<std::string, double> dictionary = {
      {"程式", -3}, {"程", -4}, {"式", -4}, {"設計", -3}, {"程式設計", -5}, {"的", -1}};
  const TextCounts counts =
      countSegmentedWords({"程式設計的", "的程式", "程式碼"}, dictionary, -9, 8);
  EXPECT_EQ(counts.runs, 3u);
  EXPECT_DOUBLE_EQ(counts.tokens, 2 + 2 + 2);
  EXPECT_DOUBLE_EQ(counts.words.at("程式設計"), 1);
  EXPECT_DOUBLE_EQ(counts.words.at("程式"), 2);
  EXPECT_DOUBLE_EQ(counts.words.at("碼"), 1);  // unknown, alone
  EXPECT_DOUBLE_EQ(counts.pairs.at("\t程式設計"), 1);
  EXPECT_DOUBLE_EQ(counts.pairs.at("程式設計\t的"), 1);
  EXPECT_DOUBLE_EQ(counts.pairs.at("的\t程式"), 1);
  EXPECT_DOUBLE_EQ(counts.pairs.at("程式\t碼"), 1);
  EXPECT_FALSE(counts.pairs.contains("設計\t的"));
  // Where words meet: the last character before, the first after.
  EXPECT_DOUBLE_EQ(counts.meetings.at("計\t的"), 1);
  EXPECT_DOUBLE_EQ(counts.meetings.at("的\t程"), 1);
  EXPECT_DOUBLE_EQ(counts.meetings.at("式\t碼"), 1);
  EXPECT_EQ(counts.meetings.size(), 3u);
}

TEST(TrainingText, PairScoresCompareThePairWithItsWordsApart) {
  TextCounts counts;
  counts.words = {{"寫", 4}, {"程式", 4}, {"城市", 2}};
  counts.tokens = 10;
  counts.pairs = {{"\t寫", 4}, {"寫\t程式", 3}, {"寫\t城市", 1}, {"程式\t城市", 2}};
  counts.meetings = {{"寫\t程", 3}, {"寫\t城", 1}, {"式\t城", 2}};
  ContextOptions options;
  options.minimumPairCount = 2;
  options.smoothing = 2;
  options.scoreLimit = 3;
  options.backoffScale = 1;
  options.weight = 0.25;
  options.characterWeight = 0.5;
  const ContextFileContents contents = buildContextModel(counts, options);
  EXPECT_DOUBLE_EQ(contents.weight, 0.25);
  auto pair = [&](const std::string& previous, const std::string& next) {
    for (const auto& p : contents.pairs) {
      if (p.previous == previous && p.next == next) return p.score;
    }
    return std::nan("");
  };
  // P(程式 | 寫) = (3 + 2 * 0.4) / (4 + 2); P(程式) = 0.4.
  EXPECT_NEAR(pair("寫", "程式"), std::log10((3 + 0.8) / 6 / 0.4), 1e-12);
  EXPECT_NEAR(pair("程式", "城市"), std::log10((2 + 0.4) / 4 / 0.2), 1e-12);
  EXPECT_TRUE(std::isnan(pair("寫", "城市")));  // seen once: left to the back-off
  // The meeting characters the same way, over their own counts: P(程) = 0.5.
  EXPECT_NEAR(pair("\x01寫", "\x02程"), std::log10((3 + 2 * 0.5) / 6 / 0.5), 1e-12);
  EXPECT_TRUE(std::isnan(pair("\x01寫", "\x02城")));
  EXPECT_DOUBLE_EQ(contents.characterWeight, options.characterWeight);
  for (const auto& word : contents.words) {
    if (word.text == "寫") {
      EXPECT_NEAR(word.backoff, std::log10(2.0 / 6), 1e-12);
    }
  }
  // No back-off scale, no character weight: no back-off scores, no
  // meeting characters.
  options.backoffScale = 0;
  options.characterWeight = 0;
  const ContextFileContents plain = buildContextModel(counts, options);
  for (const auto& word : plain.words) EXPECT_EQ(word.backoff, 0) << word.text;
  EXPECT_EQ(plain.pairs.size(), 3u);  // the start, 寫 程式 and 程式 城市
}

}  // namespace
}  // namespace Kestova::DataBuilder
