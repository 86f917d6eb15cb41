#pragma once

#include <string>
#include <string_view>

#include "common/model_year.hpp"
#include "common/regime_counts.hpp"
#include "water_balance/moisture_profile.hpp"

namespace soil_climate {

// Everything the run keeps of the year in hand, overwritten by each year.
struct station_year {
    std::string year_label;                  // the precipitation record's label
    monthly_series monthly_temperature{};    // °C
    monthly_series monthly_precipitation{};  // mm
    monthly_series monthly_pet{};            // mm
    slant_array moisture_profile{};          // mm; after the replay, the end-of-year state
    daily_codes moisture_calendar{};
    daily_temperatures temperature_calendar{};  // °C
    std::string_view temperature_regime;
    std::string_view moisture_regime;
    std::string_view subdivision;
    regime_counts counts;
};

}  // namespace soil_climate
