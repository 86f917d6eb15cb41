#include "model/year_evaluation.hpp"

#include "model/year_fields.hpp"

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
    tallies.add(year.moisture_regime, year.subdivision, year.temperature_regime);

    // The summary's columns are the fields of the table of years that carry a sum.
    const station_parameters no_station;
    const station_year row{{}, no_station, year};
    for (const year_field& field : year_fields) {
        if (field.summed != nullptr) {
            tallies.sums.*field.summed += field.read(row).number;
        }
    }
}

}  // namespace soil_climate
