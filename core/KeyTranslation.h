// Turns the host's key events (an X11 keysym and modifier mask) into the
// key presses the state receiver takes. Pure functions that own nothing;
// module_feedkey calls them for every key, tests and tools as they like.
#pragma once

#include <cstdint>

#include "engine/Key.h"

namespace Kestova {

// X11's modifier mask bits as the host passes them. (X11's own header
// defines None and KeyPress as macros, which the engine's names clash with.)
inline constexpr unsigned kShiftMask = 1;
inline constexpr unsigned kLockMask = 2;
inline constexpr unsigned kControlMask = 4;
inline constexpr unsigned kMod1Mask = 8;

// The press for a keysym: its type, character and keypad flag, with
// Control (any key) and Shift (only on a named key or a character outside
// "!" to "~": Shift+a arrives as "A" already). With Control the printable
// characters are limited to ",./;'\1" (Control+1 gives "!"); any other key
// is KeyType::Other.
KeyStroke translateKeysym(uint32_t keysym, unsigned mask);

}  // namespace Kestova
