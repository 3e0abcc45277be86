#include "notations/InputMacroTable.h"

#include "notations/InputMacro.h"

namespace Kestova {

namespace {
constexpr std::string_view kMacroNamePrefix = "MACRO@";
}  // namespace

InputMacroTable::~InputMacroTable() = default;

InputMacroTable::InputMacroTable() {
  add(std::make_unique<InputMacroDateTodayShort>());
  add(std::make_unique<InputMacroDateTodayMedium>());
  add(std::make_unique<InputMacroDateTodayMediumRoc>());
  add(std::make_unique<InputMacroDateTodayMediumChinese>());
  add(std::make_unique<InputMacroDateTodayMediumJapanese>());
  add(std::make_unique<InputMacroThisYearPlain>());
  add(std::make_unique<InputMacroThisYearPlainWithEra>());
  add(std::make_unique<InputMacroThisYearRoc>());
  add(std::make_unique<InputMacroThisYearJapanese>());
  add(std::make_unique<InputMacroLastYearPlain>());
  add(std::make_unique<InputMacroLastYearPlainWithEra>());
  add(std::make_unique<InputMacroLastYearRoc>());
  add(std::make_unique<InputMacroLastYearJapanese>());
  add(std::make_unique<InputMacroNextYearPlain>());
  add(std::make_unique<InputMacroNextYearPlainWithEra>());
  add(std::make_unique<InputMacroNextYearRoc>());
  add(std::make_unique<InputMacroNextYearJapanese>());
  add(std::make_unique<InputMacroWeekdayTodayShort>());
  add(std::make_unique<InputMacroWeekdayToday>());
  add(std::make_unique<InputMacroWeekdayToday2>());
  add(std::make_unique<InputMacroWeekdayTodayJapanese>());
  add(std::make_unique<InputMacroWeekdayYesterdayShort>());
  add(std::make_unique<InputMacroWeekdayYesterday>());
  add(std::make_unique<InputMacroWeekdayYesterday2>());
  add(std::make_unique<InputMacroWeekdayYesterdayJapanese>());
  add(std::make_unique<InputMacroWeekdayTomorrowShort>());
  add(std::make_unique<InputMacroWeekdayTomorrow>());
  add(std::make_unique<InputMacroWeekdayTomorrow2>());
  add(std::make_unique<InputMacroWeekdayTomorrowJapanese>());
  add(std::make_unique<InputMacroDateYesterdayShort>());
  add(std::make_unique<InputMacroDateYesterdayMedium>());
  add(std::make_unique<InputMacroDateYesterdayMediumRoc>());
  add(std::make_unique<InputMacroDateYesterdayMediumChinese>());
  add(std::make_unique<InputMacroDateYesterdayMediumJapanese>());
  add(std::make_unique<InputMacroDateTomorrowShort>());
  add(std::make_unique<InputMacroDateTomorrowMedium>());
  add(std::make_unique<InputMacroDateTomorrowMediumRoc>());
  add(std::make_unique<InputMacroDateTomorrowMediumChinese>());
  add(std::make_unique<InputMacroDateTomorrowMediumJapanese>());
  add(std::make_unique<InputMacroDateTimeNowShort>());
  add(std::make_unique<InputMacroDateTimeNowMedium>());
  add(std::make_unique<InputMacroTimeZoneStandard>());
  add(std::make_unique<InputMacroTimeZoneShortGeneric>());
  add(std::make_unique<InputMacroThisYearGanZhi>());
  add(std::make_unique<InputMacroLastYearGanZhi>());
  add(std::make_unique<InputMacroNextYearGanZhi>());
  add(std::make_unique<InputMacroThisYearChineseZodiac>());
  add(std::make_unique<InputMacroLastYearChineseZodiac>());
  add(std::make_unique<InputMacroNextYearChineseZodiac>());
}

void InputMacroTable::add(std::unique_ptr<InputMacro> macro) {
  std::string name = macro->name();
  if (!name.starts_with(kMacroNamePrefix)) allNamesPrefixed_ = false;
  macros_.try_emplace(std::move(name), std::move(macro));
}

std::string InputMacroTable::expand(std::string_view text) const {
  if (allNamesPrefixed_ && !text.starts_with(kMacroNamePrefix)) return std::string(text);
  auto found = macros_.find(text);
  if (found == macros_.end()) return std::string(text);
  return found->second->replacement();
}

}  // namespace Kestova
