// The key value the key handler works on, and the presenter's wider view of
// a key press (KeyType), which also tells Page Up and Page Down apart.
#pragma once

#include <cstdint>

namespace Kestova {

// Keys that carry no character. The numbers are part of the interface with
// the module, which maps host key types onto them one to one.
enum class NamedKey : std::uint32_t {
  None = 0,
  Left = 1,
  Right = 2,
  Up = 3,
  Down = 4,
  Home = 5,
  End = 6,
  Other = 7,  // every other non-character key, Page Up and Page Down included
};

// One key press as the key handler sees it. A character key has a non-zero
// `character` and `namedKey` None; a named key has `character` 0.
struct Key {
  static constexpr char kBackspace = 8;
  static constexpr char kTab = 9;
  static constexpr char kEnter = 13;
  static constexpr char kEscape = 27;
  static constexpr char kSpace = 32;
  static constexpr char kDelete = 127;

  char character = 0;
  NamedKey namedKey = NamedKey::None;
  bool shift = false;
  bool ctrl = false;
  bool numpad = false;

  static constexpr Key fromCharacter(char c, bool shift = false, bool ctrl = false,
                                     bool numpad = false) {
    return Key{c, NamedKey::None, shift, ctrl, numpad};
  }
  static constexpr Key fromNamedKey(NamedKey k, bool shift = false, bool ctrl = false) {
    return Key{0, k, shift, ctrl, false};
  }

  bool operator==(const Key&) const = default;
};

// How a presenter classifies a key press. The key handler needs only the
// Key, but the candidate window pages with Page Up and Page Down, which the
// Key calls Other. Left to End have the numbers of their NamedKey.
enum class KeyType : int {
  Character = 0,
  Left = 1,
  Right = 2,
  Up = 3,
  Down = 4,
  Home = 5,
  End = 6,
  PageUp = 7,
  PageDown = 8,
  Other = 9,
};

// A key press with its presenter type.
struct KeyStroke {
  KeyType type = KeyType::Other;
  Key key;

  // The key handler's Key for a presenter's key: Left to End keep their
  // names, Page Up, Page Down and Other become NamedKey::Other, and only a
  // character key can come from the numeric keypad.
  static constexpr KeyStroke of(KeyType type, char character, bool shift, bool ctrl, bool numpad) {
    Key key;
    key.character = character;
    if (type >= KeyType::Left && type <= KeyType::End) {
      key.namedKey = static_cast<NamedKey>(type);
    } else if (type != KeyType::Character) {
      key.namedKey = NamedKey::Other;
    }
    key.shift = shift;
    key.ctrl = ctrl;
    key.numpad = type == KeyType::Character && numpad;
    return KeyStroke{type, key};
  }
  // The type a Key stands for when nothing tells more; NamedKey::Other
  // gives KeyType::Other.
  static constexpr KeyStroke of(const Key& key) {
    if (key.namedKey == NamedKey::None) return KeyStroke{KeyType::Character, key};
    if (key.namedKey == NamedKey::Other) return KeyStroke{KeyType::Other, key};
    return KeyStroke{static_cast<KeyType>(key.namedKey), key};
  }

  bool operator==(const KeyStroke&) const = default;
};

}  // namespace Kestova
