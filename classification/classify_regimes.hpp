#pragma once

#include <string_view>

#include "common/model_year.hpp"
#include "common/regime_counts.hpp"

namespace soil_climate {

// The mean soil temperature of the year (°C) and the absolute difference of the summer
// (June-August) and winter (December-February) soil means, the same days in both
// hemispheres; the year is isothermal when the difference is below 5 °C.
struct soil_temperature_summary {
    double mean_soil_temperature = 0.0;
    double seasonal_difference = 0.0;
};
soil_temperature_summary summarize_soil_temperature(const daily_temperatures& temperature_calendar);

// Classifies one year from its soil temperature and moisture calendars, monthly
// precipitation and PET (mm): fills `counts` and names the soil temperature regime, the
// moisture regime and its tentative subdivision. The names are entries of the constant
// name tables. With a hemisphere letter other than N or S the solstice runs are 0.
void classify_regimes(const daily_temperatures& temperature_calendar,
                      const daily_codes& moisture_calendar, const monthly_series& monthly_precipitation,
                      const monthly_series& monthly_pet, char hemisphere, std::string_view& temperature_regime,
                      std::string_view& moisture_regime, std::string_view& subdivision, regime_counts& counts);

}  // namespace soil_climate
