#pragma once

#include <optional>
#include <string>

#include "common/station_parameters.hpp"
#include "inputs/input_check.hpp"
#include "inputs/input_file.hpp"
#include "inputs/text_scanner.hpp"
#include "station_files/run_files.hpp"

namespace soil_climate {

// A capacity given on the command line: in mm, and as it was written (for its message).
struct capacity_argument {
    double mm;
    std::string text;
};

// A station's three input files read as run_station reads them: the parameter record
// (with the capacity in force, in mm: the command line's, else the file's), its warnings
// handed to `warn`, and both monthly files checked through and ready to be read again
// from their first record. Any fault ends the run with its message.
struct station_inputs {
    input_file temperature_file;
    input_file precipitation_file;
    station_parameters station;
    std::optional<text_scanner> temperature;
    std::optional<text_scanner> precipitation;
    checked_years checked;

    // `output_prefix` is where the year's reports go, which their labels must suit.
    station_inputs(const run_files& files, const std::string& file_prefix, const std::string& output_prefix,
                   const std::optional<capacity_argument>& capacity, const warning_sink& warn);
};

}  // namespace soil_climate
