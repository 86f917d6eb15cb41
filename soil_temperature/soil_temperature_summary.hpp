#pragma once

#include "common/model_year.hpp"
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

}  // namespace soil_climate
