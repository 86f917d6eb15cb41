#pragma once

// What the Python and R modules share between their callers and the model: the caller's
// units, a station from its arguments, the year loop that converts °F and inches as the
// input files are converted, a station folder read by run_station's own readers, and the
// names of the fields that a refusal names. Each module words its own messages and builds
// its own arrays from these.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/input_limits.hpp"
#include "common/model_year.hpp"
#include "common/station_parameters.hpp"
#include "soil_climate/station_simulation.hpp"
#include "station_files/run_failure.hpp"

namespace soil_climate::bindings {

// How the caller's monthly values are read: °F and inches as in the input files ("us"),
// or the model's own °C and mm ("metric"); nullopt for any other name.
struct monthly_units {
    bool us;
    const value_range& temperature;
    const value_range& precipitation;
};
std::optional<monthly_units> units_named(std::string_view name);

// A station as the modules' callers give it: the numeric parameters in the order of the
// table of station parameters (the latitude a magnitude, the capacity in mm), the
// hemisphere a letter.
using parameter_values = std::array<double, station_parameter_table.size()>;
struct station_arguments {
    parameter_values values{};
    std::string hemisphere;
    std::string station_name;
};

// What is wrong with the names under which a caller gives the station parameters: a name
// the table does not hold or one given twice (the first in the caller's order), else a
// parameter of the table that is not given (the first in table order).
struct parameter_name_fault {
    enum class kind { unknown, repeated, missing } fault;
    std::string name;
};
std::optional<parameter_name_fault> check_parameter_names(const std::vector<std::string>& names);
// The fault in words, as both modules raise it: `unknown station parameter "x"`, `station
// parameter "x" given twice` or `station parameter "x" missing`.
std::string name_fault_text(const parameter_name_fault& fault);

// The station of those arguments, and what is wrong with them: a hemisphere other than
// "N" or "S", or the first parameter outside its range.
struct station_check {
    station_parameters station;
    bool hemisphere_known = true;
    std::optional<input_problem> problem;
};
station_check station_from(const station_arguments& given);

// The name a refusal gives the field of a problem, as the modules' arguments name it (the
// table's name, "capacity_mm" for the capacity), "hemisphere" for a hemisphere that is
// neither.
const char* argument_name(const input_problem& problem);

// Runs `years` years of a station in order. `monthly(y, m)` gives year y's temperature and
// precipitation of month m in the caller's units, converted here to °C and mm exactly as
// run_station converts its files; each result goes to `take(y, result)`, which returns
// false to stop (a caller's interrupt).
template <typename Monthly, typename Take>
void simulate_years(station_simulation& simulation, bool us, std::size_t years, Monthly&& monthly, Take&& take) {
    monthly_series temperature{};
    monthly_series precipitation{};
    for (std::size_t y = 0; y < years; ++y) {
        for (int m = 0; m < months_per_year; ++m) {
            const auto [t, p] = monthly(y, m);
            temperature[m] = us ? fahrenheit_to_celsius(t) : t;
            precipitation[m] = us ? inches_to_mm(p) : p;
        }
        if (!take(y, simulation.simulate_year(temperature, precipitation))) {
            return;
        }
    }
}

// A station folder (or a file prefix) read by run_station's own readers, every rule of
// theirs applied, the monthly values in °C and mm a year after another, January first.
// A fault throws run_failure with run_station's own message.
struct station_read {
    station_parameters station;
    std::vector<std::string> labels;
    std::vector<double> temperature;    // years × 12, °C
    std::vector<double> precipitation;  // years × 12, mm
    std::vector<std::string> warnings;
};
station_read read_station_folder(const std::string& file_prefix, std::optional<double> capacity_mm);

// A run failure's message as the modules raise it: run_station's line, and its detail
// (the system's reason) in parentheses where there is one.
std::string failure_text(const run_failure& failure);

}  // namespace soil_climate::bindings
