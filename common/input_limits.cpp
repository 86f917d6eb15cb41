#include "common/input_limits.hpp"

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
    for (const parameter_range& parameter : station_parameter_ranges) {
        if (!parameter.range->holds(station.*parameter.value)) {
            return parameter.range;
        }
    }
    return nullptr;
}

}  // namespace soil_climate
