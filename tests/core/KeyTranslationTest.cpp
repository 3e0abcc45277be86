// Keysym and modifier translation.
#include "core/KeyTranslation.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace Kestova {
namespace {

struct Case {
  uint32_t keysym;
  unsigned mask;
  KeyStroke expected;
};

TEST(KeyTranslationTest, MapsEveryKeyOfTheTable) {
  const Case cases[] = {
      {XK_Home, 0, KeyStroke::of(KeyType::Home, 0, false, false, false)},
      {XK_KP_Home, 0, KeyStroke::of(KeyType::Home, 0, false, false, false)},
      {XK_Left, 0, KeyStroke::of(KeyType::Left, 0, false, false, false)},
      {XK_KP_Left, 0, KeyStroke::of(KeyType::Left, 0, false, false, false)},
      {XK_Up, 0, KeyStroke::of(KeyType::Up, 0, false, false, false)},
      {XK_KP_Up, 0, KeyStroke::of(KeyType::Up, 0, false, false, false)},
      {XK_Right, 0, KeyStroke::of(KeyType::Right, 0, false, false, false)},
      {XK_KP_Right, 0, KeyStroke::of(KeyType::Right, 0, false, false, false)},
      {XK_Down, 0, KeyStroke::of(KeyType::Down, 0, false, false, false)},
      {XK_KP_Down, 0, KeyStroke::of(KeyType::Down, 0, false, false, false)},
      {XK_Prior, 0, KeyStroke::of(KeyType::PageUp, 0, false, false, false)},
      {XK_KP_Prior, 0, KeyStroke::of(KeyType::PageUp, 0, false, false, false)},
      {XK_Next, 0, KeyStroke::of(KeyType::PageDown, 0, false, false, false)},
      {XK_KP_Next, 0, KeyStroke::of(KeyType::PageDown, 0, false, false, false)},
      {XK_End, 0, KeyStroke::of(KeyType::End, 0, false, false, false)},
      {XK_KP_End, 0, KeyStroke::of(KeyType::End, 0, false, false, false)},
      {XK_space, 0, KeyStroke::of(KeyType::Character, ' ', false, false, false)},
      {XK_KP_Space, 0, KeyStroke::of(KeyType::Character, ' ', false, false, false)},
      {XK_Tab, 0, KeyStroke::of(KeyType::Character, 9, false, false, false)},
      {XK_ISO_Left_Tab, 1, KeyStroke::of(KeyType::Character, 9, true, false, false)},
      // Shift reaches named keys and characters outside "!" to "~" only.
      {XK_Left, 1, KeyStroke::of(KeyType::Left, 0, true, false, false)},
      {XK_space, 1, KeyStroke::of(KeyType::Character, ' ', true, false, false)},
      {XK_BackSpace, 0, KeyStroke::of(KeyType::Character, 8, false, false, false)},
      {XK_Return, 0, KeyStroke::of(KeyType::Character, 13, false, false, false)},
      {XK_Return, 4, KeyStroke::of(KeyType::Character, 13, false, true, false)},
      {XK_Escape, 0, KeyStroke::of(KeyType::Character, 27, false, false, false)},
      {XK_Delete, 0, KeyStroke::of(KeyType::Character, 127, false, false, false)},
      {XK_KP_Enter, 0, KeyStroke::of(KeyType::Character, 13, false, false, true)},
      {XK_KP_Delete, 0, KeyStroke::of(KeyType::Character, 127, false, false, true)},
      {XK_KP_Multiply, 0, KeyStroke::of(KeyType::Character, '*', false, false, true)},
      {XK_KP_Add, 0, KeyStroke::of(KeyType::Character, '+', false, false, true)},
      {XK_KP_Subtract, 0, KeyStroke::of(KeyType::Character, '-', false, false, true)},
      {XK_KP_Decimal, 0, KeyStroke::of(KeyType::Character, '.', false, false, true)},
      {XK_KP_Divide, 0, KeyStroke::of(KeyType::Character, '/', false, false, true)},
      {XK_KP_0, 0, KeyStroke::of(KeyType::Character, '0', false, false, true)},
      {XK_KP_9, 0, KeyStroke::of(KeyType::Character, '9', false, false, true)},
      {'!', 0, KeyStroke::of(KeyType::Character, '!', false, false, false)},
      {'a', 0, KeyStroke::of(KeyType::Character, 'a', false, false, false)},
      {'A', 1, KeyStroke::of(KeyType::Character, 'A', false, false, false)},
      {'~', 0, KeyStroke::of(KeyType::Character, '~', false, false, false)},
      // With Control only a few punctuation keys stay characters.
      {',', 4, KeyStroke::of(KeyType::Character, ',', false, true, false)},
      {'.', 4, KeyStroke::of(KeyType::Character, '.', false, true, false)},
      {'/', 4, KeyStroke::of(KeyType::Character, '/', false, true, false)},
      {';', 4, KeyStroke::of(KeyType::Character, ';', false, true, false)},
      {'\'', 4, KeyStroke::of(KeyType::Character, '\'', false, true, false)},
      {'\\', 4, KeyStroke::of(KeyType::Character, '\\', false, true, false)},
      {'1', 4, KeyStroke::of(KeyType::Character, '!', false, true, false)},
      {'2', 4, KeyStroke::of(KeyType::Other, 0, false, true, false)},
      {'a', 4, KeyStroke::of(KeyType::Other, 0, false, true, false)},
      // Everything else.
      {XK_F1, 0, KeyStroke::of(KeyType::Other, 0, false, false, false)},
      {XK_Shift_L, 0, KeyStroke::of(KeyType::Other, 0, false, false, false)},
      {XK_Control_L, 0, KeyStroke::of(KeyType::Other, 0, false, false, false)},
      {XK_Insert, 0, KeyStroke::of(KeyType::Other, 0, false, false, false)},
      {0x20ac, 0, KeyStroke::of(KeyType::Other, 0, false, false, false)},  // EuroSign
      {0x7f, 0, KeyStroke::of(KeyType::Other, 0, false, false, false)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(translateKeysym(c.keysym, c.mask), c.expected)
        << std::hex << "keysym 0x" << c.keysym << " mask " << c.mask;
  }
}

}  // namespace
}  // namespace Kestova
