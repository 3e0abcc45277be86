#include "core/Presentation.h"

#include <algorithm>

#include "text/Utf8.h"

namespace Kestova::Presentation {
namespace {

constexpr std::string_view kEllipsis = "\u2026";
// Marks the highlighted candidate row.
constexpr std::string_view kHighlightMark = "\u25B8";

std::string joined(const std::vector<std::string_view>& characters, std::size_t from,
                   std::size_t to) {
  std::string text;
  for (std::size_t i = from; i < to; ++i) text += characters[i];
  return text;
}

}  // namespace

View preeditWindow(std::string_view composition, std::size_t caret, std::size_t maxBytes) {
  const std::vector<std::string_view> characters = Utf8::splitCharacters(composition);
  const std::size_t count = characters.size();
  caret = std::min(caret, count);
  if (composition.size() <= maxBytes) return View{std::string(composition), caret, 0, 0, count};

  // Take characters before the caret while they fit, then after it.
  std::size_t start = caret;
  std::size_t end = caret;
  std::size_t bytes = 0;
  while (start > 0 && bytes + characters[start - 1].size() <= maxBytes) {
    bytes += characters[--start].size();
  }
  while (end < count && bytes + characters[end].size() <= maxBytes)
    bytes += characters[end++].size();
  return View{joined(characters, start, end), caret - start, start, 0, end - start};
}

View statusLineWindow(std::string_view composition, std::size_t caret, std::size_t maxCharacters) {
  const std::vector<std::string_view> characters = Utf8::splitCharacters(composition);
  const std::size_t count = characters.size();
  caret = std::min(caret, count);
  maxCharacters = std::max<std::size_t>(maxCharacters, 3);
  if (count <= maxCharacters) return View{std::string(composition), caret, 0, 0, count};

  std::size_t start = 0;
  std::size_t end = count;
  if (count - caret < maxCharacters - 1) {
    // Near the end: the tail, cut on the left.
    start = count - (maxCharacters - 1);
  } else if (caret < maxCharacters - 1) {
    // Near the start: the head, cut on the right.
    end = maxCharacters - 1;
  } else {
    // In the middle: cut on both sides, the caret two thirds along.
    const std::size_t room = maxCharacters - 2;
    start = caret - room * 2 / 3;
    end = start + room;
  }
  View view;
  view.skipped = start;
  view.lead = start > 0 ? 1 : 0;
  view.shown = end - start;
  if (start > 0) view.text += kEllipsis;
  view.text += joined(characters, start, end);
  if (end < count) view.text += kEllipsis;
  view.caret = caret - start + (start > 0 ? 1 : 0);
  return view;
}

Range rangeInView(const View& view, Range range) {
  const auto place = [&view](std::size_t character) {
    const std::size_t inside = character > view.skipped ? character - view.skipped : 0;
    return view.lead + std::min(inside, view.shown);
  };
  if (range.empty()) return Range{};
  const Range shown{place(range.start), place(range.end)};
  return shown.empty() ? Range{} : shown;
}

std::vector<Span> preeditSpans(std::size_t length, Range lit) {
  std::vector<Span> spans;
  if (length == 0) return spans;
  spans.push_back({Span::Underline, 0, length});
  lit.end = std::min(lit.end, length);
  if (!lit.empty()) spans.push_back({Span::Reverse, lit.start, lit.end});
  return spans;
}

StatusLine statusLine(const View& view, Range lit) {
  const std::size_t caretByte = Utf8::offsetAfter(view.text, view.caret);
  StatusLine line;
  line.text.reserve(view.text.size() + kCaretMark.size());
  line.text.append(view.text, 0, caretByte).append(kCaretMark).append(view.text, caretByte);
  if (lit.empty()) return line;
  // Characters after the caret moved on by the mark; a range that holds
  // the caret holds the mark too.
  const auto byteOf = [&](std::size_t character, bool isEnd) {
    const std::size_t byte = Utf8::offsetAfter(view.text, character);
    const bool shifted = isEnd ? character > view.caret : character >= view.caret;
    return byte + (shifted ? kCaretMark.size() : 0);
  };
  line.litStart = byteOf(lit.start, false);
  line.litEnd = byteOf(lit.end, true);
  return line;
}

std::string candidateRow(std::string_view value, bool highlighted, std::size_t rowBytes) {
  std::string row = highlighted ? std::string(kHighlightMark) : std::string();
  row += Utf8::sanitized(value);
  if (row.size() < rowBytes) return row;
  std::string cut(Utf8::prefixFitting(row, rowBytes - 1 - kEllipsis.size()));
  return cut + std::string(kEllipsis);
}

Rectangle placePopup(const Rectangle& anchor, int width, int height, int screenWidth,
                     int screenHeight) {
  // In 64 bits: the host's positions may be anywhere in int's range.
  using Wide = long long;
  const Wide below = Wide{anchor.y} + anchor.height;
  Wide y = below;
  if (below + height > screenHeight) {
    const Wide above = Wide{anchor.y} - height;
    // Above when it fits there, else wherever there is more room.
    if (above >= 0 || anchor.y > screenHeight - below) y = above;
  }
  const Wide x = std::clamp<Wide>(anchor.x, 0, std::max(0, screenWidth - width));
  y = std::clamp<Wide>(y, 0, std::max(0, screenHeight - height));
  return Rectangle{static_cast<int>(x), static_cast<int>(y), width, height};
}

}  // namespace Kestova::Presentation
