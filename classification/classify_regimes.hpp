#pragma once

#include "classification/day_counts.hpp"
#include "common/model_year.hpp"
#include "common/regime_counts.hpp"
#include "common/regime_names.hpp"
#include "common/station_parameters.hpp"
#include "soil_temperature/soil_temperature_summary.hpp"

namespace soil_climate {

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

// Classifies one year from its soil temperature calendar and that calendar's summary, its
// moisture calendar, monthly precipitation and PET (mm): the day counts, the soil
// temperature regime, the moisture regime and its tentative subdivision. With a
// hemisphere other than north or south (a letter cast in) the solstice runs are 0.
regime_classification classify_regimes(const daily_temperatures& temperature_calendar,
                                       const soil_temperature_summary& soil, const daily_codes& moisture_calendar,
                                       const monthly_series& monthly_precipitation, const monthly_series& monthly_pet,
                                       earth_hemisphere hemisphere, classification_rules rules = {});

}  // namespace soil_climate
