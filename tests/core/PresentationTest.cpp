// What the module shows of a composition: the parts of a long one that fit,
// the preedit's attributes, candidate rows and where popups go.
#include "core/Presentation.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "text/Utf8.h"

namespace Kestova::Presentation {
namespace {

std::string repeat(std::string_view text, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += text;
  return out;
}

TEST(PresentationTest, PreeditWindowKeepsTheCaretAndWhatWasJustTyped) {
  // 200 characters of three bytes: 600 bytes, more than fits in 511.
  const std::string composition = repeat("一", 190) + repeat("二", 10);
  struct Case {
    std::size_t caret;
    std::size_t skipped;
    std::size_t caretInView;
  } cases[] = {
      {200, 30, 170},  // at the end: the last 170 characters
      {0, 0, 0},       // at the start: the first 170
      {100, 0, 100},   // in the middle: everything before it that fits
      {185, 15, 170},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caret);
    const View view = preeditWindow(composition, c.caret, 511);
    EXPECT_LE(view.text.size(), 511u);
    EXPECT_EQ(Utf8::characterCount(view.text), 170u);
    EXPECT_EQ(view.skipped, c.skipped);
    EXPECT_EQ(view.caret, c.caretInView);
    EXPECT_EQ(view.text, composition.substr(3 * view.skipped, view.text.size()));
  }
  const View whole = preeditWindow("你好", 1, 511);
  EXPECT_EQ(whole.text, "你好");
  EXPECT_EQ(whole.caret, 1u);
}

TEST(PresentationTest, StatusLineShowsTheCaretWithEllipsesAtCutEnds) {
  const std::string composition = "一二三四五六七八九十";  // ten characters
  struct Case {
    std::size_t caret;
    const char* text;
    std::size_t caretInView;
  } cases[] = {
      {10, "…五六七八九十", 7},  // the tail
      {0, "一二三四五六…", 0},   // the head
      {2, "一二三四五六…", 2},  {5, "…五六七八九十", 2}, {7, "…五六七八九十", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caret);
    const View view = statusLineWindow(composition, c.caret, 7);
    EXPECT_EQ(view.text, c.text);
    EXPECT_EQ(view.caret, c.caretInView);
    EXPECT_LE(Utf8::characterCount(view.text), 7u);
  }
  EXPECT_EQ(statusLineWindow(composition, 3, 10).text, composition);
  // In the middle of a long one both ends are cut, the caret two thirds along.
  const View middle = statusLineWindow(composition + "甲乙丙丁戊己庚辛壬癸", 10, 7);
  EXPECT_EQ(middle.text, "…八九十甲乙…");
  EXPECT_EQ(middle.caret, 4u);
}

TEST(PresentationTest, PreeditUnderlinesTheCompositionAndReversesWhatIsLit) {
  using K = Span::Kind;
  auto spans = preeditSpans(4, Range{1, 3});
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[0].kind, K::Underline);
  EXPECT_EQ(spans[0].start, 0u);
  EXPECT_EQ(spans[0].end, 4u);
  EXPECT_EQ(spans[1].kind, K::Reverse);
  EXPECT_EQ(spans[1].start, 1u);
  EXPECT_EQ(spans[1].end, 3u);
  // Nothing lit, or lit beyond the text: only the underline is left.
  EXPECT_EQ(preeditSpans(4, Range{}).size(), 1u);
  EXPECT_EQ(preeditSpans(4, Range{4, 6}).size(), 1u);
  spans = preeditSpans(4, Range{2, 9});
  ASSERT_EQ(spans.size(), 2u);
  EXPECT_EQ(spans[1].end, 4u);
  EXPECT_TRUE(preeditSpans(0, Range{0, 1}).empty());
}

