#pragma once

#include <optional>
#include <string>

#include "common/model_year.hpp"
#include "common/station_parameters.hpp"

namespace soil_climate {

// A station whose three warmest months of the mean year are June to August though it is
// southern, or December to February though it is northern: its hemisphere (or the sign of
// its latitude) is probably wrong. Returns the warning's words, or nothing.
// `mean_temperature` is the mean of each calendar month over the years, in any unit of
// temperature.
std::optional<std::string> hemisphere_doubt(earth_hemisphere hemisphere, const monthly_series& mean_temperature);

// A southern station given a phase_shift of 0 days has its warmest soil on 15 May, which
// suits no real southern station. Returns the warning's words, or nothing.
std::optional<std::string> phase_shift_doubt(earth_hemisphere hemisphere, double phase_shift);

}  // namespace soil_climate
