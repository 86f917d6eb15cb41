#include "driver/year_evaluation.hpp"

#include <algorithm>
#include <string>

#include "driver/run_failure.hpp"

namespace soil_climate {
namespace {

template <std::size_t n>
void tally_name(std::array<int, n>& tally, const std::array<std::string_view, n>& names, std::string_view name,
                const char* kind) {
    const auto match = std::find(names.begin(), names.end(), name);
    if (match == names.end()) {
        throw run_failure("Internal error: " + std::string(kind) + " \"" + std::string(name) +
                          "\" is not in its name table.");
    }
    ++tally[static_cast<std::size_t>(match - names.begin())];
}

}  // namespace

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

void tally_year(run_tallies& tallies, const station_year& year, const year_summary& summary) {
    tally_name(tallies.subdivision_tally, subdivision_names, year.subdivision, "subdivision");
    tally_name(tallies.moisture_regime_tally, moisture_regime_names, year.moisture_regime, "moisture regime");

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
