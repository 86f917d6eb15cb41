// Fuzz target for the parameter record reader: any bytes either give a station whose
// every field is usable, or end in the reader's one-line failure.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "common/input_limits.hpp"
#include "inputs/input_records.hpp"
#include "memory_file.hpp"
#include "station_files/run_failure.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace soil_climate;
    fuzz::memory_file file(data, size);
    text_scanner scanner(file.get(), "parameter");
    try {
        warning_list warnings;
        station_parameters station = read_station_parameters(scanner, warnings);
        // The capacity is checked where the capacity in force is known; the rest here.
        station.water_holding_capacity = 0.0;
        const bool usable = !check_station(station).has_value() && !station.station_name.empty() &&
                            station.station_name.size() <= text_scanner::longest_word;
        if (!usable) {
            std::abort();
        }
    } catch (const run_failure&) {
    }
    return 0;
}
