// Keysym and modifier translation, compiled from the module's own source.
#include "module/KeyTranslation.h"

#include <X11/keysym.h>
#include <gtest/gtest.h>

namespace Kestova {
namespace {

struct Case {
  uint32_t keysym;
  unsigned mask;
  TranslatedKey expected;
};

TEST(KeyTranslationTest, MapsEveryKeyOfTheTable) {
  const Case cases[] = {
      {XK_Home, 0, {kHomeKey, 0, false}},
      {XK_KP_Home, 0, {kHomeKey, 0, false}},
      {XK_Left, 0, {kLeftKey, 0, false}},
      {XK_KP_Left, 0, {kLeftKey, 0, false}},
      {XK_Up, 0, {kUpKey, 0, false}},
      {XK_KP_Up, 0, {kUpKey, 0, false}},
      {XK_Right, 0, {kRightKey, 0, false}},
      {XK_KP_Right, 0, {kRightKey, 0, false}},
      {XK_Down, 0, {kDownKey, 0, false}},
      {XK_KP_Down, 0, {kDownKey, 0, false}},
      {XK_Prior, 0, {kPageUpKey, 0, false}},
      {XK_KP_Prior, 0, {kPageUpKey, 0, false}},
      {XK_Next, 0, {kPageDownKey, 0, false}},
      {XK_KP_Next, 0, {kPageDownKey, 0, false}},
      {XK_End, 0, {kEndKey, 0, false}},
      {XK_KP_End, 0, {kEndKey, 0, false}},
      {XK_space, 0, {kCharacterKey, ' ', false}},
      {XK_KP_Space, 0, {kCharacterKey, ' ', false}},
      {XK_Tab, 0, {kCharacterKey, 9, false}},
      {XK_ISO_Left_Tab, 1, {kCharacterKey, 9, false}},
      {XK_BackSpace, 0, {kCharacterKey, 8, false}},
      {XK_Return, 0, {kCharacterKey, 13, false}},
      {XK_Return, 4, {kCharacterKey, 13, false}},
      {XK_Escape, 0, {kCharacterKey, 27, false}},
      {XK_Delete, 0, {kCharacterKey, 127, false}},
      {XK_KP_Enter, 0, {kCharacterKey, 13, true}},
      {XK_KP_Delete, 0, {kCharacterKey, 127, true}},
      {XK_KP_Multiply, 0, {kCharacterKey, '*', true}},
      {XK_KP_Add, 0, {kCharacterKey, '+', true}},
      {XK_KP_Subtract, 0, {kCharacterKey, '-', true}},
      {XK_KP_Decimal, 0, {kCharacterKey, '.', true}},
      {XK_KP_Divide, 0, {kCharacterKey, '/', true}},
      {XK_KP_0, 0, {kCharacterKey, '0', true}},
      {XK_KP_9, 0, {kCharacterKey, '9', true}},
      {'!', 0, {kCharacterKey, '!', false}},
      {'a', 0, {kCharacterKey, 'a', false}},
      {'A', 1, {kCharacterKey, 'A', false}},
      {'~', 0, {kCharacterKey, '~', false}},
      // With Control only a few punctuation keys stay characters.
      {',', 4, {kCharacterKey, ',', false}},
      {'.', 4, {kCharacterKey, '.', false}},
      {'/', 4, {kCharacterKey, '/', false}},
      {';', 4, {kCharacterKey, ';', false}},
      {'\'', 4, {kCharacterKey, '\'', false}},
      {'\\', 4, {kCharacterKey, '\\', false}},
      {'1', 4, {kCharacterKey, '!', false}},
      {'2', 4, {kOtherKey, 0, false}},
      {'a', 4, {kOtherKey, 0, false}},
      // Everything else.
      {XK_F1, 0, {kOtherKey, 0, false}},
      {XK_Shift_L, 0, {kOtherKey, 0, false}},
      {XK_Control_L, 0, {kOtherKey, 0, false}},
      {XK_Insert, 0, {kOtherKey, 0, false}},
      {0x20ac, 0, {kOtherKey, 0, false}},  // EuroSign
      {0x7f, 0, {kOtherKey, 0, false}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(translateKeysym(c.keysym, c.mask), c.expected)
        << std::hex << "keysym 0x" << c.keysym << " mask " << c.mask;
  }
}

}  // namespace
}  // namespace Kestova
