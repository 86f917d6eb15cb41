#pragma once

#include "common/model_year.hpp"
#include "common/station_parameters.hpp"

namespace soil_climate {

// Monthly potential evapotranspiration (mm) by Thornthwaite's method: an annual heat
// index, an unadjusted monthly PET (a fixed table for hot months) and a day-length
// factor chosen by latitude and hemisphere. All twelve values of `pet` are written.
// A hemisphere value other than north or south (a letter cast in) chooses no factor and
// leaves twelve zeros.
void compute_pet(const monthly_series& temperatures, double latitude, monthly_series& pet,
                 earth_hemisphere hemisphere);

}  // namespace soil_climate
