// Fuzz target for the parameter record reader: any bytes either give a station whose
// every field is usable, or end in the reader's one-line failure.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "driver/input_records.hpp"
#include "driver/run_failure.hpp"
#include "memory_file.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace soil_climate;
    fuzz::memory_file file(data, size);
    text_scanner scanner(file.get());
    try {
        const station_parameters station = read_station_parameters(scanner, "parameter");
        const bool usable = (station.hemisphere == earth_hemisphere::north || station.hemisphere == earth_hemisphere::south) && station.latitude >= 0.0 &&
                            station.latitude <= 90.0 && std::isfinite(station.water_holding_capacity) &&
                            std::isfinite(station.soil_temp_offset) && std::isfinite(station.amplitude_factor) &&
                            std::isfinite(station.phase_shift) && !station.station_name.empty();
        if (!usable) {
            std::abort();
        }
    } catch (const run_failure&) {
    }
    return 0;
}
