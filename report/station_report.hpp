#pragma once

#include <string>
#include <string_view>

#include "common/model_year.hpp"
#include "common/regime_counts.hpp"
#include "common/regime_names.hpp"
#include "water_balance/moisture_profile.hpp"

namespace soil_climate {

// The daily soil temperature symbol of the report: '-' below 5 °C, '5' from 5 to below
// 8 °C, '8' from 8 °C on. These bounds are inclusive, unlike the day counts.
char temperature_symbol(double soil_temperature);

// Appends one year's report to `text`: the monthly inputs and PET, the end-of-year
// profile, both calendars, the three regime names and the day counts.
void format_station_report(std::string& text, const std::string& year_label, const monthly_series& monthly_temperature,
                           const monthly_series& monthly_precipitation, const monthly_series& monthly_pet,
                           const slant_array& moisture_profile, const daily_codes& moisture_calendar,
                           const daily_temperatures& temperature_calendar,
                           soil_temperature_regime temperature_regime, soil_moisture_regime moisture_regime,
                           moisture_subdivision subdivision, const std::string& station_name,
                           const regime_counts& counts);

}  // namespace soil_climate
