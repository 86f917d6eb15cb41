// The per-year work of a run on four climates: the model (PET, equilibrium, replay,
// calendars, classification) and the formatting of the year's report.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>

#include "classification/classify_regimes.hpp"
#include "classification/temperature_calendar.hpp"
#include "driver/annual_cycle.hpp"
#include "report/station_report.hpp"

namespace {

using namespace soil_climate;

struct climate {
    const char* name;
    double latitude;
    char hemisphere;
    monthly_series temperature_c;
    monthly_series precipitation_mm;
};

const climate climates[] = {
    {"arid", 33.4, 'N', {12.3, 14.5, 17.4, 21.3, 26.2, 31.3, 34.2, 33.4, 30.2, 23.7, 16.6, 12.0},
     {23.1, 23.4, 25.1, 7.1, 2.8, 0.5, 26.7, 25.4, 16.3, 14.7, 16.5, 22.4}},
    {"xeric", 38.5, 'N', {7.9, 10.3, 12.6, 14.9, 18.5, 21.7, 23.7, 23.1, 21.3, 17.0, 11.6, 7.8},
     {102.4, 97.3, 71.1, 30.0, 16.0, 5.1, 0.5, 1.5, 6.1, 26.7, 57.9, 89.7}},
    {"udic", 40.0, 'N', {-2.1, 0.1, 5.8, 11.8, 17.3, 22.1, 24.2, 23.4, 19.6, 13.0, 6.7, 0.7},
     {73.9, 57.9, 77.5, 94.2, 109.0, 109.7, 112.0, 89.2, 74.7, 66.5, 83.1, 77.0}},
    {"tropical", 3.1, 'S', {26.7, 26.6, 26.8, 26.9, 27.1, 27.2, 27.3, 28.0, 28.5, 28.6, 28.1, 27.4},
     {264.0, 297.0, 315.0, 295.0, 216.0, 102.0, 62.0, 45.0, 62.0, 104.0, 153.0, 218.0}},
};

station_parameters station_of(const climate& c) {
    station_parameters station;
    station.latitude = c.latitude;
    station.hemisphere = c.hemisphere;
    station.soil_temp_offset = 2.5;
    station.amplitude_factor = 0.66;
    return station;
}

// One year of the model: the annual cycle, the soil temperature calendar and the classification.
void simulate_year(station_year& year, const station_parameters& station, equilibrium_totals& totals) {
    benchmark::DoNotOptimize(run_annual_cycle(year, station, 150.0 / 64.0, totals));
    temperature_calendar(year.temperature_calendar, year.monthly_temperature, station.hemisphere,
                         station.soil_temp_offset, station.amplitude_factor, station.phase_shift);
    classify_regimes(year.temperature_calendar, year.moisture_calendar, year.monthly_precipitation, year.monthly_pet,
                     station.hemisphere, year.temperature_regime, year.moisture_regime, year.subdivision,
                     year.counts);
}

station_year year_of(const climate& c) {
    station_year year;
    year.year_label = "1961";
    year.monthly_temperature = c.temperature_c;
    year.monthly_precipitation = c.precipitation_mm;
    return year;
}

void model_year(benchmark::State& state) {
    const climate& c = climates[state.range(0)];
    const station_parameters station = station_of(c);
    station_year year = year_of(c);
    equilibrium_totals totals;
    for (auto _ : state) {
        simulate_year(year, station, totals);
        benchmark::DoNotOptimize(year.counts);
    }
    state.SetLabel(c.name);
}
BENCHMARK(model_year)->DenseRange(0, 3);

void report_formatting(benchmark::State& state) {
    const climate& c = climates[state.range(0)];
    const station_parameters station = station_of(c);
    station_year year = year_of(c);
    equilibrium_totals totals;
    simulate_year(year, station, totals);
    std::string text;
    for (auto _ : state) {
        text.clear();
        format_station_report(text, year.year_label, year.monthly_temperature, year.monthly_precipitation,
                              year.monthly_pet, year.moisture_profile, year.moisture_calendar,
                              year.temperature_calendar, year.temperature_regime, year.moisture_regime,
                              year.subdivision, "Bench", year.counts);
        benchmark::DoNotOptimize(text.data());
    }
    state.SetLabel(c.name);
}
BENCHMARK(report_formatting)->DenseRange(0, 3);

}  // namespace

BENCHMARK_MAIN();
