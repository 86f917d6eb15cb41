#include "driver/year_evaluation.hpp"

#include "soil_climate/station_simulation.hpp"

namespace soil_climate {

year_summary summarize_year(const monthly_series& monthly_precipitation, const monthly_series& monthly_pet) {
    const monthly_series& p = monthly_precipitation;
    const monthly_series& pet = monthly_pet;
    year_summary summary;
    for (int m = 0; m < months_per_year; ++m) {
        summary.annual_precipitation += p[m];
        summary.annual_pet += pet[m];
    }
    summary.annual_water_balance = summary.annual_precipitation - summary.annual_pet;
    summary.june_august_balance = (p[5] + p[6] + p[7]) - pet[5] - pet[6] - pet[7];
    return summary;
}

void tally_year(run_tallies& tallies, const year_result& year) {
    ++tallies.subdivision_tally[index_of(year.subdivision)];
    ++tallies.moisture_regime_tally[index_of(year.moisture_regime)];
    ++tallies.temperature_regime_tally[index_of(year.temperature_regime)];

    const year_summary& summary = year.summary;
    const regime_counts& counts = year.counts;
    const summary_sums year_values{
        summary.annual_precipitation, summary.annual_pet, summary.annual_water_balance, summary.june_august_balance,
        static_cast<double>(counts.dry_days), static_cast<double>(counts.moist_dry_days),
        static_cast<double>(counts.moist_days), static_cast<double>(counts.bio8_days),
    };
    for (std::size_t i = 0; i < year_values.size(); ++i) {
        tallies.sums[i] += year_values[i];
    }
    ++tallies.year_count;
}

}  // namespace soil_climate
