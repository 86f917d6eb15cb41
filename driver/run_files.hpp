#pragma once

#include <string>

namespace soil_climate {

// Every file of a run is named by the prefix followed directly by a fixed suffix.
struct run_files {
    std::string temperature;    // prefix + "monthly_T"
    std::string precipitation;  // prefix + "monthly_P"
    std::string parameter;      // prefix + "parameter"
    std::string summary;        // prefix + "summary"
    std::string smrs;           // prefix + "SMRS"
    std::string smr;            // prefix + "SMR"
    std::string wsmr;           // prefix + "WSMR"
    std::string years_csv;      // prefix + "years.csv", written with --csv
};

run_files name_run_files(const std::string& file_prefix);

}  // namespace soil_climate
