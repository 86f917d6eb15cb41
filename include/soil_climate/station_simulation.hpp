#pragma once

// The model's entry point: one station simulated year by year, in memory. It reads and
// writes no file and prints nothing; run_station, the Python module, the benchmarks and
// the fuzz targets all call it.
//
// A year goes through the model in this order (model/station_simulation.cpp); a year's
// fields, as tables show them, are listed in model/year_fields.hpp:
//   1. monthly PET from the air temperatures, latitude and hemisphere;
//   2. the soil water balance run to equilibrium from an empty profile, then replayed
//      once to record the 360-day moisture calendar and the end-of-year profile;
//   3. the 360-day soil temperature calendar;
//   4. the classification: day counts, moisture regime, subdivision, temperature regime;
//   5. the year's water sums and soil temperature summary.
// The profile total that the equilibrium test compares with carries from year to year.

#include <concepts>
#include <ranges>
#include <span>
#include <vector>

#include "classification/classify_regimes.hpp"
#include "common/model_year.hpp"
#include "common/station_parameters.hpp"
#include "model/annual_cycle.hpp"
#include "model/year_result.hpp"

namespace soil_climate {

// One station's simulation. Construct it with the station's parameters (capacity in mm),
// then hand it the years in order; each call returns that year's result, valid until the
// next call. Memory does not grow with the number of years.
class station_simulation {
public:
    // Refuses a hemisphere other than north or south and any parameter outside its range
    // (check_station in common/input_limits.hpp) with invalid_input.
    // The rules are the model's own unless a run adds the cold regimes.
    explicit station_simulation(const station_parameters& station, classification_rules rules = {});

    // Simulates the next year from its monthly mean air temperatures (°C) and
    // precipitation (mm), January first. A value that is not finite or outside its range
    // is refused with invalid_input naming the month; the simulation is then unchanged.
    const year_result& simulate_year(const monthly_series& monthly_temperature,
                                     const monthly_series& monthly_precipitation);

    // Completes the next year from an annual cycle run elsewhere, with totals kept there:
    // the many-cell model runs several cells' cycles side by side (model/cell_lanes.hpp).
    // The year is the one simulate_year gives for the same cycle; the values are taken as
    // checked.
    const year_result& finish_year(const monthly_series& monthly_temperature,
                                   const monthly_series& monthly_precipitation, const annual_cycle_result& cycle);

    const station_parameters& station() const { return station_; }
    double slant_capacity() const { return slant_capacity_; }  // mm one slant holds

private:
    station_parameters station_;
    classification_rules rules_;
    double slant_capacity_;
    daily_temperatures curve_shape_;  // the soil temperature curve's shape, by calendar day
    equilibrium_totals totals_;
    year_result year_;
};

// Simulates every year of `years` (a range of year_inputs) in order and hands each result
// to `take` as it is made.
template <std::ranges::input_range Years, std::invocable<const year_result&> Take>
void simulate_station(const station_parameters& station, Years&& years, Take&& take, classification_rules rules = {}) {
    station_simulation simulation(station, rules);
    for (const year_inputs& year : years) {
        take(simulation.simulate_year(year.monthly_temperature, year.monthly_precipitation));
    }
}

// The same, collecting every year's result.
std::vector<year_result> simulate_station(const station_parameters& station, std::span<const year_inputs> years,
                                          classification_rules rules = {});

}  // namespace soil_climate
