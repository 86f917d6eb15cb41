#pragma once

#include <string>

namespace soil_climate {

// The station record of the parameter file, in file order. Read once per run.
struct station_parameters {
    double latitude = 0.0;                // degrees, a non-negative magnitude
    char hemisphere = 'N';                // 'N' or 'S'
    double water_holding_capacity = 0.0;  // inches as read; mm once the run is set up
    double soil_temp_offset = 0.0;        // °C added to the annual mean air temperature
    double amplitude_factor = 0.0;        // soil amplitude as a share of half the summer-winter difference
    double phase_shift = 0.0;             // days
    std::string station_name;             // one word
};

}  // namespace soil_climate
