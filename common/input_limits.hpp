#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/station_parameters.hpp"

namespace soil_climate {

// The values the model accepts, far beyond anything a station records, so that only
// garbage is refused: within them every day of both calendars, every PET value and every
// sum stays a finite number.
struct value_range {
    const char* field;
    double lowest;
    double highest;
    const char* unit;

    // False for a value outside the range, and for NaN.
    constexpr bool holds(double value) const { return value >= lowest && value <= highest; }
};

// Station parameters. The capacity's bound keeps the sum of the 64 slants finite; the
// soil temperature parameters' bounds lie far outside what a soil is given (offsets of a
// few degrees, factors below one, shifts of a season at most; the defaults are in the
// table below) and keep every day finite.
inline constexpr value_range latitude_range{"latitude", 0.0, 90.0, "degrees"};
inline constexpr value_range capacity_range{"water_holding_capacity", 0.0, 1.0e6, "mm"};
inline constexpr value_range soil_temp_offset_range{"soil_temp_offset", -30.0, 30.0, "degrees C"};
inline constexpr value_range amplitude_factor_range{"amplitude_factor", -3.0, 3.0, "(no unit)"};
inline constexpr value_range phase_shift_range{"phase_shift", -100000.0, 100000.0, "days"};

// The numeric station parameters, in the order of the parameter file: the name the
// command lines and the Python and R modules give each, its range, its default where it
// has one, and what it is. The phase shift's default is 0 days in the north and 90 in the
// south (a southern soil warmest in February); latitude and capacity have none. Every
// front end takes its defaults from here.
struct station_parameter {
    const char* name;
    const value_range* range;
    double station_parameters::*value;
    bool has_default;
    double default_value;   // in the north, where there is one
    double southern_value;  // in the south
    const char* meaning;
};
inline constexpr std::array<station_parameter, 5> station_parameter_table{{
    {"latitude", &latitude_range, &station_parameters::latitude, false, 0.0, 0.0,
     "the station's latitude, degrees (a magnitude with the hemisphere, or negative in the south)"},
    {"capacity_mm", &capacity_range, &station_parameters::water_holding_capacity, false, 0.0, 0.0,
     "the soil's water-holding capacity, mm"},
    {"soil_temp_offset", &soil_temp_offset_range, &station_parameters::soil_temp_offset, true, 2.5, 2.5,
     "degrees C added to the annual mean air temperature for the soil's mean"},
    {"amplitude_factor", &amplitude_factor_range, &station_parameters::amplitude_factor, true, 0.66, 0.66,
     "the soil's seasonal amplitude as a share of half the air's summer-winter difference"},
    {"phase_shift", &phase_shift_range, &station_parameters::phase_shift, true, 0.0, 90.0,
     "days by which the soil temperature curve is shifted earlier"},
}};

// The place of a parameter in the table, by its member of station_parameters or by its
// name; the table's size where the table has none such.
constexpr std::size_t station_parameter_index(double station_parameters::*value) {
    std::size_t i = 0;
    while (i < station_parameter_table.size() && station_parameter_table[i].value != value) {
        ++i;
    }
    return i;
}
constexpr std::size_t station_parameter_index(std::string_view name) {
    std::size_t i = 0;
    while (i < station_parameter_table.size() && name != station_parameter_table[i].name) {
        ++i;
    }
    return i;
}

// A parameter's default for a station of `hemisphere`: the southern one in the south.
constexpr double default_for(const station_parameter& parameter, earth_hemisphere hemisphere) {
    return hemisphere == earth_hemisphere::south ? parameter.southern_value : parameter.default_value;
}

// A station of `hemisphere` whose parameters with a default hold it, the others 0: what a
// record that leaves parameters out starts from.
station_parameters station_with_defaults(earth_hemisphere hemisphere);

// The longest word (a label, a number, the station's name) the input files may hold, bytes.
inline constexpr std::size_t longest_input_word = 4096;

// Monthly values in the units of the input files.
inline constexpr value_range air_temperature_fahrenheit{"temperature", -200.0, 250.0, "degrees F"};
inline constexpr value_range precipitation_inches{"precipitation", 0.0, 1000.0, "inches"};

// Unit conversions of the monthly inputs and the capacity, as the files are read.
constexpr double fahrenheit_to_celsius(double fahrenheit) {
    return ((fahrenheit - 32.0) * 5.0) / 9.0;
}
constexpr double inches_to_mm(double inches) {
    return inches * 25.4;
}

// The same monthly ranges in the model's units, °C and mm.
inline constexpr value_range air_temperature_celsius{"temperature", fahrenheit_to_celsius(-200.0),
                                                     fahrenheit_to_celsius(250.0), "degrees C"};
inline constexpr value_range precipitation_mm{"precipitation", 0.0, inches_to_mm(1000.0), "mm"};

// True when a monthly value equals a code that records use for a missing value (-99,
// -99.9, -99.99, -999, -999.9, -9999 and their like), however it is written: no monthly
// mean or total of a station with a soil takes these values.
bool is_missing_value_code(double value);

// What is wrong with one input value.
enum class input_fault {
    not_finite,          // NaN or an infinity
    missing_value_code,  // -99.9, -9999 and their like: a gap, not a measurement
    out_of_range,        // a number outside the range the model accepts
    unknown_hemisphere,  // a hemisphere other than north or south
};

// One input value that the model cannot take: which field (through its range, which also
// gives the bounds and unit), the value, and for a monthly value its month.
struct input_problem {
    input_fault fault;
    const value_range* range;  // nullptr for the hemisphere
    double value = 0.0;
    int month = -1;  // 0 = January for a monthly value; -1 for a station parameter
};

// The check of one numeric station parameter against its range.
std::optional<input_problem> check_parameter(const value_range& range, double value);

// The one check of a station's parameters: the hemisphere, then the numeric parameters in
// the order of the parameter file. The first problem, or none.
std::optional<input_problem> check_station(const station_parameters& station);

// The one check of a monthly value, in the units of `range`: finite, no missing-value
// code, within the range.
std::optional<input_problem> check_monthly_value(double value, const value_range& range, int month);

// What is wrong, in words that follow the value in a message: "is not a finite number",
// "is a missing-value code, not a measurement", "lies outside 0 to 90 degrees" or "is not
// north or south".
std::string problem_words(const input_problem& problem);

}  // namespace soil_climate
