#pragma once

#include "common/model_year.hpp"
#include "common/station_parameters.hpp"
#include "model/equilibrium_year.hpp"
#include "model/year_result.hpp"
#include "water_balance/moisture_profile.hpp"

namespace soil_climate {

// A cell's totals of the last two equilibrium passes, carried from year to year.
using equilibrium_totals = equilibrium_totals_of<double>;

// What the annual cycle yields for one year.
struct annual_cycle_result {
    bool converged = false;  // false: the pass limit was reached and the year not replayed
    int passes = 0;          // equilibrium passes run
    monthly_series monthly_pet{};    // mm
    slant_array moisture_profile{};  // mm in each slant at the end of the replayed year
    daily_codes moisture_calendar{};  // the replayed year's daily conditions
};

// Carries a year through the soil water model: its monthly PET, the equilibrium passes
// from an empty profile, then the replayed year that records the moisture calendar and
// leaves the end-of-year profile. `totals` carry from year to year.
[[nodiscard]] annual_cycle_result run_annual_cycle(const year_inputs& year, const station_parameters& station,
                                                   double slant_capacity, equilibrium_totals& totals);

// The same from the year's monthly PET (mm): the equilibrium passes and the replay.
[[nodiscard]] annual_cycle_result run_water_year(const monthly_series& monthly_precipitation,
                                                 const monthly_series& monthly_pet, double slant_capacity,
                                                 equilibrium_totals& totals);

}  // namespace soil_climate
