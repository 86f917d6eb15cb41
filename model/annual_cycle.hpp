#pragma once

#include "common/model_year.hpp"
#include "common/station_parameters.hpp"
#include "model/year_result.hpp"
#include "water_balance/moisture_profile.hpp"

namespace soil_climate {

// The profile totals (mm) at the end of the last two equilibrium passes. Both start at
// 0.0 once per run and carry over from year to year: a later year's first pass is
// compared with the previous year's last total.
struct equilibrium_totals {
    double previous_total = 0.0;
    double profile_total = 0.0;
};

// A bound on the equilibrium passes of one year. With a non-negative capacity the totals
// settle within a few dozen passes; the bound only stops a year that never would.
inline constexpr int equilibrium_pass_limit = 100000;

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

}  // namespace soil_climate
