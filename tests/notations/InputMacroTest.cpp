#include <gtest/gtest.h>
#include <unicode/calendar.h>
#include <unicode/timezone.h>

#include <memory>
#include <string>
#include <vector>

#include "notations/InputMacro.h"
#include "notations/InputMacroTable.h"

namespace Kestova {
namespace {

const std::vector<std::string> kAllNames = {
    "MACRO@DATE_TODAY_SHORT",
    "MACRO@DATE_TODAY_MEDIUM",
    "MACRO@DATE_TODAY_MEDIUM_ROC",
    "MACRO@DATE_TODAY_MEDIUM_CHINESE",
    "MACRO@DATE_TODAY_MEDIUM_JAPANESE",
    "MACRO@DATE_YESTERDAY_SHORT",
    "MACRO@DATE_YESTERDAY_MEDIUM",
    "MACRO@DATE_YESTERDAY_MEDIUM_ROC",
    "MACRO@DATE_YESTERDAY_MEDIUM_CHINESE",
    "MACRO@DATE_YESTERDAY_MEDIUM_JAPANESE",
    "MACRO@DATE_TOMORROW_SHORT",
    "MACRO@DATE_TOMORROW_MEDIUM",
    "MACRO@DATE_TOMORROW_MEDIUM_ROC",
    "MACRO@DATE_TOMORROW_MEDIUM_CHINESE",
    "MACRO@DATE_TOMORROW_MEDIUM_JAPANESE",
    "MACRO@THIS_YEAR_PLAIN",
    "MACRO@THIS_YEAR_PLAIN_WITH_ERA",
    "MACRO@THIS_YEAR_ROC",
    "MACRO@THIS_YEAR_JAPANESE",
    "MACRO@LAST_YEAR_PLAIN",
    "MACRO@LAST_YEAR_PLAIN_WITH_ERA",
    "MACRO@LAST_YEAR_ROC",
    "MACRO@LAST_YEAR_JAPANESE",
    "MACRO@NEXT_YEAR_PLAIN",
    "MACRO@NEXT_YEAR_PLAIN_WITH_ERA",
    "MACRO@NEXT_YEAR_ROC",
    "MACRO@NEXT_YEAR_JAPANESE",
    "MACRO@DATE_TODAY_WEEKDAY_SHORT",
    "MACRO@DATE_TODAY_WEEKDAY",
    "MACRO@DATE_TODAY2_WEEKDAY",
    "MACRO@DATE_TODAY_WEEKDAY_JAPANESE",
    "MACRO@DATE_YESTERDAY_WEEKDAY_SHORT",
    "MACRO@DATE_YESTERDAY_WEEKDAY",
    "MACRO@DATE_YESTERDAY2_WEEKDAY",
    "MACRO@DATE_YESTERDAY_WEEKDAY_JAPANESE",
    "MACRO@DATE_TOMORROW_WEEKDAY_SHORT",
    "MACRO@DATE_TOMORROW_WEEKDAY",
    "MACRO@DATE_TOMORROW2_WEEKDAY",
    "MACRO@DATE_TOMORROW_WEEKDAY_JAPANESE",
    "MACRO@TIME_NOW_SHORT",
    "MACRO@TIME_NOW_MEDIUM",
    "MACRO@TIMEZONE_STANDARD",
    "MACRO@TIMEZONE_GENERIC_SHORT",
    "MACRO@THIS_YEAR_GANZHI",
    "MACRO@LAST_YEAR_GANZHI",
    "MACRO@NEXT_YEAR_GANZHI",
    "MACRO@THIS_YEAR_CHINESE_ZODIAC",
    "MACRO@LAST_YEAR_CHINESE_ZODIAC",
    "MACRO@NEXT_YEAR_CHINESE_ZODIAC",
};

// Fixes the macros' clock and the default time zone (Asia/Taipei, no
// daylight saving) for one test, restoring both afterwards.
class FixedMoment {
 public:
  // Local Taipei time of the given day at the given hour.
  FixedMoment(int year, int month, int day, int hour = 12) {
    previousZone_.reset(icu::TimeZone::createDefault());
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("Asia/Taipei"));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Calendar> calendar(icu::Calendar::createInstance(
        icu::TimeZone::createTimeZone("Asia/Taipei"), icu::Locale::getRoot(), status));
    calendar->clear();
    calendar->set(year, month - 1, day, hour, 0, 0);
    double millis = calendar->getTime(status);
    EXPECT_TRUE(U_SUCCESS(status));
    previousClock_ = setInputMacroClock([millis] { return millis; });
  }
  ~FixedMoment() {
    setInputMacroClock(std::move(previousClock_));
    icu::TimeZone::adoptDefault(previousZone_.release());
  }

