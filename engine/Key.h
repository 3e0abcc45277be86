// The key value the key handler works on, and the presenter's wider view of
// a key press (KeyType), which also tells Page Up and Page Down apart. Plain
// values: the module makes them from X11 keys (KeyTranslation), tests and
// tools from the key notation.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace Kestova {

// Keys that carry no character.
enum class NamedKey : std::uint32_t {
  None,
  Left,
  Right,
  Up,
  Down,
  Home,
  End,
  Other,  // every other non-character key, Page Up and Page Down included
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
// Key calls Other.
enum class KeyType : int {
  Character,
  Left,
  Right,
  Up,
  Down,
  Home,
  End,
  PageUp,
  PageDown,
  Other,
};

// The key handler's named key for a presenter's key type: Left to End keep
// their names, Page Up, Page Down and Other are Other, and a character is
// no named key.
constexpr NamedKey namedKeyOf(KeyType type) {
  switch (type) {
    case KeyType::Character:
      return NamedKey::None;
    case KeyType::Left:
      return NamedKey::Left;
    case KeyType::Right:
      return NamedKey::Right;
    case KeyType::Up:
      return NamedKey::Up;
    case KeyType::Down:
      return NamedKey::Down;
    case KeyType::Home:
      return NamedKey::Home;
    case KeyType::End:
      return NamedKey::End;
    case KeyType::PageUp:
    case KeyType::PageDown:
    case KeyType::Other:
      return NamedKey::Other;
  }
  return NamedKey::Other;
}

// The key type a named key stands for when nothing tells more: no named key
// is a character, Other is Other.
constexpr KeyType keyTypeOf(NamedKey key) {
  switch (key) {
    case NamedKey::None:
      return KeyType::Character;
    case NamedKey::Left:
      return KeyType::Left;
    case NamedKey::Right:
      return KeyType::Right;
    case NamedKey::Up:
      return KeyType::Up;
    case NamedKey::Down:
      return KeyType::Down;
    case NamedKey::Home:
      return KeyType::Home;
    case NamedKey::End:
      return KeyType::End;
    case NamedKey::Other:
      return KeyType::Other;
  }
  return KeyType::Other;
}

// Every named key comes back from its key type.
static_assert([] {
  for (NamedKey key : {NamedKey::None, NamedKey::Left, NamedKey::Right, NamedKey::Up,
                       NamedKey::Down, NamedKey::Home, NamedKey::End, NamedKey::Other}) {
    if (namedKeyOf(keyTypeOf(key)) != key) return false;
  }
  return true;
}());

// A key press with its presenter type.
struct KeyStroke {
  KeyType type = KeyType::Other;
  Key key;

  // The key handler's Key for a presenter's key (namedKeyOf); only a
  // character key can come from the numeric keypad.
  static constexpr KeyStroke of(KeyType type, char character, bool shift, bool ctrl, bool numpad) {
    Key key;
    key.character = character;
    key.namedKey = namedKeyOf(type);
    key.shift = shift;
    key.ctrl = ctrl;
    key.numpad = type == KeyType::Character && numpad;
    return KeyStroke{type, key};
  }
  // The type a Key stands for when nothing tells more (keyTypeOf).
  static constexpr KeyStroke of(const Key& key) { return KeyStroke{keyTypeOf(key.namedKey), key}; }

  bool operator==(const KeyStroke&) const = default;
};

}  // namespace Kestova
