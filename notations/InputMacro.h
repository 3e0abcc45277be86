// The input macros themselves: named placeholders (dates, years, weekdays,
// the time, the time zone, year names) whose text ICU works out anew each
// time it is asked for, and the clock they all read. Each macro owns its
// ICU pattern; the clock is one process-wide function that tests replace.
// Only InputMacroTable (which owns the macros) and tests include this
// header; everything else goes through InputMacroTable.h, so that ICU stays
// inside notations.
#pragma once

#include <unicode/datefmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include <functional>
#include <string>
#include <string_view>

namespace Kestova {

// The clock every macro reads (ICU milliseconds since the epoch); tests
// replace it to fix the time.
using InputMacroClock = std::function<double()>;
// Installs clock (an empty one restores the system clock) and returns the
// previous one.
InputMacroClock setInputMacroClock(InputMacroClock clock);

// A named placeholder whose text is worked out anew whenever it is asked
// for: dates, years, weekdays, the time, the time zone and year names.
// Macros whose ICU objects cannot be made answer their own name, so the
// composite model treats them like an unknown macro and hides them.
class InputMacro {
 public:
  // ICU date-format styles and time-zone display types.
  static constexpr int kMedium = icu::DateFormat::kMedium;
  static constexpr int kShort = icu::DateFormat::kShort;
  static constexpr int kNone = icu::DateFormat::kNone;
  static constexpr int kShortGeneric = icu::TimeZone::SHORT_GENERIC;
  static constexpr int kLongGeneric = icu::TimeZone::LONG_GENERIC;

  virtual ~InputMacro() = default;
  virtual std::string name() const = 0;
  virtual std::string replacement() const = 0;
};

// The date offset by dayOffset days, in calendar calendarName, formatted
// with an ICU date style.
class InputMacroDate : public InputMacro {
 public:
  InputMacroDate(std::string name, std::string calendarName, int dayOffset, int dateStyle)
      : name_(std::move(name)),
        calendarName_(std::move(calendarName)),
        dayOffset_(dayOffset),
        dateStyle_(dateStyle) {}
  std::string name() const override { return name_; }
  std::string replacement() const override;

 private:
  std::string name_;
  std::string calendarName_;
  int dayOffset_;
  int dateStyle_;
};

// The year offset by yearOffset, formatted with an ICU pattern, then "年".
class InputMacroYear : public InputMacro {
 public:
  InputMacroYear(std::string name, std::string calendarName, int yearOffset,
                 std::string_view pattern)
      : name_(std::move(name)),
        calendarName_(std::move(calendarName)),
        yearOffset_(yearOffset),
        pattern_(icu::UnicodeString::fromUTF8(pattern)) {}
  std::string name() const override { return name_; }
  std::string replacement() const override;

 private:
  std::string name_;
  std::string calendarName_;
  int yearOffset_;
  icu::UnicodeString pattern_;
};

// The weekday of the date offset by dayOffset days, formatted with an ICU
// pattern.
class InputMacroDayOfTheWeek : public InputMacro {
 public:
  InputMacroDayOfTheWeek(std::string name, std::string calendarName, int dayOffset,
                         std::string_view pattern)
      : name_(std::move(name)),
        calendarName_(std::move(calendarName)),
        dayOffset_(dayOffset),
        pattern_(icu::UnicodeString::fromUTF8(pattern)) {}
  std::string name() const override { return name_; }
  std::string replacement() const override;

 protected:
  // Spoken weekdays say 禮拜 where the written form says 星期: replaces the
  // first 星期 of text, and leaves text without one as it is.
  static std::string withSpokenWeekWord(std::string text);

 private:
  std::string name_;
  std::string calendarName_;
  int dayOffset_;
  icu::UnicodeString pattern_;
};

// The current time formatted with an ICU time style.
class InputMacroDateTime : public InputMacro {
 public:
  InputMacroDateTime(std::string name, int timeStyle)
      : name_(std::move(name)), timeStyle_(timeStyle) {}
  std::string name() const override { return name_; }
  std::string replacement() const override;

 private:
  std::string name_;
  int timeStyle_;
};

// The display name of the system's time zone.
class InputMacroTimeZone : public InputMacro {
 public:
  InputMacroTimeZone(std::string name, int displayType)
      : name_(std::move(name)), displayType_(displayType) {}
  std::string name() const override { return name_; }
  std::string replacement() const override;

