#pragma once

#include <array>

#include "common/model_year.hpp"
#include "common/regime_names.hpp"
#include "common/year_summary.hpp"
#include "model/regime_tally.hpp"
#include "model/year_result.hpp"

namespace soil_climate {

// Running sums over the years of the values whose averages close the summary, mm and days.
struct summary_sums {
    double annual_precipitation = 0.0;
    double annual_pet = 0.0;
    double annual_water_balance = 0.0;
    double june_august_balance = 0.0;
    double dry_days = 0.0;
    double moist_dry_days = 0.0;
    double moist_days = 0.0;
    double bio8_days = 0.0;
    double mean_soil_temperature = 0.0;

    bool operator==(const summary_sums&) const = default;
};

// What the run gathers over all its years: the tally of its regimes and the sums for the
// summary's average line.
struct run_tallies : regime_tally {
    summary_sums sums{};
};

// The year's summary values, mm: annual precipitation and PET (January first), their
// difference, and precipitation less PET over June, July and August in both hemispheres.
year_summary summarize_year(const monthly_series& monthly_precipitation, const monthly_series& monthly_pet);

// Counts the year's regimes and adds the year to the sums.
void tally_year(run_tallies& tallies, const year_result& year);

}  // namespace soil_climate
