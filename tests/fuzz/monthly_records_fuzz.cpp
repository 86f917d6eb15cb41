// Fuzz target for the monthly record readers and the model behind them: the first byte
// splits the rest into a temperature file and a precipitation file and, with the next
// bytes, chooses the station's soil temperature parameters; every year the files yield is
// carried through the model's entry point and its report, which must then hold only
// finite values.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "inputs/input_records.hpp"
#include "memory_file.hpp"
#include "report/station_report.hpp"
#include "soil_climate/station_simulation.hpp"
#include "station_files/run_failure.hpp"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// A value within a parameter's range, from one byte: both ends and points between.
double within(const soil_climate::value_range& range, std::uint8_t byte) {
    return range.lowest + (range.highest - range.lowest) * byte / 255.0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace soil_climate;
    if (size < 5) {
        return 0;
    }
    station_parameters station;
    station.latitude = 38.5;
    station.hemisphere = data[0] % 2 == 0 ? earth_hemisphere::north : earth_hemisphere::south;
    station.water_holding_capacity = data[0] % 3 == 0 ? 80.0 : 150.0;
    station.soil_temp_offset = within(soil_temp_offset_range, data[1]);
    station.amplitude_factor = within(amplitude_factor_range, data[2]);
    station.phase_shift = within(phase_shift_range, data[3]);
    station_simulation simulation(station);

    data += 4;
    size -= 4;
    const std::size_t split = 1 + (size - 1) * data[0] / 256;
    fuzz::memory_file temperature_file(data + 1, split - 1);
    fuzz::memory_file precipitation_file(data + split, size - split);
    text_scanner temperature(temperature_file.get(), "monthly_T");
    text_scanner precipitation(precipitation_file.get(), "monthly_P");

    year_record record;
    std::string report;
    try {
        for (int n = 1; n <= 20 && read_year(temperature, precipitation, n, record); ++n) {
            const year_result& year =
                simulation.simulate_year(record.inputs.monthly_temperature, record.inputs.monthly_precipitation);
            for (int m = 0; m < months_per_year; ++m) {
                require(std::isfinite(year.monthly_pet[m]) && year.monthly_pet[m] >= 0.0);
            }
            for (const double water : year.moisture_profile) {
                require(water >= 0.0 && water <= simulation.slant_capacity());
            }
            for (int d = 0; d < days_per_year; ++d) {
                require(year.moisture_calendar[d] != moisture_code::unset);
                require(std::isfinite(year.temperature_calendar[d]));
            }
            require(std::isfinite(year.soil.mean_soil_temperature) && std::isfinite(year.soil.seasonal_difference));
            report.clear();
            format_station_report(report, record.year_label, "fuzz", year);
            // Past the title, which carries the label, no number may print as nan or inf.
            const std::string body = report.substr(report.find('\n'));
            require(body.find("nan") == std::string::npos && body.find("inf") == std::string::npos);
        }
    } catch (const run_failure&) {
    }
    return 0;
}
