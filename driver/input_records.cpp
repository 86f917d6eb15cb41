#include "driver/input_records.hpp"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "driver/run_failure.hpp"

namespace soil_climate {
namespace {

constexpr std::array<const char*, months_per_year> month_names{
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December",
};

void check_readable(const text_scanner& scanner, const std::string& file_name) {
    if (scanner.failed()) {
        throw run_failure(file_name + ": the file cannot be read.");
    }
}

double read_parameter_number(text_scanner& scanner, const std::string& file_name, const char* field) {
    std::string word;
    if (!scanner.read_word(word)) {
        check_readable(scanner, file_name);
        throw run_failure(file_name + ": the record ends before field " + field + ".");
    }
    double value = 0.0;
    if (!parse_finite_number(word, value)) {
        throw run_failure(file_name + ": field " + field + " \"" + word + "\" is not a finite number.");
    }
    return value;
}

std::string record_name(const record_position& position, const std::string& label) {
    return position.file_name + ": record " + std::to_string(position.record_number) + " (" + label + ")";
}

}  // namespace

void check_year_label(const record_position& position, const std::string& label) {
    const char* problem = nullptr;
    if (is_run_file_suffix(label)) {
        problem = "the label is the name of one of the run's own files";
    } else if (label.find('/') != std::string::npos) {
        problem = "the label holds a path separator";
    } else if (label.find('\0') != std::string::npos) {
        problem = "the label holds a NUL byte";
    } else if (label == "." || label == "..") {
        problem = "the label names a folder";
    }
    if (problem != nullptr) {
        throw run_failure(record_name(position, label) + ": " + problem + "; it cannot name the year's report.");
    }
}

bool parse_finite_number(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    const double parsed = std::strtod(text.c_str(), &end);
    // A value beyond the range of a double comes back as infinity: not finite either.
    if (end != text.c_str() + text.size() || !std::isfinite(parsed)) {
        return false;
    }
    value = parsed;
    return true;
}

station_parameters read_station_parameters(text_scanner& scanner, const std::string& file_name) {
    station_parameters station;
    station.latitude = read_parameter_number(scanner, file_name, "latitude");
    char hemisphere = 0;
    if (!scanner.read_char(hemisphere)) {
        check_readable(scanner, file_name);
        throw run_failure(file_name + ": the record ends before field hemisphere.");
    }
    station.water_holding_capacity = inches_to_mm(read_parameter_number(scanner, file_name, "water_holding_capacity"));
    station.soil_temp_offset = read_parameter_number(scanner, file_name, "soil_temp_offset");
    station.amplitude_factor = read_parameter_number(scanner, file_name, "amplitude_factor");
    station.phase_shift = read_parameter_number(scanner, file_name, "phase_shift");
    if (!scanner.read_word(station.station_name)) {
        check_readable(scanner, file_name);
        throw run_failure(file_name + ": the record ends before field station_name.");
    }

    // The hemisphere letter is case-sensitive; any other letter would leave PET at zero
    // and the solstice windows undefined.
    if (hemisphere != hemisphere_letter(earth_hemisphere::north) &&
        hemisphere != hemisphere_letter(earth_hemisphere::south)) {
        throw run_failure(file_name + ": field hemisphere \"" + hemisphere + "\" is not N or S.");
    }
    station.hemisphere = static_cast<earth_hemisphere>(hemisphere);
    // The latitude is a magnitude; the hemisphere letter says north or south.
    if (station.latitude < 0.0 || station.latitude > 90.0) {
        char latitude[32];
        std::snprintf(latitude, sizeof latitude, "%g", station.latitude);
        throw run_failure(file_name + ": field latitude " + latitude + " is outside 0 to 90 degrees.");
    }
    return station;
}

void read_monthly_record(text_scanner& scanner, const record_position& position, const value_range& quantity,
                         std::string& label, monthly_series& values) {
    if (!scanner.read_word(label)) {
        check_readable(scanner, position.file_name);
        throw run_failure(position.file_name + ": record " + std::to_string(position.record_number) +
                          " is missing.");
    }
    std::string word;
    for (int m = 0; m < months_per_year; ++m) {
        if (!scanner.read_word(word)) {
            check_readable(scanner, position.file_name);
            throw run_failure(record_name(position, label) + ": the file ends after " + std::to_string(m) +
                              " of 12 values.");
        }
        const auto refuse = [&](const std::string& problem) {
            throw run_failure(record_name(position, label) + ": " + month_names[m] + " value \"" + word + "\" " +
                              problem);
        };
        if (!parse_finite_number(word, values[m])) {
            refuse("is not a finite number.");
        }
        if (is_missing_value_code(values[m])) {
            refuse("is a missing-value code, not a measurement.");
        }
        if (values[m] < quantity.lowest || values[m] > quantity.highest) {
            char range[64];
            std::snprintf(range, sizeof range, "lies outside %g to %g %s.", quantity.lowest, quantity.highest,
                          quantity.unit);
            refuse(range);
        }
    }
}

bool read_year(text_scanner& temperature, text_scanner& precipitation, const run_files& files, int year_number,
               std::string& year_label, year_inputs& year) {
    if (temperature.at_end()) {
        check_readable(temperature, files.temperature);
        return false;
    }
    read_monthly_record(temperature, {files.temperature, year_number}, air_temperature_fahrenheit, year_label,
                        year.monthly_temperature);
    if (precipitation.at_end()) {
        check_readable(precipitation, files.precipitation);
        throw run_failure(files.precipitation + ": no record for year " + std::to_string(year_number) + " (" +
                          year_label + ") of the temperature file.");
    }
    const record_position position{files.precipitation, year_number};
    read_monthly_record(precipitation, position, precipitation_inches, year_label, year.monthly_precipitation);
    check_year_label(position, year_label);

    for (double& value : year.monthly_precipitation) {
        value = inches_to_mm(value);
    }
    for (double& value : year.monthly_temperature) {
        value = fahrenheit_to_celsius(value);
    }
    return true;
}

}  // namespace soil_climate
