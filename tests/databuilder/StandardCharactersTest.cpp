#include "databuilder/StandardCharacters.h"

#include <gtest/gtest.h>

namespace Kestova::DataBuilder {
namespace {

TEST(StandardCharacters, BigFiveAndCnsPlanesOneAndTwoFromIcu) {
  const StandardCharacterSet sets = StandardCharacterSet::fromConverters();
  ASSERT_FALSE(sets.empty());
  struct Case {
    const char* text;
    bool standard;
  };
  const Case cases[] = {
      {"好", true},    {"台灣", true}, {"裏", true},         // Big5's ETEN extension only
      {"亠", true},                                          // CNS 11643 plane 1 only
      {"彞", true},                                          // CNS 11643 plane 2 only
      {"堃", false},                                         // a name character of later planes
      {"啓", false},   {"着", false},  {"𡥆", false},        // beyond the Basic Multilingual Plane
      {"好𡥆", false}, {"", false},    {"\xE5\xA5", false},  // a truncated character
  };
  for (const Case& c : cases) EXPECT_EQ(sets.containsAll(c.text), c.standard) << c.text;
}

TEST(StandardCharacters, AFixtureSetHoldsExactlyItsCharacters) {
  const StandardCharacterSet set = StandardCharacterSet::of("好郝𡥆");
  EXPECT_TRUE(set.containsAll("好郝好"));
  EXPECT_TRUE(set.containsAll("𡥆"));
  EXPECT_FALSE(set.containsAll("好的"));
  EXPECT_FALSE(set.containsAll("如"));  // U+5982, between 好 and 郝
  EXPECT_TRUE(StandardCharacterSet::of("").empty());
}

}  // namespace
}  // namespace Kestova::DataBuilder
