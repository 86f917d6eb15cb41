#pragma once

#include <string>
#include <vector>

#include "common/input_limits.hpp"
#include "common/model_year.hpp"
#include "common/station_parameters.hpp"
#include "inputs/text_scanner.hpp"
#include "soil_climate/station_simulation.hpp"

namespace soil_climate {

// Lines for standard error about input that is valid but probably a mistake.
using warning_list = std::vector<std::string>;

// Reads the parameter record as the formatted read "%lf %c %lf %lf %lf %lf %s" does:
// latitude, hemisphere letter (the first non-blank character after the latitude, so
// "40.5N" reads), water-holding capacity (inches, converted to mm), soil temperature
// offset, amplitude factor, phase shift and station name, spread over lines at will.
// A record that is short, holds a field that is no finite number, a hemisphere other than
// N or S, or a latitude or soil temperature parameter outside its range ends the run with
// a message naming the file and field. The capacity is checked where the capacity in
// force is known. Text after the name on its line, and a southern station whose soil
// would be warmest in May, add a warning.
station_parameters read_station_parameters(text_scanner& scanner, warning_list& warnings);

// Reads one monthly record: a label word and twelve numbers, January first. A record that
// ends early, or holds a field that is no finite number, a missing-value code such as
// -99.9 or a value outside the quantity's range, ends the run with a message naming the
// file, the record and its label.
void read_monthly_record(text_scanner& scanner, int record_number, const value_range& quantity,
                         std::string& label, monthly_series& values);

// A year's label names its report file (the prefix followed by the label), so it may not
// be the name of one of the run's own files, hold a path separator, be "." or "..", take
// the form of the run's temporary files, or be too long for a file name: such a label
// ends the run with a message naming the record.
void check_year_label(const std::string& file_name, int record_number, const std::string& label,
                      const std::string& file_prefix);

// One year as the two monthly files give it.
struct year_record {
    std::string temperature_label;
    std::string year_label;  // the precipitation record's label, which names the year
    year_inputs inputs;      // converted to °C and mm
};

// Reads the next year: the temperature record, then the precipitation record. False when
// the temperature file holds no further record; only it decides how many years there
// are. A precipitation file that runs out first ends the run with a message.
bool read_year(text_scanner& temperature, text_scanner& precipitation, int year_number, year_record& year);

}  // namespace soil_climate
