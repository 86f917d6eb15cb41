#include "soil_climate/station_simulation.hpp"

#include <cstdio>
#include <string>

#include "soil_temperature/temperature_calendar.hpp"
#include "common/input_limits.hpp"
#include "model/year_evaluation.hpp"

namespace soil_climate {
namespace {

// "latitude is not a number from 0 to 90 degrees", "hemisphere is not N or S",
// "March temperature is not a number from ...".
[[noreturn]] void refuse(const input_problem& problem) {
    if (problem.fault == input_fault::unknown_hemisphere) {
        throw invalid_input("hemisphere is not N or S", problem);
    }
    const value_range& range = *problem.range;
    char text[160];
    std::snprintf(text, sizeof text, "%s is not a number from %g to %g %s", range.field, range.lowest,
                  range.highest, range.unit);
    const std::string month = problem.month >= 0 ? std::string(month_names[problem.month]) + " " : "";
    throw invalid_input(month + text, problem);
}

const station_parameters& checked(const station_parameters& station) {
    if (const auto problem = check_station(station)) {
        refuse(*problem);
    }
    return station;
}

void check_monthly(const monthly_series& values, const value_range& range) {
    for (int m = 0; m < months_per_year; ++m) {
        if (const auto problem = check_monthly_value(values[m], range, m)) {
            refuse(*problem);
        }
    }
}

}  // namespace

station_simulation::station_simulation(const station_parameters& station, classification_rules rules)
    : station_(checked(station)),
      rules_(rules),
      slant_capacity_(station.water_holding_capacity / 64.0),
      curve_shape_(temperature_curve_shape(station.hemisphere, station.phase_shift)) {}

const year_result& station_simulation::simulate_year(const monthly_series& monthly_temperature,
                                                     const monthly_series& monthly_precipitation) {
    check_monthly(monthly_temperature, air_temperature_celsius);
    check_monthly(monthly_precipitation, precipitation_mm);
    return finish_year(monthly_temperature, monthly_precipitation,
                       run_annual_cycle({monthly_temperature, monthly_precipitation}, station_, slant_capacity_,
                                        totals_));
}

const year_result& station_simulation::finish_year(const monthly_series& monthly_temperature,
                                                   const monthly_series& monthly_precipitation,
                                                   const annual_cycle_result& cycle) {
    if (!cycle.converged) {
        throw std::runtime_error("the soil water balance did not reach equilibrium within " +
                                 std::to_string(equilibrium_pass_limit) + " passes");
    }
    year_result& year = year_;
    year.monthly_temperature = monthly_temperature;
    year.monthly_precipitation = monthly_precipitation;
    year.equilibrium_passes = cycle.passes;
    year.monthly_pet = cycle.monthly_pet;
    year.moisture_profile = cycle.moisture_profile;
    year.moisture_calendar = cycle.moisture_calendar;
    year.temperature_calendar = temperature_calendar(year.monthly_temperature, curve_shape_,
                                                     station_.soil_temp_offset, station_.amplitude_factor);
    year.soil = summarize_soil_temperature(year.temperature_calendar);
    const regime_classification regimes =
        classify_regimes(year.temperature_calendar, year.soil, year.moisture_calendar, year.monthly_precipitation,
                         year.monthly_pet, station_.hemisphere, rules_);
    year.temperature_regime = regimes.temperature_regime;
    year.moisture_regime = regimes.moisture_regime;
    year.subdivision = regimes.subdivision;
    year.counts = regimes.counts;
    year.summary = summarize_year(year.monthly_precipitation, year.monthly_pet);
    return year;
}

std::vector<year_result> simulate_station(const station_parameters& station, std::span<const year_inputs> years,
                                          classification_rules rules) {
    std::vector<year_result> results;
    results.reserve(years.size());
    simulate_station(
        station, years, [&](const year_result& year) { results.push_back(year); }, rules);
    return results;
}

}  // namespace soil_climate
