#pragma once

#include <string>

#include "common/model_year.hpp"
#include "common/station_parameters.hpp"
#include "driver/run_files.hpp"
#include "driver/station_year.hpp"
#include "driver/text_scanner.hpp"

namespace soil_climate {

// Reads the parameter record: latitude, hemisphere letter, water-holding capacity
// (inches), soil temperature offset, amplitude factor, phase shift and station name,
// spread over lines at will; anything after the name is not read. A record that is short,
// holds a number field that is no finite number, a hemisphere other than N or S, or a
// latitude outside 0 to 90 degrees ends the run with a message naming the file and field.
station_parameters read_station_parameters(text_scanner& scanner, const std::string& file_name);

// Where a monthly record stands, for messages: its file, its number from 1, and the
// label of the year it belongs to once known.
struct record_position {
    const std::string& file_name;
    int record_number;
};

// What a monthly file holds, in its own unit, and the range of values it may hold: far
// beyond any monthly mean or total observed on Earth, so that only garbage is refused.
struct monthly_quantity {
    const char* unit;
    double lowest;
    double highest;
};
inline constexpr monthly_quantity air_temperature_fahrenheit{"degrees F", -200.0, 250.0};
inline constexpr monthly_quantity precipitation_inches{"inches", 0.0, 1000.0};

// Reads one monthly record: a label word and twelve numbers, January first. A record that
// ends early, or holds a token that is no finite number, a missing-value code such as
// -99.9 or a value outside the quantity's range, ends the run with a message naming the
// file, the record and its label.
void read_monthly_record(text_scanner& scanner, const record_position& position, const monthly_quantity& quantity,
                         std::string& label, monthly_series& values);

// True for the codes that records use for a missing value: a minus sign and two or more
// nines, with or without nines after the decimal point (-99, -99.9, -999, -9999.99).
bool is_missing_value_code(const std::string& text);

// A year's label names its report file, so it may not be the name of one of the run's
// own files, hold a path separator or a NUL byte, or be "." or "..": such a label ends the
// run with a message before anything is written for the year.
void check_year_label(const record_position& position, const std::string& label);

// Reads the next year: the temperature record, then the precipitation record, into
// `year`, converted to °C and mm. The precipitation record's label names the year. False
// when the temperature file holds no further record; only it decides how many years there
// are. A precipitation file that runs out first ends the run with a message.
bool read_year(text_scanner& temperature, text_scanner& precipitation, const run_files& files, int year_number,
               station_year& year);

// Unit conversions of the monthly inputs.
double fahrenheit_to_celsius(double fahrenheit);
double inches_to_mm(double inches);

// True when `text` is a whole finite number as the C library reads it ("12", "-3.5",
// "1e2"); `value` receives it.
bool parse_finite_number(const std::string& text, double& value);

}  // namespace soil_climate
