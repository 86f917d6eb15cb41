#pragma once

#include "common/model_year.hpp"
#include "common/station_parameters.hpp"
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

struct annual_cycle_result {
    bool converged = false;  // false: the pass limit was reached and the year not replayed
    int passes = 0;          // equilibrium passes run
};

// Carries a year through the soil water model: its monthly PET (written to
// `monthly_pet`), the equilibrium passes from an empty profile, then the replayed year
// that records `moisture_calendar` and leaves the end-of-year `moisture_profile`.
[[nodiscard]] annual_cycle_result run_annual_cycle(const monthly_series& monthly_temperature,
                                                   const monthly_series& monthly_precipitation,
                                                   const station_parameters& station, double slant_capacity,
                                                   equilibrium_totals& totals, monthly_series& monthly_pet,
                                                   slant_array& moisture_profile, daily_codes& moisture_calendar);

}  // namespace soil_climate
