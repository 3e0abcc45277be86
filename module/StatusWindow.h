// The module's own small window (the composition with its caret marked and
// what a pick changes lit, and a hint line under it) and the presentation of
// the core's state through the host: the candidate window's rows and place,
// and the preedit with its attributes. When the application draws the
// preedit itself (the host says the window is suppressed), the window
// appears only for a hint. With nothing composed it shows only the mode
// in English mode, or the notice of the last key (a mistyped syllable)
// until the next key. It is placed at the caret, on the screen, whenever
// it is drawn.
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
// Shows the window as the state has it (and an empty one when the host
// asks for the window even when nothing is composed).
void show(const StateReceiver& receiver);
bool visible();
// The host's spot for the caret: the window follows it.
void move(int x, int y);
void applyFontSize();
void readGeometry();

// The host's candidate row buffer (NUL included).
inline constexpr std::size_t kHostRowBytes = 128;
// What the window shows at the caret while keys go to the application
// untouched.
inline constexpr std::string_view kEnglishModeText = "英";

// Fills the host's preedit buffers: at most 511 bytes of the composition
// around the caret, underlined, with what is lit in reverse video: the
// marked range, the syllable being typed, or the phrase the candidate list
// acts on. The result is the number of attributes.
int fillPreedit(const StateReceiver* receiver, char* text, PreeditAttribute* attributes,
                int* cursor, int* fourth);
inline constexpr std::size_t kPreeditBytes = 512;

}  // namespace StatusWindow
}  // namespace Kestova
