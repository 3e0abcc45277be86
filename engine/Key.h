#ifndef KESTOVA_ENGINE_KEY_H_
#define KESTOVA_ENGINE_KEY_H_

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

}  // namespace Kestova

#endif  // KESTOVA_ENGINE_KEY_H_