// A lit range of the composition lands on the view's characters: moved by
// what was cut before, past the ellipsis, and cut to what is shown.
TEST(PresentationTest, LitRangesFollowTheCutOfTheView) {
  const std::string composition = "一二三四五六七八九十";
  const View whole = statusLineWindow(composition, 4, 20);
  const View tail = statusLineWindow(composition, 10, 7);  // "…五六七八九十"
  const View head = preeditWindow(composition, 0, 9);      // "一二三"
  struct Case {
    const View* view;
    Range range;
    Range shown;
  } cases[] = {
      {&whole, {2, 4}, {2, 4}}, {&tail, {8, 10}, {5, 7}}, {&tail, {3, 6}, {1, 3}},
      {&tail, {0, 4}, {}},      {&head, {2, 5}, {2, 3}},  {&head, {4, 6}, {}},
      {&whole, {3, 3}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.view->text + " " + std::to_string(c.range.start));
    EXPECT_EQ(rangeInView(*c.view, c.range), c.shown);
  }
}

// The status line marks the caret; what is lit is drawn in the cursor
// colours, the mark with it when the caret is inside what is lit.
TEST(PresentationTest, StatusLineMarksTheCaretBesideWhatIsLit) {
  const std::string m(kCaretMark);
  struct Case {
    std::size_t caret;
    Range lit;
    std::string text;
    std::string litText;
  } cases[] = {
      {4, {2, 4}, "你好臺灣" + m, "臺灣"},       // the phrase before the caret
      {2, {2, 4}, "你好" + m + "臺灣", "臺灣"},  // the phrase after it
      {1, {0, 2}, "你" + m + "好臺灣", "你" + m + "好"},
      {0, {}, m + "你好臺灣", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caret);
    const View view = statusLineWindow("你好臺灣", c.caret, 20);
    const StatusLine line = statusLine(view, c.lit);
    EXPECT_EQ(line.text, c.text);
    ASSERT_LE(line.litStart, line.litEnd);
    EXPECT_EQ(line.text.substr(line.litStart, line.litEnd - line.litStart), c.litText);
  }
}

TEST(PresentationTest, CandidateRowsShowTheHighlightAndFitTheHostBuffer) {
  EXPECT_EQ(candidateRow("你好", false, 128), "你好");
  EXPECT_EQ(candidateRow("你好", true, 128), "\u25B8你好");
  const std::string longValue = repeat("長", 50);  // 150 bytes
  for (bool highlighted : {false, true}) {
    const std::string row = candidateRow(longValue, highlighted, 128);
    EXPECT_LT(row.size(), 128u);
    EXPECT_TRUE(Utf8::isValid(row));
    EXPECT_EQ(row.substr(row.size() - 3), "\u2026");
  }
  EXPECT_EQ(candidateRow("\xb4\xfa", false, 128), "\uFFFD\uFFFD");
}

TEST(PresentationTest, PopupsGoUnderTheAnchorOrAboveItAndStayOnTheScreen) {
  struct Case {
    Rectangle anchor;
    int x, y;
  } cases[] = {
      {{100, 100, 0, 20}, 100, 120},   // under the caret
      {{100, 700, 0, 20}, 100, 600},   // near the bottom: above it
      {{1000, 100, 0, 20}, 924, 120},  // near the right edge: moved left
      {{-50, 100, 0, 20}, 0, 120},
      {{100, 60, 0, 20}, 100, 80},  // tall window, little room either way
      // the host's positions anywhere in int's range
      {{std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), 0, 20}, 924, 668},
      {{std::numeric_limits<int>::min(), std::numeric_limits<int>::min(), 0, 20}, 0, 0},
  };
  for (const Case& c : cases) {
    const Rectangle popup = placePopup(c.anchor, 100, 100, 1024, 768);
    EXPECT_EQ(popup.x, c.x) << c.anchor.x << "," << c.anchor.y;
    EXPECT_EQ(popup.y, c.y) << c.anchor.x << "," << c.anchor.y;
  }
  // A popup taller than the room below and above goes where there is more.
  const Rectangle big = placePopup({10, 500, 0, 20}, 100, 600, 1024, 768);
  EXPECT_EQ(big.y, 0);
}

}  // namespace
}  // namespace Kestova::Presentation
