#pragma once

#include "common/model_year.hpp"
#include "common/regime_counts.hpp"
#include "common/regime_names.hpp"
#include "common/station_parameters.hpp"

namespace soil_climate {

// The mean soil temperature of the year (°C) and the absolute difference of the summer
// (June-August) and winter (December-February) soil means, the same days in both
// hemispheres; the year is isothermal when the difference is below 5 °C.
struct soil_temperature_summary {
    double mean_soil_temperature = 0.0;
    double seasonal_difference = 0.0;
};
soil_temperature_summary summarize_soil_temperature(const daily_temperatures& temperature_calendar);

// The mean soil temperature of the hemisphere's summer (°C): June-August in the north,
// December-February in the south, the same sums as the seasonal difference's.
double summer_soil_temperature(const daily_temperatures& temperature_calendar, earth_hemisphere hemisphere);

// The rules a run may add to the model's own. With cold_regimes a year whose mean soil
// temperature is below 0 °C is Pergelic, and one from 0 °C to below 8 °C whose summer
// mean is below 15 °C (a mineral soil without an O horizon, not saturated) is Cryic.
struct classification_rules {
    bool cold_regimes = false;
};

// What the classification of one year names and counts.
struct regime_classification {
    soil_temperature_regime temperature_regime{};
    soil_moisture_regime moisture_regime{};
    moisture_subdivision subdivision{};
    regime_counts counts;
};

// Classifies one year from its soil temperature and moisture calendars, monthly
// precipitation and PET (mm): the day counts, the soil temperature regime, the moisture
// regime and its tentative subdivision. With a hemisphere other than north or south (a
// letter cast in) the solstice runs are 0.
regime_classification classify_regimes(const daily_temperatures& temperature_calendar,
                                       const daily_codes& moisture_calendar,
                                       const monthly_series& monthly_precipitation, const monthly_series& monthly_pet,
                                       earth_hemisphere hemisphere, classification_rules rules = {});

// The same, with the calendar's summary already computed (the entry point keeps it for
// the year's result, and so computes it once).
regime_classification classify_regimes(const daily_temperatures& temperature_calendar,
                                       const soil_temperature_summary& soil, const daily_codes& moisture_calendar,
                                       const monthly_series& monthly_precipitation, const monthly_series& monthly_pet,
                                       earth_hemisphere hemisphere, classification_rules rules = {});

}  // namespace soil_climate
