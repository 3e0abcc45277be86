#include "module/KeyTranslation.h"

#include <X11/keysym.h>

#include <cstring>

namespace Kestova {

TranslatedKey translateKeysym(uint32_t keysym, unsigned mask) {
  switch (keysym) {
    case XK_Home:
    case XK_KP_Home:
      return {kHomeKey, 0, false};
    case XK_Left:
    case XK_KP_Left:
      return {kLeftKey, 0, false};
    case XK_Up:
    case XK_KP_Up:
      return {kUpKey, 0, false};
    case XK_Right:
    case XK_KP_Right:
      return {kRightKey, 0, false};
    case XK_Down:
    case XK_KP_Down:
      return {kDownKey, 0, false};
    case XK_Prior:
    case XK_KP_Prior:
      return {kPageUpKey, 0, false};
    case XK_Next:
    case XK_KP_Next:
      return {kPageDownKey, 0, false};
    case XK_End:
    case XK_KP_End:
      return {kEndKey, 0, false};
    case XK_space:
    case XK_KP_Space:
      return {kCharacterKey, ' ', false};
    case XK_Tab:
    case XK_ISO_Left_Tab:
      return {kCharacterKey, '\t', false};
    case XK_BackSpace:
      return {kCharacterKey, 8, false};
    case XK_Return:
      return {kCharacterKey, 13, false};
    case XK_Escape:
      return {kCharacterKey, 27, false};
    case XK_Delete:
      return {kCharacterKey, 127, false};
    case XK_KP_Enter:
      return {kCharacterKey, 13, true};
    case XK_KP_Delete:
      return {kCharacterKey, 127, true};
    case XK_KP_Multiply:
      return {kCharacterKey, '*', true};
    case XK_KP_Add:
      return {kCharacterKey, '+', true};
    case XK_KP_Subtract:
      return {kCharacterKey, '-', true};
    case XK_KP_Decimal:
      return {kCharacterKey, '.', true};
    case XK_KP_Divide:
      return {kCharacterKey, '/', true};
    default:
      break;
  }
  if (keysym >= XK_KP_0 && keysym <= XK_KP_9) {
    return {kCharacterKey, static_cast<char>('0' + (keysym - XK_KP_0)), true};
  }
  if (keysym >= 0x21 && keysym <= 0x7e) {
    char c = static_cast<char>(keysym);
    if (!(mask & kControlMask)) return {kCharacterKey, c, false};
    if (std::strchr(",./;'\\1", c)) return {kCharacterKey, c == '1' ? '!' : c, false};
  }
  return {kOtherKey, 0, false};
}

}  // namespace Kestova