 private:
  std::string name_;
  int displayType_;
};

// A text computed from the current Gregorian year plus yearOffset.
class InputMacroTransform : public InputMacro {
 public:
  using YearToText = std::function<std::string(int)>;
  InputMacroTransform(std::string name, int yearOffset, YearToText yearToText)
      : name_(std::move(name)), yearOffset_(yearOffset), yearToText_(std::move(yearToText)) {}
  std::string name() const override { return name_; }
  std::string replacement() const override;

 private:
  std::string name_;
  int yearOffset_;
  YearToText yearToText_;
};

// The sexagenary (stem-branch) name of a year: 2024 is 甲辰年.
std::string ganZhiYearName(int year);
// The element and zodiac animal of a year: 2024 is 木龍年.
std::string zodiacYearName(int year);

class InputMacroGanZhi : public InputMacroTransform {
 public:
  InputMacroGanZhi(std::string name, int yearOffset)
      : InputMacroTransform(std::move(name), yearOffset, ganZhiYearName) {}
};

class InputMacroZodiac : public InputMacroTransform {
 public:
  InputMacroZodiac(std::string name, int yearOffset)
      : InputMacroTransform(std::move(name), yearOffset, zodiacYearName) {}
};

class InputMacroDateTodayShort : public InputMacroDate {
 public:
  InputMacroDateTodayShort() : InputMacroDate("MACRO@DATE_TODAY_SHORT", "", 0, kShort) {}
};

class InputMacroDateTodayMedium : public InputMacroDate {
 public:
  InputMacroDateTodayMedium() : InputMacroDate("MACRO@DATE_TODAY_MEDIUM", "", 0, kMedium) {}
};

class InputMacroDateTodayMediumRoc : public InputMacroDate {
 public:
  InputMacroDateTodayMediumRoc()
      : InputMacroDate("MACRO@DATE_TODAY_MEDIUM_ROC", "roc", 0, kMedium) {}
};

class InputMacroDateTodayMediumChinese : public InputMacroDate {
 public:
  InputMacroDateTodayMediumChinese()
      : InputMacroDate("MACRO@DATE_TODAY_MEDIUM_CHINESE", "chinese", 0, kMedium) {}
};

class InputMacroDateTodayMediumJapanese : public InputMacroDate {
 public:
  InputMacroDateTodayMediumJapanese()
      : InputMacroDate("MACRO@DATE_TODAY_MEDIUM_JAPANESE", "japanese", 0, kMedium) {}
};

class InputMacroDateYesterdayShort : public InputMacroDate {
 public:
  InputMacroDateYesterdayShort() : InputMacroDate("MACRO@DATE_YESTERDAY_SHORT", "", -1, kShort) {}
};

class InputMacroDateYesterdayMedium : public InputMacroDate {
 public:
  InputMacroDateYesterdayMedium()
      : InputMacroDate("MACRO@DATE_YESTERDAY_MEDIUM", "", -1, kMedium) {}
};

class InputMacroDateYesterdayMediumRoc : public InputMacroDate {
 public:
  InputMacroDateYesterdayMediumRoc()
      : InputMacroDate("MACRO@DATE_YESTERDAY_MEDIUM_ROC", "roc", -1, kMedium) {}
};

class InputMacroDateYesterdayMediumChinese : public InputMacroDate {
 public:
  InputMacroDateYesterdayMediumChinese()
      : InputMacroDate("MACRO@DATE_YESTERDAY_MEDIUM_CHINESE", "chinese", -1, kMedium) {}
};

class InputMacroDateYesterdayMediumJapanese : public InputMacroDate {
 public:
  InputMacroDateYesterdayMediumJapanese()
      : InputMacroDate("MACRO@DATE_YESTERDAY_MEDIUM_JAPANESE", "japanese", -1, kMedium) {}
};

class InputMacroDateTomorrowShort : public InputMacroDate {
 public:
  InputMacroDateTomorrowShort() : InputMacroDate("MACRO@DATE_TOMORROW_SHORT", "", 1, kShort) {}
};

class InputMacroDateTomorrowMedium : public InputMacroDate {
 public:
  InputMacroDateTomorrowMedium() : InputMacroDate("MACRO@DATE_TOMORROW_MEDIUM", "", 1, kMedium) {}
};

class InputMacroDateTomorrowMediumRoc : public InputMacroDate {
 public:
  InputMacroDateTomorrowMediumRoc()
      : InputMacroDate("MACRO@DATE_TOMORROW_MEDIUM_ROC", "roc", 1, kMedium) {}
};

class InputMacroDateTomorrowMediumChinese : public InputMacroDate {
 public:
  InputMacroDateTomorrowMediumChinese()
      : InputMacroDate("MACRO@DATE_TOMORROW_MEDIUM_CHINESE", "chinese", 1, kMedium) {}
};

class InputMacroDateTomorrowMediumJapanese : public InputMacroDate {
 public:
  InputMacroDateTomorrowMediumJapanese()
      : InputMacroDate("MACRO@DATE_TOMORROW_MEDIUM_JAPANESE", "japanese", 1, kMedium) {}
};

class InputMacroThisYearPlain : public InputMacroYear {
 public:
  InputMacroThisYearPlain() : InputMacroYear("MACRO@THIS_YEAR_PLAIN", "", 0, "y") {}
};

class InputMacroThisYearPlainWithEra : public InputMacroYear {
 public:
  InputMacroThisYearPlainWithEra()
      : InputMacroYear("MACRO@THIS_YEAR_PLAIN_WITH_ERA", "", 0, "Gy") {}
};

class InputMacroThisYearRoc : public InputMacroYear {
 public:
  InputMacroThisYearRoc() : InputMacroYear("MACRO@THIS_YEAR_ROC", "roc", 0, "Gy") {}
};

class InputMacroThisYearJapanese : public InputMacroYear {
 public:
  InputMacroThisYearJapanese() : InputMacroYear("MACRO@THIS_YEAR_JAPANESE", "japanese", 0, "Gy") {}
};

class InputMacroLastYearPlain : public InputMacroYear {
 public:
  InputMacroLastYearPlain() : InputMacroYear("MACRO@LAST_YEAR_PLAIN", "", -1, "y") {}
};

class InputMacroLastYearPlainWithEra : public InputMacroYear {
 public:
  InputMacroLastYearPlainWithEra()
      : InputMacroYear("MACRO@LAST_YEAR_PLAIN_WITH_ERA", "", -1, "Gy") {}
};

class InputMacroLastYearRoc : public InputMacroYear {
 public:
  InputMacroLastYearRoc() : InputMacroYear("MACRO@LAST_YEAR_ROC", "roc", -1, "Gy") {}
};

class InputMacroLastYearJapanese : public InputMacroYear {
 public:
  InputMacroLastYearJapanese() : InputMacroYear("MACRO@LAST_YEAR_JAPANESE", "japanese", -1, "Gy") {}
};

class InputMacroNextYearPlain : public InputMacroYear {
 public:
  InputMacroNextYearPlain() : InputMacroYear("MACRO@NEXT_YEAR_PLAIN", "", 1, "y") {}
};

class InputMacroNextYearPlainWithEra : public InputMacroYear {
 public:
  InputMacroNextYearPlainWithEra()
      : InputMacroYear("MACRO@NEXT_YEAR_PLAIN_WITH_ERA", "", 1, "Gy") {}
};

class InputMacroNextYearRoc : public InputMacroYear {
 public:
  InputMacroNextYearRoc() : InputMacroYear("MACRO@NEXT_YEAR_ROC", "roc", 1, "Gy") {}
};

class InputMacroNextYearJapanese : public InputMacroYear {
 public:
  InputMacroNextYearJapanese() : InputMacroYear("MACRO@NEXT_YEAR_JAPANESE", "japanese", 1, "Gy") {}
};

class InputMacroWeekdayTodayShort : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayTodayShort()
      : InputMacroDayOfTheWeek("MACRO@DATE_TODAY_WEEKDAY_SHORT", "", 0, "E") {}
};

