#include "notations/InputMacro.h"

#include <unicode/calendar.h>
#include <unicode/fieldpos.h>
#include <unicode/fmtable.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>

#include <memory>
#include <optional>
#include <utility>

namespace Kestova {

namespace {

InputMacroClock& clockSlot() {
  static InputMacroClock clock;
  return clock;
}

// The current time in ICU milliseconds since the epoch: every macro reads
// the time through here.
double inputMacroNow() {
  const InputMacroClock& clock = clockSlot();
  return clock ? clock() : icu::Calendar::getNow();
}

icu::Locale localeFor(const std::string& calendarName) {
  std::string text = calendarName == "japanese" ? "ja_JP" : "zh_Hant_TW";
  if (!calendarName.empty()) text += "@calendar=" + calendarName;
  return icu::Locale::createCanonical(text.c_str());
}

// A calendar in the default time zone set to now, then moved by whole
// years and days with calendar arithmetic (so months and years roll over).
std::unique_ptr<icu::Calendar> momentFor(const icu::Locale& locale, int yearOffset, int dayOffset) {
  UErrorCode status = U_ZERO_ERROR;
  std::unique_ptr<icu::Calendar> calendar(
      icu::Calendar::createInstance(icu::TimeZone::createDefault(), locale, status));
  if (U_FAILURE(status) || !calendar) return nullptr;
  calendar->setTime(inputMacroNow(), status);
  if (yearOffset != 0) calendar->add(UCAL_YEAR, yearOffset, status);
  if (dayOffset != 0) calendar->add(UCAL_DATE, dayOffset, status);
  if (U_FAILURE(status)) return nullptr;
  return calendar;
}

std::string toUtf8(const icu::UnicodeString& text) {
  std::string out;
  text.toUTF8String(out);
  return out;
}

// The moment formatted with an ICU style pair; nullopt if ICU fails.
std::optional<std::string> formatWithStyles(const icu::Locale& locale, const icu::Calendar& moment,
                                            int dateStyle, int timeStyle) {
  std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(
      static_cast<icu::DateFormat::EStyle>(dateStyle),
      static_cast<icu::DateFormat::EStyle>(timeStyle), locale));
  if (!format) return std::nullopt;
  icu::UnicodeString text;
  icu::FieldPosition ignored(icu::FieldPosition::DONT_CARE);
  // Format a copy: formatting may compute fields of the calendar it is given.
  std::unique_ptr<icu::Calendar> copy(moment.clone());
  if (!copy) return std::nullopt;
  format->format(*copy, text, ignored);
  return toUtf8(text);
}

// The moment formatted with an ICU pattern; nullopt if ICU fails.
std::optional<std::string> formatWithPattern(const icu::Locale& locale, const icu::Calendar& moment,
                                             const icu::UnicodeString& pattern) {
  UErrorCode status = U_ZERO_ERROR;
  icu::SimpleDateFormat format(pattern, locale, status);
  if (U_FAILURE(status)) return std::nullopt;
  UDate millis = moment.getTime(status);
  if (U_FAILURE(status)) return std::nullopt;
  icu::UnicodeString text;
  icu::FieldPosition ignored(icu::FieldPosition::DONT_CARE);
  format.format(icu::Formattable(millis), text, ignored, status);
  if (U_FAILURE(status)) return std::nullopt;
  return toUtf8(text);
}

int sexagenaryIndex(int year) {
  return ((year - 3) % 60 + 60) % 60;
}

}  // namespace

InputMacroClock setInputMacroClock(InputMacroClock clock) {
  return std::exchange(clockSlot(), std::move(clock));
}

std::string InputMacroDate::replacement() const {
  icu::Locale locale = localeFor(calendarName_);
  auto moment = momentFor(locale, 0, dayOffset_);
  if (!moment) return name_;
  return formatWithStyles(locale, *moment, dateStyle_, kNone).value_or(name_);
}

std::string InputMacroYear::replacement() const {
  icu::Locale locale = localeFor(calendarName_);
  auto moment = momentFor(locale, yearOffset_, 0);
  if (!moment) return name_;
  auto text = formatWithPattern(locale, *moment, pattern_);
  if (!text) return name_;
  return *text + "年";
}

std::string InputMacroDayOfTheWeek::replacement() const {
  icu::Locale locale = localeFor(calendarName_);
  auto moment = momentFor(locale, 0, dayOffset_);
  if (!moment) return name_;
  return formatWithPattern(locale, *moment, pattern_).value_or(name_);
}

std::string InputMacroDayOfTheWeek::withSpokenWeekWord(std::string text) {
  constexpr std::string_view kWritten = "星期";
  constexpr std::string_view kSpoken = "禮拜";
  size_t found = text.find(kWritten);
  if (found != std::string::npos) text.replace(found, kWritten.size(), kSpoken);
  return text;
}

std::string InputMacroDateTime::replacement() const {
  icu::Locale locale = localeFor("");
  auto moment = momentFor(locale, 0, 0);
  if (!moment) return name_;
  return formatWithStyles(locale, *moment, kNone, timeStyle_).value_or(name_);
}

std::string InputMacroTimeZone::replacement() const {
  std::unique_ptr<icu::TimeZone> zone(icu::TimeZone::createDefault());
  if (!zone) return name_;
  icu::UnicodeString text;
  zone->getDisplayName(false, static_cast<icu::TimeZone::EDisplayType>(displayType_), localeFor(""),
                       text);
  return toUtf8(text);
}

std::string InputMacroTransform::replacement() const {
  UErrorCode status = U_ZERO_ERROR;
  icu::GregorianCalendar calendar(status);
  if (U_FAILURE(status)) return name_;
  calendar.setTime(inputMacroNow(), status);
  int year = calendar.get(UCAL_YEAR, status);
  if (U_FAILURE(status)) return name_;
  return yearToText_(year + yearOffset_);
}

std::string ganZhiYearName(int year) {
  static constexpr const char* kStems[] = {"癸", "甲", "乙", "丙", "丁",
                                           "戊", "己", "庚", "辛", "壬"};
  static constexpr const char* kBranches[] = {"亥", "子", "丑", "寅", "卯", "辰",
                                              "巳", "午", "未", "申", "酉", "戌"};
  int i = sexagenaryIndex(year);
  return std::string(kStems[i % 10]) + kBranches[i % 12] + "年";
}

std::string zodiacYearName(int year) {
  static constexpr const char* kElements[] = {"水", "木", "木", "火", "火",
                                              "土", "土", "金", "金", "水"};
  static constexpr const char* kAnimals[] = {"豬", "鼠", "牛", "虎", "兔", "龍",
                                             "蛇", "馬", "羊", "猴", "雞", "狗"};
  int i = sexagenaryIndex(year);
  return std::string(kElements[i % 10]) + kAnimals[i % 12] + "年";
}

}  // namespace Kestova
