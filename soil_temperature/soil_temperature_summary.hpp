#pragma once

#include "common/model_year.hpp"
#include "common/station_parameters.hpp"

namespace soil_climate {

// The mean soil temperature of the year (°C), the absolute difference of the summer
// (June-August) and winter (December-February) soil means, the same days in both
// hemispheres (the year is isothermal when it is below 5 °C), and those two means.
struct soil_temperature_summary {
    double mean_soil_temperature = 0.0;
    double seasonal_difference = 0.0;
    double june_to_august = 0.0;
    double december_to_february = 0.0;
};
soil_temperature_summary summarize_soil_temperature(const daily_temperatures& temperature_calendar);

// The mean soil temperature of the hemisphere's summer (°C): June-August in the north,
// December-February in the south.
constexpr double summer_soil_temperature(const soil_temperature_summary& soil, earth_hemisphere hemisphere) {
    return hemisphere == earth_hemisphere::south ? soil.december_to_february : soil.june_to_august;
}

}  // namespace soil_climate