class InputMacroWeekdayToday : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayToday() : InputMacroDayOfTheWeek("MACRO@DATE_TODAY_WEEKDAY", "", 0, "EEEE") {}
};

class InputMacroWeekdayToday2 : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayToday2() : InputMacroDayOfTheWeek("MACRO@DATE_TODAY2_WEEKDAY", "", 0, "EEEE") {}
  std::string replacement() const override {
    return withSpokenWeekWord(InputMacroDayOfTheWeek::replacement());
  }
};

class InputMacroWeekdayTodayJapanese : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayTodayJapanese()
      : InputMacroDayOfTheWeek("MACRO@DATE_TODAY_WEEKDAY_JAPANESE", "japanese", 0, "EEEE") {}
};

class InputMacroWeekdayYesterdayShort : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayYesterdayShort()
      : InputMacroDayOfTheWeek("MACRO@DATE_YESTERDAY_WEEKDAY_SHORT", "", -1, "E") {}
};

class InputMacroWeekdayYesterday : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayYesterday()
      : InputMacroDayOfTheWeek("MACRO@DATE_YESTERDAY_WEEKDAY", "", -1, "EEEE") {}
};

class InputMacroWeekdayYesterday2 : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayYesterday2()
      : InputMacroDayOfTheWeek("MACRO@DATE_YESTERDAY2_WEEKDAY", "", -1, "EEEE") {}
  std::string replacement() const override {
    return withSpokenWeekWord(InputMacroDayOfTheWeek::replacement());
  }
};

