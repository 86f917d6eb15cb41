#include "bindings/station_adapter.hpp"

#include <algorithm>
#include <cstdio>

#include "inputs/input_records.hpp"
#include "inputs/station_inputs.hpp"
#include "station_files/run_files.hpp"

namespace soil_climate::bindings {

std::optional<monthly_units> units_named(std::string_view name) {
    if (name == "us") {
        return monthly_units{true, air_temperature_fahrenheit, precipitation_inches};
    }
    if (name == "metric") {
        return monthly_units{false, air_temperature_celsius, precipitation_mm};
    }
    return std::nullopt;
}

station_check station_from(const station_arguments& given) {
    station_check check;
    if (given.hemisphere != "N" && given.hemisphere != "S") {
        check.hemisphere_known = false;
        return check;
    }
    station_parameters& station = check.station;
    station.hemisphere = static_cast<earth_hemisphere>(given.hemisphere[0]);
    for (std::size_t i = 0; i < station_parameter_table.size(); ++i) {
        station.*station_parameter_table[i].value = given.values[i];
    }
    station.station_name = given.station_name;
    check.problem = check_station(station);
    return check;
}

std::optional<parameter_name_fault> check_parameter_names(const std::vector<std::string>& names) {
    using kind = parameter_name_fault::kind;
    for (auto name = names.begin(); name != names.end(); ++name) {
        if (station_parameter_index(*name) == station_parameter_table.size()) {
            return parameter_name_fault{kind::unknown, *name};
        }
        if (std::find(names.begin(), name, *name) != name) {
            return parameter_name_fault{kind::repeated, *name};
        }
    }
    for (const station_parameter& parameter : station_parameter_table) {
        if (std::find(names.begin(), names.end(), parameter.name) == names.end()) {
            return parameter_name_fault{kind::missing, parameter.name};
        }
    }
    return std::nullopt;
}

std::string name_fault_text(const parameter_name_fault& fault) {
    switch (fault.fault) {
        case parameter_name_fault::kind::unknown:
            return "unknown station parameter \"" + fault.name + "\"";
        case parameter_name_fault::kind::repeated:
            return "station parameter \"" + fault.name + "\" given twice";
        case parameter_name_fault::kind::missing:
            break;
    }
    return "station parameter \"" + fault.name + "\" missing";
}

const char* argument_name(const input_problem& problem) {
    if (problem.range == nullptr) {
        return "hemisphere";
    }
    for (const station_parameter& parameter : station_parameter_table) {
        if (parameter.range == problem.range) {
            return parameter.name;
        }
    }
    return problem.range->field;
}

station_read read_station_folder(const std::string& file_prefix, std::optional<double> capacity_mm) {
    std::optional<capacity_argument> capacity;
    if (capacity_mm) {
        char text[32];
        std::snprintf(text, sizeof text, "%.17g", *capacity_mm);
        capacity = capacity_argument{*capacity_mm, text};
    }
    station_read read;
    const run_files files = name_run_files(file_prefix);
    station_inputs inputs(files, file_prefix, file_prefix, capacity,
                          [&](const std::string& warning) { read.warnings.push_back(warning); });
    const auto years = static_cast<std::size_t>(inputs.checked.year_count);
    read.temperature.reserve(years * months_per_year);
    read.precipitation.reserve(years * months_per_year);
    year_record record;
    for (std::size_t y = 0; y < years; ++y) {
        read_year(*inputs.temperature, *inputs.precipitation, static_cast<int>(y) + 1, record);
        read.temperature.insert(read.temperature.end(), record.inputs.monthly_temperature.begin(),
                                record.inputs.monthly_temperature.end());
        read.precipitation.insert(read.precipitation.end(), record.inputs.monthly_precipitation.begin(),
                                  record.inputs.monthly_precipitation.end());
        read.labels.push_back(record.year_label);
    }
    read.station = inputs.station;
    return read;
}

std::string failure_text(const run_failure& failure) {
    if (failure.detail().empty()) {
        return failure.what();
    }
    return failure.what() + std::string(" (") + failure.detail() + ")";
}

}  // namespace soil_climate::bindings
