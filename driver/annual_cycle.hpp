#pragma once

#include "common/station_parameters.hpp"
#include "driver/station_year.hpp"

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

struct annual_cycle_result {
    bool converged = false;  // false: the pass limit was reached and the year not replayed
    int passes = 0;          // equilibrium passes run
};

// Carries a year through the soil water model: its monthly PET, the equilibrium passes
// from an empty profile, then the replayed year that records the moisture calendar and
// leaves the end-of-year profile.
[[nodiscard]] annual_cycle_result run_annual_cycle(station_year& year, const station_parameters& station,
                                                   double slant_capacity, equilibrium_totals& totals);

}  // namespace soil_climate