class InputMacroWeekdayYesterdayJapanese : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayYesterdayJapanese()
      : InputMacroDayOfTheWeek("MACRO@DATE_YESTERDAY_WEEKDAY_JAPANESE", "japanese", -1, "EEEE") {}
};

class InputMacroWeekdayTomorrowShort : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayTomorrowShort()
      : InputMacroDayOfTheWeek("MACRO@DATE_TOMORROW_WEEKDAY_SHORT", "", 1, "E") {}
};

class InputMacroWeekdayTomorrow : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayTomorrow()
      : InputMacroDayOfTheWeek("MACRO@DATE_TOMORROW_WEEKDAY", "", 1, "EEEE") {}
};

class InputMacroWeekdayTomorrow2 : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayTomorrow2()
      : InputMacroDayOfTheWeek("MACRO@DATE_TOMORROW2_WEEKDAY", "", 1, "EEEE") {}
  std::string replacement() const override {
    return withSpokenWeekWord(InputMacroDayOfTheWeek::replacement());
  }
};

class InputMacroWeekdayTomorrowJapanese : public InputMacroDayOfTheWeek {
 public:
  InputMacroWeekdayTomorrowJapanese()
      : InputMacroDayOfTheWeek("MACRO@DATE_TOMORROW_WEEKDAY_JAPANESE", "japanese", 1, "EEEE") {}
};

class InputMacroDateTimeNowShort : public InputMacroDateTime {
 public:
  InputMacroDateTimeNowShort() : InputMacroDateTime("MACRO@TIME_NOW_SHORT", kShort) {}
};

class InputMacroDateTimeNowMedium : public InputMacroDateTime {
 public:
  InputMacroDateTimeNowMedium() : InputMacroDateTime("MACRO@TIME_NOW_MEDIUM", kMedium) {}
};

class InputMacroTimeZoneStandard : public InputMacroTimeZone {
 public:
  InputMacroTimeZoneStandard() : InputMacroTimeZone("MACRO@TIMEZONE_STANDARD", kLongGeneric) {}
};

class InputMacroTimeZoneShortGeneric : public InputMacroTimeZone {
 public:
  InputMacroTimeZoneShortGeneric()
      : InputMacroTimeZone("MACRO@TIMEZONE_GENERIC_SHORT", kShortGeneric) {}
};

class InputMacroThisYearGanZhi : public InputMacroGanZhi {
 public:
  InputMacroThisYearGanZhi() : InputMacroGanZhi("MACRO@THIS_YEAR_GANZHI", 0) {}
};

class InputMacroLastYearGanZhi : public InputMacroGanZhi {
 public:
  InputMacroLastYearGanZhi() : InputMacroGanZhi("MACRO@LAST_YEAR_GANZHI", -1) {}
};

class InputMacroNextYearGanZhi : public InputMacroGanZhi {
 public:
  InputMacroNextYearGanZhi() : InputMacroGanZhi("MACRO@NEXT_YEAR_GANZHI", 1) {}
};

class InputMacroThisYearChineseZodiac : public InputMacroZodiac {
 public:
  InputMacroThisYearChineseZodiac() : InputMacroZodiac("MACRO@THIS_YEAR_CHINESE_ZODIAC", 0) {}
};

class InputMacroLastYearChineseZodiac : public InputMacroZodiac {
 public:
  InputMacroLastYearChineseZodiac() : InputMacroZodiac("MACRO@LAST_YEAR_CHINESE_ZODIAC", -1) {}
};

class InputMacroNextYearChineseZodiac : public InputMacroZodiac {
 public:
  InputMacroNextYearChineseZodiac() : InputMacroZodiac("MACRO@NEXT_YEAR_CHINESE_ZODIAC", 1) {}
};

}  // namespace Kestova
