#include "common/input_limits.hpp"

#include <array>

namespace soil_climate {

bool is_missing_value_code(double value) {
    static constexpr std::array<double, 9> codes{-99.0,  -99.9,  -99.99,  -999.0, -999.9,
                                                 -999.99, -9999.0, -9999.9, -9999.99};
    if (value > codes.front()) {
        return false;  // every code is -99 or below
    }
    for (const double code : codes) {
        if (value == code) {
            return true;
        }
    }
    return false;
}

const value_range* station_parameter_out_of_range(const station_parameters& station) {
    if (!latitude_range.holds(station.latitude)) {
        return &latitude_range;
    }
    if (!capacity_range.holds(station.water_holding_capacity)) {
        return &capacity_range;
    }
    if (!soil_temp_offset_range.holds(station.soil_temp_offset)) {
        return &soil_temp_offset_range;
    }
    if (!amplitude_factor_range.holds(station.amplitude_factor)) {
        return &amplitude_factor_range;
    }
    if (!phase_shift_range.holds(station.phase_shift)) {
        return &phase_shift_range;
    }
    return nullptr;
}

}  // namespace soil_climate
