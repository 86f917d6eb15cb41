#pragma once

#include "common/model_year.hpp"
#include "common/station_parameters.hpp"
#include "evapotranspiration/day_length_tables.hpp"

namespace soil_climate {

// Monthly potential evapotranspiration (mm) by Thornthwaite's method: an annual heat
// index, an unadjusted monthly PET (a fixed table for hot months) and a day-length
// factor chosen by latitude and hemisphere.
// A hemisphere value other than north or south (a letter cast in) chooses no factor and
// leaves twelve zeros.
monthly_series compute_pet(const monthly_series& temperatures, double latitude, earth_hemisphere hemisphere);

// The steps of compute_pet, each on its own; compute_pet is, month by month,
// unadjusted_pet × day_length_factors.

// The year's heat index: the sum, January to December, of (T / 5)^1.514 over the months
// above 0 °C.
double heat_index(const monthly_series& temperatures);

// Each month's PET before the day-length factor, mm: 0 at or below 0 °C, the heat-index
// formula up to 26.5 °C, the hot-month table's half-degree band from there, 185 mm from
// 38 °C.
monthly_series unadjusted_pet(const monthly_series& temperatures);

// The twelve day-length factors of a latitude (a non-negative magnitude, degrees): in the
// north the row of the greatest tabulated latitude not above it, in the south interpolated
// between rows. Beyond the tables the last row holds (the 50° row, in the south from 48°
// on). A hemisphere value other than north or south gives twelve zeros.
day_length_row day_length_factors(double latitude, earth_hemisphere hemisphere);

}  // namespace soil_climate
