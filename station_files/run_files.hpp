#pragma once

#include <string>
#include <string_view>

namespace soil_climate {

// Every file of a run is named by the prefix followed directly by a fixed suffix.
struct run_files {
    std::string temperature;         // prefix + "monthly_T"
    std::string precipitation;       // prefix + "monthly_P"
    std::string parameter;           // prefix + "parameter"
    std::string summary;             // prefix + "summary"
    std::string smrs;                // prefix + "SMRS"
    std::string smr;                 // prefix + "SMR"
    std::string wsmr;                // prefix + "WSMR"
    std::string years_csv;           // prefix + "years.csv", written with --csv
    std::string station_html;        // prefix + "station.html", written with --html
    std::string moisture_figure;     // prefix + "moisture_calendar.svg", written with --figures
    std::string temperature_figure;  // prefix + "temperature_calendar.svg", written with --figures
    std::string frequency_figure;    // prefix + "regime_frequencies.svg", written with --figures
};

run_files name_run_files(const std::string& file_prefix);

// True when `name` is one of the suffixes above: a year's report may not take such a name.
bool is_run_file_suffix(std::string_view name);

// What follows the prefix in the names of the run's temporary files (an output being
// written, then renamed into place when complete): prefix + ".run_station-" + process id +
// "-" + a number. A year's label may not start so.
inline constexpr std::string_view temporary_file_marker = ".run_station-";

// What follows the prefix in the name of the station's lock file, which exists while a
// run works on the station. A year's label may not take it either.
inline constexpr std::string_view lock_file_suffix = ".run_station.lock";

}  // namespace soil_climate
