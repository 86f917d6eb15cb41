#pragma once

#include "common/model_year.hpp"
#include "common/station_parameters.hpp"

namespace soil_climate {

// Monthly potential evapotranspiration (mm) by Thornthwaite's method: an annual heat
// index, an unadjusted monthly PET (a fixed table for hot months) and a day-length
// factor chosen by latitude and hemisphere.
// A hemisphere value other than north or south (a letter cast in) chooses no factor and
// leaves twelve zeros.
monthly_series compute_pet(const monthly_series& temperatures, double latitude, earth_hemisphere hemisphere);

// The same in the procedure's classic argument order, filling `pet`.
void compute_pet(const monthly_series& temperatures, double latitude, monthly_series& pet,
                 earth_hemisphere hemisphere);

}  // namespace soil_climate
