#pragma once

// The model's entry point: one station simulated year by year, in memory. It reads and
// writes no file and prints nothing; run_station, the Python module, the benchmarks and
// the fuzz targets all call it.
//
// A year goes through the model in this order (driver/station_simulation.cpp):
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
#include <stdexcept>
#include <string>
#include <vector>

#include "classification/classify_regimes.hpp"
#include "common/model_year.hpp"
#include "common/regime_counts.hpp"
#include "common/regime_names.hpp"
#include "common/station_parameters.hpp"
#include "common/year_summary.hpp"
#include "driver/annual_cycle.hpp"
#include "water_balance/moisture_profile.hpp"

namespace soil_climate {

// One year's inputs in the model's units.
struct year_inputs {
    monthly_series monthly_temperature{};    // mean air temperature, °C
    monthly_series monthly_precipitation{};  // mm
};

// Everything one simulated year yields: what its report, its summary line and its row of
// the table of years show.
struct year_result {
    monthly_series monthly_temperature{};       // °C
    monthly_series monthly_precipitation{};     // mm
    monthly_series monthly_pet{};               // mm
    slant_array moisture_profile{};             // mm in each slant at the end of the year
    daily_codes moisture_calendar{};            // condition of the moisture control section
    daily_temperatures temperature_calendar{};  // soil temperature, °C
    soil_temperature_regime temperature_regime{};
    soil_moisture_regime moisture_regime{};
    moisture_subdivision subdivision{};
    regime_counts counts;
    year_summary summary;          // the year's water sums, mm
    soil_temperature_summary soil;  // mean soil temperature and summer-winter difference, °C
    int equilibrium_passes = 0;
};

// Station parameters or monthly values that the model cannot simulate. `month` is the
// month (0 = January) of a bad monthly value, -1 for a station parameter.
class invalid_input : public std::invalid_argument {
public:
    invalid_input(const std::string& what, int month = -1) : std::invalid_argument(what), month(month) {}
    int month;
};

// One station's simulation. Construct it with the station's parameters (capacity in mm),
// then hand it the years in order; each call returns that year's result, valid until the
// next call. Memory does not grow with the number of years.
class station_simulation {
public:
    // Refuses a hemisphere other than north or south and any parameter outside its range
    // (common/input_limits.hpp) with invalid_input.
    explicit station_simulation(const station_parameters& station);

    // Simulates the next year from its monthly mean air temperatures (°C) and
    // precipitation (mm), January first. A value that is not finite or outside its range
    // is refused with invalid_input naming the month; the simulation is then unchanged.
    const year_result& simulate_year(const monthly_series& monthly_temperature,
                                     const monthly_series& monthly_precipitation);

    const station_parameters& station() const { return station_; }
    double slant_capacity() const { return slant_capacity_; }  // mm one slant holds

private:
    station_parameters station_;
    double slant_capacity_;
    daily_temperatures curve_shape_;  // the soil temperature curve's shape, by calendar day
    equilibrium_totals totals_;
    year_result year_;
};

// Simulates every year of `years` (a range of year_inputs) in order and hands each result
// to `take` as it is made.
template <std::ranges::input_range Years, std::invocable<const year_result&> Take>
void simulate_station(const station_parameters& station, Years&& years, Take&& take) {
    station_simulation simulation(station);
    for (const year_inputs& year : years) {
        take(simulation.simulate_year(year.monthly_temperature, year.monthly_precipitation));
    }
}

// The same, collecting every year's result.
std::vector<year_result> simulate_station(const station_parameters& station, std::span<const year_inputs> years);

}  // namespace soil_climate
