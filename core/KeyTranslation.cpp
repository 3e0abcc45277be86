#include "core/KeyTranslation.h"

#include <X11/keysym.h>

#include <cstring>

namespace Kestova {

namespace {

struct Translated {
  KeyType type = KeyType::Other;
  char character = 0;
  bool numpad = false;
};

Translated translate(uint32_t keysym, unsigned mask) {
  switch (keysym) {
    case XK_Home:
    case XK_KP_Home:
      return {KeyType::Home, 0, false};
    case XK_Left:
    case XK_KP_Left:
      return {KeyType::Left, 0, false};
    case XK_Up:
    case XK_KP_Up:
      return {KeyType::Up, 0, false};
    case XK_Right:
    case XK_KP_Right:
      return {KeyType::Right, 0, false};
    case XK_Down:
    case XK_KP_Down:
      return {KeyType::Down, 0, false};
    case XK_Prior:
    case XK_KP_Prior:
      return {KeyType::PageUp, 0, false};
    case XK_Next:
    case XK_KP_Next:
      return {KeyType::PageDown, 0, false};
    case XK_End:
    case XK_KP_End:
      return {KeyType::End, 0, false};
    case XK_space:
    case XK_KP_Space:
      return {KeyType::Character, Key::kSpace, false};
    case XK_Tab:
    case XK_ISO_Left_Tab:
      return {KeyType::Character, Key::kTab, false};
    case XK_BackSpace:
      return {KeyType::Character, Key::kBackspace, false};
    case XK_Return:
      return {KeyType::Character, Key::kEnter, false};
    case XK_Escape:
      return {KeyType::Character, Key::kEscape, false};
    case XK_Delete:
      return {KeyType::Character, Key::kDelete, false};
    case XK_KP_Enter:
      return {KeyType::Character, Key::kEnter, true};
    case XK_KP_Delete:
      return {KeyType::Character, Key::kDelete, true};
    case XK_KP_Multiply:
      return {KeyType::Character, '*', true};
    case XK_KP_Add:
      return {KeyType::Character, '+', true};
    case XK_KP_Subtract:
      return {KeyType::Character, '-', true};
    case XK_KP_Decimal:
      return {KeyType::Character, '.', true};
    case XK_KP_Divide:
      return {KeyType::Character, '/', true};
    default:
      break;
  }
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) {
    return {KeyType::Character, static_cast<char>('0' + (keysym - XK_KP_0)), true};
  }
  if (keysym >= 0x21 && keysym <= 0x7e) {
    char c = static_cast<char>(keysym);
    if (!(mask & kControlMask)) return {KeyType::Character, c, false};
    if (std::strchr(",./;'\\1", c)) return {KeyType::Character, c == '1' ? '!' : c, false};
  }
  return {KeyType::Other, 0, false};
}

}  // namespace

KeyStroke translateKeysym(uint32_t keysym, unsigned mask) {
  const Translated translated = translate(keysym, mask);
  const bool named = translated.type != KeyType::Character;
  const bool printable = translated.character >= 33 && translated.character <= 126;
  const bool shift = (mask & kShiftMask) && (named || !printable);
  const bool ctrl = (mask & kControlMask) != 0;
  return KeyStroke::of(translated.type, translated.character, shift, ctrl, translated.numpad);
}

}  // namespace Kestova
