// Turns the host's key events (X11 keysym and modifier mask) into the key
// types the module core dispatches.
#pragma once

#include <cstdint>

namespace Kestova {

// X11 modifier mask bits the module looks at.
inline constexpr unsigned kShiftMask = 1;
inline constexpr unsigned kLockMask = 2;
inline constexpr unsigned kControlMask = 4;
inline constexpr unsigned kMod1Mask = 8;

// Key types: 0 character key; 1-6 Left, Right, Up, Down, Home, End (the
// engine's named keys); 7 Page Up; 8 Page Down; 9 any other key.
enum KeyType : int {
  kCharacterKey = 0,
  kLeftKey = 1,
  kRightKey = 2,
  kUpKey = 3,
  kDownKey = 4,
  kHomeKey = 5,
  kEndKey = 6,
  kPageUpKey = 7,
  kPageDownKey = 8,
  kOtherKey = 9,
};

struct TranslatedKey {
  int type = kOtherKey;
  char character = 0;
  bool numpad = false;

  bool operator==(const TranslatedKey&) const = default;
};

// The type and character of a keysym; Control (in `mask`) limits the
// printable characters to ",./;'\1" (Control+1 gives "!").
TranslatedKey translateKeysym(uint32_t keysym, unsigned mask);

}  // namespace Kestova
