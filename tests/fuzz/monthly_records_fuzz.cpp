// Fuzz target for the monthly record readers and the model behind them: the first byte
// splits the rest into a temperature file and a precipitation file; every year they
// yield is carried through the annual cycle, the calendars, the classification and the
// report, which must then hold only finite values and names from the name tables.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "classification/classify_regimes.hpp"
#include "classification/temperature_calendar.hpp"
#include "common/regime_names.hpp"
#include "driver/annual_cycle.hpp"
#include "driver/input_records.hpp"
#include "driver/run_failure.hpp"
#include "memory_file.hpp"
#include "report/station_report.hpp"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

template <typename Table>
bool in_table(const Table& names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace soil_climate;
    if (size == 0) {
        return 0;
    }
    const std::size_t split = 1 + (size - 1) * data[0] / 256;
    fuzz::memory_file temperature_file(data + 1, split - 1);
    fuzz::memory_file precipitation_file(data + split, size - split);
    text_scanner temperature(temperature_file.get());
    text_scanner precipitation(precipitation_file.get());
    const run_files files = name_run_files("");

    station_parameters station;
    station.latitude = 38.5;
    station.hemisphere = data[0] % 2 == 0 ? 'N' : 'S';
    station.soil_temp_offset = 2.5;
    station.amplitude_factor = 0.66;
    const double slant_capacity = data[0] % 3 == 0 ? 80.0 / 64.0 : 150.0 / 64.0;

    equilibrium_totals totals;
    station_year year;
    std::string report;
    try {
        for (int n = 1; n <= 20 && read_year(temperature, precipitation, files, n, year); ++n) {
            require(run_annual_cycle(year, station, slant_capacity, totals).converged);
            temperature_calendar(year.temperature_calendar, year.monthly_temperature, station.hemisphere,
                                 station.soil_temp_offset, station.amplitude_factor, station.phase_shift);
            classify_regimes(year.temperature_calendar, year.moisture_calendar, year.monthly_precipitation,
                             year.monthly_pet, station.hemisphere, year.temperature_regime, year.moisture_regime,
                             year.subdivision, year.counts);
            require(in_table(moisture_regime_names, year.moisture_regime));
            require(in_table(subdivision_names, year.subdivision));
            require(in_table(temperature_regime_names, year.temperature_regime));
            for (int m = 0; m < months_per_year; ++m) {
                require(std::isfinite(year.monthly_pet[m]) && year.monthly_pet[m] >= 0.0);
            }
            for (const double water : year.moisture_profile) {
                require(water >= 0.0 && water <= slant_capacity);
            }
            for (int d = 0; d < days_per_year; ++d) {
                require(year.moisture_calendar[d] >= 1 && year.moisture_calendar[d] <= 3);
                require(std::isfinite(year.temperature_calendar[d]));
            }
            report.clear();
            format_station_report(report, year.year_label, year.monthly_temperature, year.monthly_precipitation,
                                  year.monthly_pet, year.moisture_profile, year.moisture_calendar,
                                  year.temperature_calendar, year.temperature_regime, year.moisture_regime,
                                  year.subdivision, "fuzz", year.counts);
            // Past the title, which carries the label, no number may print as nan or inf.
            const std::string body = report.substr(report.find('\n'));
            require(body.find("nan") == std::string::npos && body.find("inf") == std::string::npos);
        }
    } catch (const run_failure&) {
    }
    return 0;
}
