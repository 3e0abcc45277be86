// The module's own small window (the composition with its caret highlighted,
// and a hint line under it) and the presentation of the core's state through
// the host: the candidate window's rows and the preedit text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "module/HostFunctions.h"

namespace Kestova {

class StateReceiver;

namespace StatusWindow {

// Builds the window once and hands it to the host.
void create();
bool exists();
// Redraws the status window and the host's candidate window from the receiver.
void refresh(const StateReceiver& receiver);
// Hides the status window and the candidate window, then tells the host.
void hide();
// Shows the window when the host and the state allow it.
void show(const StateReceiver& receiver);
bool visible();
void move(int x, int y);
void applyFontSize();
void readGeometry();

// The text given to the host for one candidate row: the whole value when it
// is shorter than the host's row buffer, else cut at a character boundary
// with an ellipsis (the committed value stays whole).
std::string candidateRowText(std::string_view value);
inline constexpr std::size_t kHostRowBytes = 128;

// The status line markup: before the caret, the caret character (a space at
// the end) on the cursor colours, and after it.
std::string statusMarkup(std::string_view text, std::size_t caretCharacters, const char* background,
                         const char* foreground);

// Fills the host's preedit buffers; the result is the number of attributes.
int fillPreedit(const StateReceiver* receiver, char* text, PreeditAttribute* attributes,
                int* cursor, int* fourth);
inline constexpr std::size_t kPreeditBytes = 512;

}  // namespace StatusWindow
}  // namespace Kestova
