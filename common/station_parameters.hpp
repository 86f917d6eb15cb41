#pragma once

#include <string>

namespace soil_climate {

// The hemisphere of a station; each value is the letter that names it in the parameter
// file. The model gives meaning to these two only.
enum class earth_hemisphere : char {
    north = 'N',
    south = 'S',
};

constexpr char hemisphere_letter(earth_hemisphere hemisphere) {
    return static_cast<char>(hemisphere);
}

// The station record of the parameter file, in file order. Read once per run.
struct station_parameters {
    double latitude = 0.0;                                 // degrees, a non-negative magnitude
    earth_hemisphere hemisphere = earth_hemisphere::north;
    double water_holding_capacity = 0.0;  // mm (the parameter file's inches are converted as read)
    double soil_temp_offset = 0.0;        // °C added to the annual mean air temperature
    double amplitude_factor = 0.0;        // soil amplitude as a share of half the summer-winter difference
    double phase_shift = 0.0;             // days
    std::string station_name;             // one word
};

}  // namespace soil_climate
