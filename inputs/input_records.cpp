#include "inputs/input_records.hpp"

#include <climits>
#include <cstdio>

#include "common/hemisphere_check.hpp"
#include "station_files/run_failure.hpp"
#include "station_files/run_files.hpp"

namespace soil_climate {
namespace {

void check_readable(const text_scanner& scanner) {
    if (scanner.failed()) {
        throw run_failure(scanner.file_name() + ": the file cannot be read.");
    }
}

std::string shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

double read_parameter_number(text_scanner& scanner, const char* field) {
    double value = 0.0;
    std::string_view text;
    switch (scanner.read_number(value, text)) {
        case text_scanner::number_status::read:
            return value;
        case text_scanner::number_status::end_of_file:
            check_readable(scanner);
            throw run_failure(scanner.file_name() + ": the record ends before field " + field + ".");
        case text_scanner::number_status::not_a_number:
            break;
    }
    throw run_failure(scanner.file_name() + ": field " + field + " \"" + printable(text) +
                      "\" is not a finite number.");
}

void check_range(const text_scanner& scanner, const value_range& range, double value) {
    if (check_parameter(range, value)) {
        throw run_failure(scanner.file_name() + ": field " + range.field + " " + shown(value) + " is outside " +
                          shown(range.lowest) + " to " + shown(range.highest) + " " + range.unit + ".");
    }
}

std::string record_name(const std::string& file_name, int record_number, const std::string& label) {
    return file_name + ": record " + std::to_string(record_number) + " (" + printable(label) + ")";
}

}  // namespace

station_parameters read_station_parameters(text_scanner& scanner, warning_list& warnings) {
    const double latitude = read_parameter_number(scanner, "latitude");
    char hemisphere = 0;
    if (!scanner.read_char(hemisphere)) {
        check_readable(scanner);
        throw run_failure(scanner.file_name() + ": the record ends before field hemisphere.");
    }
    // A parameter that the record does not hold keeps its default for the station's
    // hemisphere; the fields of the record replace the rest.
    station_parameters station = station_with_defaults(
        hemisphere == hemisphere_letter(earth_hemisphere::south) ? earth_hemisphere::south : earth_hemisphere::north);
    station.latitude = latitude;
    station.water_holding_capacity = inches_to_mm(read_parameter_number(scanner, "water_holding_capacity"));
    station.soil_temp_offset = read_parameter_number(scanner, "soil_temp_offset");
    station.amplitude_factor = read_parameter_number(scanner, "amplitude_factor");
    station.phase_shift = read_parameter_number(scanner, "phase_shift");
    if (!scanner.read_word(station.station_name)) {
        check_readable(scanner);
        throw run_failure(scanner.file_name() + ": the record ends before field station_name.");
    }
    const std::string rest = scanner.rest_of_line();
    scanner.skip_to_end();

    // The hemisphere letter is case-sensitive; any other letter would leave PET at zero
    // and the solstice windows undefined.
    if (hemisphere != hemisphere_letter(earth_hemisphere::north) &&
        hemisphere != hemisphere_letter(earth_hemisphere::south)) {
        throw run_failure(scanner.file_name() + ": field hemisphere \"" + printable(std::string(1, hemisphere)) +
                          "\" is not N or S.");
    }
    station.hemisphere = static_cast<earth_hemisphere>(hemisphere);
    // The latitude is a magnitude (the hemisphere letter says north or south); soil
    // temperature parameters beyond their ranges would make days of the calendar
    // non-finite or meaningless. The capacity is checked where the capacity in force is
    // known: the command line's replaces this one.
    for (const station_parameter& parameter : station_parameter_table) {
        if (parameter.range != &capacity_range) {
            check_range(scanner, *parameter.range, station.*parameter.value);
        }
    }

    if (!rest.empty()) {
        warnings.push_back(scanner.file_name() + ": the text after the station name, \"" + printable(rest) +
                           "\", is not read; the station is named \"" + printable(station.station_name) +
                           "\" (a name is one word: join its words with underscores).");
    }
    if (const auto doubt = phase_shift_doubt(station.hemisphere, station.phase_shift)) {
        warnings.push_back(scanner.file_name() + ": " + *doubt + ".");
    }
    return station;
}

void check_year_label(const std::string& file_name, int record_number, const std::string& label,
                      const std::string& file_prefix) {
    const std::size_t prefix_name_length = file_prefix.size() - (file_prefix.rfind('/') + 1);
    const char* problem = nullptr;
    if (is_run_file_suffix(label)) {
        problem = "the label is the name of one of the run's own files";
    } else if (label.find('/') != std::string::npos) {
        problem = "the label holds a path separator";
    } else if (label == "." || label == "..") {
        problem = "the label names a folder";
    } else if (label.starts_with(temporary_file_marker)) {
        problem = "the label has the form of the run's temporary file names";
    } else if (prefix_name_length + label.size() > NAME_MAX) {
        problem = "the label is too long for a file name";
    }
    if (problem != nullptr) {
        throw run_failure(record_name(file_name, record_number, label) + ": " + problem +
                          "; it cannot name the year's report.");
    }
}

void read_monthly_record(text_scanner& scanner, int record_number, const value_range& quantity,
                         std::string& label, monthly_series& values) {
    if (!scanner.read_word(label)) {
        check_readable(scanner);
        throw run_failure(scanner.file_name() + ": record " + std::to_string(record_number) + " is missing.");
    }
    std::string_view text;
    for (int m = 0; m < months_per_year; ++m) {
        const auto refuse = [&](const std::string& problem) {
            throw run_failure(record_name(scanner.file_name(), record_number, label) + ": " + std::string(month_names[m]) +
                              " value \"" + printable(text) + "\" " + problem);
        };
        switch (scanner.read_number(values[m], text)) {
            case text_scanner::number_status::read:
                break;
            case text_scanner::number_status::end_of_file:
                check_readable(scanner);
                throw run_failure(record_name(scanner.file_name(), record_number, label) + ": the file ends after " +
                                  std::to_string(m) + " of 12 values.");
            case text_scanner::number_status::not_a_number:
                refuse("is not a finite number.");
        }
        if (const auto problem = check_monthly_value(values[m], quantity, m)) {
            if (problem->fault == input_fault::missing_value_code) {
                refuse("is a missing-value code, not a measurement.");
            }
            refuse("lies outside " + shown(quantity.lowest) + " to " + shown(quantity.highest) + " " + quantity.unit +
                   ".");
        }
    }
}

bool read_year(text_scanner& temperature, text_scanner& precipitation, int year_number, year_record& year) {
    if (temperature.at_end()) {
        check_readable(temperature);
        return false;
    }
    read_monthly_record(temperature, year_number, air_temperature_fahrenheit, year.temperature_label,
                        year.inputs.monthly_temperature);
    if (precipitation.at_end()) {
        check_readable(precipitation);
        throw run_failure(precipitation.file_name() + ": no record for year " + std::to_string(year_number) + " (" +
                          printable(year.temperature_label) + ") of the temperature file.");
    }
    read_monthly_record(precipitation, year_number, precipitation_inches, year.year_label,
                        year.inputs.monthly_precipitation);

    for (double& value : year.inputs.monthly_precipitation) {
        value = inches_to_mm(value);
    }
    for (double& value : year.inputs.monthly_temperature) {
        value = fahrenheit_to_celsius(value);
    }
    return true;
}

}  // namespace soil_climate