 private:
  InputMacroClock previousClock_;
  std::unique_ptr<icu::TimeZone> previousZone_;
};

bool endsWith(const std::string& text, const std::string& tail) {
  return text.ends_with(tail);
}

TEST(InputMacroTableTest, EveryNameExpandsToText) {
  InputMacroTable table;
  EXPECT_EQ(table.size(), kAllNames.size());
  EXPECT_EQ(kAllNames.size(), 49u);
  for (const std::string& name : kAllNames) {
    std::string text = table.expand(name);
    EXPECT_FALSE(text.empty()) << name;
    EXPECT_FALSE(text.starts_with("MACRO@")) << name << " -> " << text;
  }
}

TEST(InputMacroTableTest, OnlyExactNamesExpand) {
  InputMacroTable table;
  for (std::string text :
       {"macro@date_today_short", "MACRO@DATE_TODAY_SHORT ", " MACRO@DATE_TODAY_SHORT",
        "MACRO@DATE_TODAY", "MACRO@UNKNOWN", "今天", "", "MACRO@"}) {
    EXPECT_EQ(table.expand(text), text) << "[" << text << "]";
  }
}

TEST(InputMacroTableTest, FixedDayTexts) {
  FixedMoment moment(2024, 3, 15);  // a Friday
  InputMacroTable table;
  EXPECT_EQ(table.expand("MACRO@DATE_TODAY_SHORT"), "2024/3/15");
  EXPECT_EQ(table.expand("MACRO@DATE_TODAY_MEDIUM"), "2024年3月15日");
  EXPECT_EQ(table.expand("MACRO@DATE_TODAY_MEDIUM_ROC"), "民國113年3月15日");
  EXPECT_EQ(table.expand("MACRO@THIS_YEAR_PLAIN"), "2024年");
  EXPECT_EQ(table.expand("MACRO@LAST_YEAR_PLAIN"), "2023年");
  EXPECT_EQ(table.expand("MACRO@NEXT_YEAR_PLAIN"), "2025年");
  EXPECT_EQ(table.expand("MACRO@THIS_YEAR_PLAIN_WITH_ERA"), "西元2024年");
  EXPECT_EQ(table.expand("MACRO@THIS_YEAR_ROC"), "民國113年");
  EXPECT_EQ(table.expand("MACRO@NEXT_YEAR_ROC"), "民國114年");
  EXPECT_EQ(table.expand("MACRO@THIS_YEAR_JAPANESE"), "令和6年");
  EXPECT_EQ(table.expand("MACRO@DATE_TODAY_WEEKDAY"), "星期五");
  EXPECT_EQ(table.expand("MACRO@DATE_TODAY2_WEEKDAY"), "禮拜五");
  EXPECT_EQ(table.expand("MACRO@DATE_YESTERDAY_WEEKDAY"), "星期四");
  EXPECT_EQ(table.expand("MACRO@DATE_TOMORROW2_WEEKDAY"), "禮拜六");
  EXPECT_EQ(table.expand("MACRO@DATE_TODAY_WEEKDAY_SHORT"), "週五");
  EXPECT_EQ(table.expand("MACRO@DATE_TODAY_WEEKDAY_JAPANESE"), "金曜日");
  EXPECT_EQ(table.expand("MACRO@THIS_YEAR_GANZHI"), "甲辰年");
  EXPECT_EQ(table.expand("MACRO@LAST_YEAR_GANZHI"), "癸卯年");
  EXPECT_EQ(table.expand("MACRO@NEXT_YEAR_GANZHI"), "乙巳年");
  EXPECT_EQ(table.expand("MACRO@THIS_YEAR_CHINESE_ZODIAC"), "木龍年");
  EXPECT_EQ(table.expand("MACRO@NEXT_YEAR_CHINESE_ZODIAC"), "木蛇年");
  EXPECT_EQ(table.expand("MACRO@TIMEZONE_STANDARD"), "台北標準時間");
  EXPECT_NE(table.expand("MACRO@TIME_NOW_MEDIUM").find("12:00:00"), std::string::npos);
  EXPECT_NE(table.expand("MACRO@TIME_NOW_SHORT").find("12:00"), std::string::npos);
  EXPECT_EQ(table.expand("MACRO@TIME_NOW_SHORT").find("12:00:00"), std::string::npos);
}

TEST(InputMacroTableTest, YearsEndInNianAndDaysDoNot) {
  FixedMoment moment(2024, 3, 15);
  InputMacroTable table;
  for (const std::string& name : kAllNames) {
    std::string text = table.expand(name);
    bool yearMacro = name.find("_YEAR_") != std::string::npos;
    bool endsInNian = endsWith(text, "年");
    EXPECT_EQ(endsInNian, yearMacro) << name << " -> " << text;
  }
}

TEST(InputMacroTableTest, SpokenWeekdayReplacesWrittenWord) {
  FixedMoment moment(2025, 6, 1);
  InputMacroTable table;
  for (std::string day : {"TODAY", "YESTERDAY", "TOMORROW"}) {
    std::string written = table.expand("MACRO@DATE_" + day + "_WEEKDAY");
    std::string spoken = table.expand("MACRO@DATE_" + day + "2_WEEKDAY");
    ASSERT_TRUE(written.starts_with("星期")) << written;
    EXPECT_EQ(spoken, "禮拜" + written.substr(std::string("星期").size()));
  }
}

struct DayShift {
  int year, month, day;
  const char* yesterday;
  const char* today;
  const char* tomorrow;
};

class DayShiftTest : public ::testing::TestWithParam<DayShift> {};

TEST_P(DayShiftTest, YesterdayAndTomorrowCrossMonthAndYearEnds) {
  const DayShift& c = GetParam();
  // Just after midnight and just before it, the same calendar day.
  for (int hour : {0, 23}) {
    FixedMoment moment(c.year, c.month, c.day, hour);
    InputMacroTable table;
    EXPECT_EQ(table.expand("MACRO@DATE_YESTERDAY_SHORT"), c.yesterday);
    EXPECT_EQ(table.expand("MACRO@DATE_TODAY_SHORT"), c.today);
    EXPECT_EQ(table.expand("MACRO@DATE_TOMORROW_SHORT"), c.tomorrow);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, DayShiftTest,
    ::testing::Values(DayShift{2024, 1, 1, "2023/12/31", "2024/1/1", "2024/1/2"},
                      DayShift{2023, 12, 31, "2023/12/30", "2023/12/31", "2024/1/1"},
                      DayShift{2024, 3, 1, "2024/2/29", "2024/3/1", "2024/3/2"},
                      DayShift{2023, 2, 28, "2023/2/27", "2023/2/28", "2023/3/1"},
                      DayShift{2024, 4, 30, "2024/4/29", "2024/4/30", "2024/5/1"}));

TEST(InputMacroTableTest, MediumRocYesterdayOnNewYearsDay) {
  FixedMoment moment(2024, 1, 1);
  InputMacroTable table;
  EXPECT_EQ(table.expand("MACRO@DATE_YESTERDAY_MEDIUM_ROC"), "民國112年12月31日");
  EXPECT_EQ(table.expand("MACRO@DATE_YESTERDAY_MEDIUM"), "2023年12月31日");
}

struct YearName {
  int year;
  const char* ganZhi;
  const char* zodiac;
};

class YearNameTest : public ::testing::TestWithParam<YearName> {};

TEST_P(YearNameTest, StemBranchAndZodiac) {
  EXPECT_EQ(ganZhiYearName(GetParam().year), GetParam().ganZhi);
  EXPECT_EQ(zodiacYearName(GetParam().year), GetParam().zodiac);
}

INSTANTIATE_TEST_SUITE_P(
    Years, YearNameTest,
    ::testing::Values(YearName{1984, "甲子年", "木鼠年"}, YearName{2023, "癸卯年", "水兔年"},
                      YearName{2024, "甲辰年", "木龍年"}, YearName{2025, "乙巳年", "木蛇年"},
                      YearName{2043, "癸亥年", "水豬年"}, YearName{3, "癸亥年", "水豬年"},
                      YearName{1, "辛酉年", "金雞年"}));

}  // namespace
}  // namespace Kestova
