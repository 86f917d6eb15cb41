// The per-year work of a run on four climates: the model (PET, equilibrium, replay,
// calendars, classification) and the formatting of the year's report.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "report/station_report.hpp"
#include "soil_climate/station_simulation.hpp"

namespace {

using namespace soil_climate;

struct climate {
    const char* name;
    double latitude;
    earth_hemisphere hemisphere;
    monthly_series temperature_c;
    monthly_series precipitation_mm;
};

const climate climates[] = {
    {"arid", 33.4, earth_hemisphere::north, {12.3, 14.5, 17.4, 21.3, 26.2, 31.3, 34.2, 33.4, 30.2, 23.7, 16.6, 12.0},
     {23.1, 23.4, 25.1, 7.1, 2.8, 0.5, 26.7, 25.4, 16.3, 14.7, 16.5, 22.4}},
    {"xeric", 38.5, earth_hemisphere::north, {7.9, 10.3, 12.6, 14.9, 18.5, 21.7, 23.7, 23.1, 21.3, 17.0, 11.6, 7.8},
     {102.4, 97.3, 71.1, 30.0, 16.0, 5.1, 0.5, 1.5, 6.1, 26.7, 57.9, 89.7}},
    {"udic", 40.0, earth_hemisphere::north, {-2.1, 0.1, 5.8, 11.8, 17.3, 22.1, 24.2, 23.4, 19.6, 13.0, 6.7, 0.7},
     {73.9, 57.9, 77.5, 94.2, 109.0, 109.7, 112.0, 89.2, 74.7, 66.5, 83.1, 77.0}},
    {"tropical", 3.1, earth_hemisphere::south, {26.7, 26.6, 26.8, 26.9, 27.1, 27.2, 27.3, 28.0, 28.5, 28.6, 28.1, 27.4},
     {264.0, 297.0, 315.0, 295.0, 216.0, 102.0, 62.0, 45.0, 62.0, 104.0, 153.0, 218.0}},
};

station_parameters station_of(const climate& c) {
    station_parameters station;
    station.latitude = c.latitude;
    station.hemisphere = c.hemisphere;
    station.water_holding_capacity = 150.0;
    station.soil_temp_offset = 2.5;
    station.amplitude_factor = 0.66;
    return station;
}

// One year of the model through the entry point: PET, equilibrium, replay, both
// calendars, the classification and the year's sums.
void model_year(benchmark::State& state) {
    const climate& c = climates[state.range(0)];
    station_simulation simulation(station_of(c));
    for (auto _ : state) {
        const year_result& year = simulation.simulate_year(c.temperature_c, c.precipitation_mm);
        benchmark::DoNotOptimize(&year);
    }
    state.SetLabel(c.name);
}
BENCHMARK(model_year)->DenseRange(0, 3);

void report_formatting(benchmark::State& state) {
    const climate& c = climates[state.range(0)];
    station_simulation simulation(station_of(c));
    const year_result& year = simulation.simulate_year(c.temperature_c, c.precipitation_mm);
    std::string text;
    for (auto _ : state) {
        text.clear();
        format_station_report(text, "1961", "Bench", year);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetLabel(c.name);
}
BENCHMARK(report_formatting)->DenseRange(0, 3);

}  // namespace

BENCHMARK_MAIN();
