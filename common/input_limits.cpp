#include "common/input_limits.hpp"

#include <cmath>
#include <cstdio>

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

namespace {

input_fault fault_of(double value) {
    return std::isfinite(value) ? input_fault::out_of_range : input_fault::not_finite;
}

}  // namespace

std::optional<input_problem> check_station(const station_parameters& station) {
    if (station.hemisphere != earth_hemisphere::north && station.hemisphere != earth_hemisphere::south) {
        return input_problem{input_fault::unknown_hemisphere, nullptr};
    }
    for (const station_parameter& parameter : station_parameter_table) {
        if (auto problem = check_parameter(*parameter.range, station.*parameter.value)) {
            return problem;
        }
    }
    return std::nullopt;
}

station_parameters station_with_defaults(earth_hemisphere hemisphere) {
    station_parameters station;
    station.hemisphere = hemisphere;
    for (const station_parameter& parameter : station_parameter_table) {
        station.*parameter.value = parameter.has_default ? default_for(parameter, hemisphere) : 0.0;
    }
    return station;
}

std::optional<input_problem> check_parameter(const value_range& range, double value) {
    if (!range.holds(value)) {
        return input_problem{fault_of(value), &range, value};
    }
    return std::nullopt;
}

std::optional<input_problem> check_monthly_value(double value, const value_range& range, int month) {
    if (is_missing_value_code(value)) {
        return input_problem{input_fault::missing_value_code, &range, value, month};
    }
    if (!range.holds(value)) {
        return input_problem{fault_of(value), &range, value, month};
    }
    return std::nullopt;
}

std::string problem_words(const input_problem& problem) {
    switch (problem.fault) {
        case input_fault::not_finite:
            return "is not a finite number";
        case input_fault::missing_value_code:
            return "is a missing-value code, not a measurement";
        case input_fault::unknown_hemisphere:
            return "is not north or south";
        case input_fault::out_of_range:
            break;
    }
    char text[160];
    std::snprintf(text, sizeof text, "lies outside %g to %g %s", problem.range->lowest, problem.range->highest,
                  problem.range->unit);
    return text;
}

}  // namespace soil_climate
