#pragma once

#include <string>

#include "common/input_limits.hpp"
#include "common/model_year.hpp"
#include "common/station_parameters.hpp"
#include "driver/run_files.hpp"
#include "driver/text_scanner.hpp"
#include "soil_climate/station_simulation.hpp"

namespace soil_climate {

// Reads the parameter record: latitude, hemisphere letter, water-holding capacity
// (inches, converted to mm), soil temperature offset, amplitude factor, phase shift and station name,
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

// Reads one monthly record: a label word and twelve numbers, January first. A record that
// ends early, or holds a token that is no finite number, a missing-value code such as
// -99.9 or a value outside the quantity's range, ends the run with a message naming the
// file, the record and its label.
void read_monthly_record(text_scanner& scanner, const record_position& position, const value_range& quantity,
                         std::string& label, monthly_series& values);

// A year's label names its report file, so it may not be the name of one of the run's
// own files, hold a path separator or a NUL byte, or be "." or "..": such a label ends the
// run with a message before anything is written for the year.
void check_year_label(const record_position& position, const std::string& label);

// Reads the next year: the temperature record, then the precipitation record, into
// `year`, converted to °C and mm, and the label into `year_label`. The precipitation
// record's label names the year. False
// when the temperature file holds no further record; only it decides how many years there
// are. A precipitation file that runs out first ends the run with a message.
bool read_year(text_scanner& temperature, text_scanner& precipitation, const run_files& files, int year_number,
               std::string& year_label, year_inputs& year);

// True when `text` is a whole finite number as the C library reads it ("12", "-3.5",
// "1e2"); `value` receives it.
bool parse_finite_number(const std::string& text, double& value);

}  // namespace soil_climate
