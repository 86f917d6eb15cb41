#pragma once

#include <array>

#include "common/regime_names.hpp"
#include "driver/station_year.hpp"
#include "report/summary_format.hpp"

namespace soil_climate {

// What the run gathers over all its years: a tally per moisture regime and per
// subdivision, in the order of their name tables, the number of years and the sums for
// the summary's average line.
struct run_tallies {
    std::array<int, moisture_regime_names.size()> moisture_regime_tally{};
    std::array<int, subdivision_names.size()> subdivision_tally{};
    int year_count = 0;
    summary_sums sums{};
};

// The year's summary values, mm: annual precipitation and PET (January first), their
// difference, and precipitation less PET over June, July and August in both hemispheres.
year_summary summarize_year(const monthly_series& monthly_precipitation, const monthly_series& monthly_pet);

// Counts the year's subdivision and moisture regime, found in their name tables by exact
// comparison, and adds the year to the sums. A name in neither table cannot come from the
// classification and ends the run as an internal error.
void tally_year(run_tallies& tallies, const station_year& year, const year_summary& summary);

}  // namespace soil_climate
