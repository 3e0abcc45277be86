// How the module shows a composition on a screen it shares with the
// application: which part of a long composition fits the preedit and the
// status window, how the preedit marks the cursor and a marked range, what a
// candidate row looks like, and where a popup goes so that it stays on the
// screen without covering the text being typed. Pure functions over texts
// and rectangles; the status window and the preedit query apply them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Kestova::Presentation {

// A part of the composition cut around the caret. `caret` counts the
// characters of `text` before the caret.
struct View {
  std::string text;
  std::size_t caret = 0;
  // Characters of the composition left out before `text`.
  std::size_t skipped = 0;
  // Characters of `text` that stand for what was left out before it (an
  // ellipsis), and characters of the composition it holds after them.
  std::size_t lead = 0;
  std::size_t shown = 0;
};

// A range of characters, [start, end).
struct Range {
  std::size_t start = 0;
  std::size_t end = 0;
  bool empty() const { return start >= end; }
  bool operator==(const Range&) const = default;
};

// A range of the composition's characters as characters of the view's
// text: the part of it the view shows, empty when it shows none of it.
Range rangeInView(const View& view, Range range);

// The longest run of whole characters of at most `maxBytes` bytes that keeps
// the caret inside it, with as much as possible before the caret (what was
// just typed stays in view). The whole composition when it fits.
View preeditWindow(std::string_view composition, std::size_t caret, std::size_t maxBytes);

// At most `maxCharacters` characters around the caret for a one-line window,
// an ellipsis standing for each cut end (it counts against the limit).
View statusLineWindow(std::string_view composition, std::size_t caret, std::size_t maxCharacters);

// One attribute run of the preedit, in characters: the host's kinds.
struct Span {
  enum Kind : int { Underline = 1, Reverse = 2 };
  int kind;
  std::size_t start;
  std::size_t end;
};

// The preedit's attributes: the composition underlined, and in reverse
// video what is lit (the marked range, or what the candidate list acts
// on). In characters of the shown text, whose `length` they never exceed.
std::vector<Span> preeditSpans(std::size_t length, Range lit);

// The status window's line: the view's text with a caret mark at the caret
// (the application draws no caret in it), and the bytes of that text to
// draw in the cursor colours: the lit range, the caret mark too when it
// falls inside it. An empty lit range gives an empty `lit`.
struct StatusLine {
  std::string text;
  std::size_t litStart = 0;
  std::size_t litEnd = 0;
};
// A narrow bar, in the label's own colour.
inline constexpr std::string_view kCaretMark = "|";
StatusLine statusLine(const View& view, Range lit);

// The text of a candidate row: the value, cut with an ellipsis to fit the
// host's row buffer of `rowBytes` bytes (NUL included), and on the
// highlighted row marked with "▸" before the value, so that the row Enter
// picks can be seen.
std::string candidateRow(std::string_view value, bool highlighted, std::size_t rowBytes);

struct Rectangle {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

// Where a popup of `size` goes for text at `anchor` (the rectangle of the
// caret, or of the status window): under it, or above it when it would run
// off the bottom of the screen, and always inside the screen.
Rectangle placePopup(const Rectangle& anchor, int width, int height, int screenWidth,
                     int screenHeight);

}  // namespace Kestova::Presentation
