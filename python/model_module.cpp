// The Python module's core: a station's years, given as NumPy arrays, run through the
// model's entry point with the GIL released; every result comes back as an array.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "bindings/station_adapter.hpp"
#include "common/hemisphere_check.hpp"
#include "common/input_limits.hpp"
#include "evapotranspiration/day_length_limit.hpp"
#include "model/cell_lanes.hpp"
#include "model/grid_simulation.hpp"
#include "model/regime_tally.hpp"
#include "model/year_fields.hpp"
#include "report/palette.hpp"
#include "soil_climate/station_simulation.hpp"
#include "station_files/run_failure.hpp"

namespace py = pybind11;
using namespace soil_climate;

namespace {

using input_array = py::array_t<double, py::array::c_style | py::array::forcecast>;

using bindings::station_arguments;

// How the caller's monthly values are read: °F and inches as in the input files, or the
// model's own °C and mm.
bindings::monthly_units units_named(const std::string& name) {
    if (const auto units = bindings::units_named(name)) {
        return *units;
    }
    throw py::value_error("units must be \"us\" (deg F and inches) or \"metric\" (deg C and mm), not \"" + name +
                          "\"");
}

std::string year_name(std::size_t year, const std::vector<std::string>& labels) {
    return "year " + std::to_string(year + 1) + " (" + labels[year] + ")";
}

std::string shown(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// Refuses, naming the year and the month, a value that is not finite, is a missing-value
// code or lies outside what the model accepts in the caller's units.
void check_value(double value, const value_range& range, std::size_t year, int month,
                 const std::vector<std::string>& labels) {
    const auto problem = check_monthly_value(value, range, month);
    if (!problem) {
        return;
    }
    throw py::value_error(year_name(year, labels) + ", " + std::string(month_names[month]) + ": " + range.field + " " +
                          shown(value) + " " + problem_words(*problem));
}

std::size_t years_of(const input_array& values, const char* name) {
    if (values.ndim() != 2 || values.shape(1) != months_per_year) {
        throw py::value_error(std::string(name) + " must have the shape (years, 12), one row of twelve months a year");
    }
    return static_cast<std::size_t>(values.shape(0));
}

// The keys of a dict of station parameters, refused (TypeError) unless they are the
// table's names, each once.
void check_names(const py::dict& given) {
    std::vector<std::string> names;
    for (const auto& item : given) {
        if (!py::isinstance<py::str>(item.first)) {
            throw py::type_error("station parameters are named by strings, not " +
                                 std::string(py::str(py::type::of(item.first).attr("__name__"))));
        }
        names.push_back(item.first.cast<std::string>());
    }
    if (const auto fault = bindings::check_parameter_names(names)) {
        throw py::type_error(bindings::name_fault_text(*fault));
    }
}

// A station's parameters from a dict by the table's names, in table order.
bindings::parameter_values parameter_values_of(const py::dict& given) {
    check_names(given);
    bindings::parameter_values values{};
    for (std::size_t i = 0; i < station_parameter_table.size(); ++i) {
        const char* name = station_parameter_table[i].name;
        try {
            values[i] = given[name].cast<double>();
        } catch (const py::cast_error&) {
            throw py::type_error(std::string(name) + " must be a real number");
        }
    }
    return values;
}

station_parameters checked_station(const station_arguments& given) {
    const bindings::station_check check = bindings::station_from(given);
    if (!check.hemisphere_known) {
        throw py::value_error("hemisphere must be \"N\" or \"S\", not \"" + given.hemisphere + "\"");
    }
    if (check.problem) {
        const value_range& range = *check.problem->range;
        char text[160];
        std::snprintf(text, sizeof text, "%s must be a number from %g to %g %s",
                      bindings::argument_name(*check.problem), range.lowest, range.highest, range.unit);
        throw py::value_error(text);
    }
    return check.station;
}

template <typename T>
py::array_t<T> array_of(std::size_t years, std::size_t width = 0) {
    if (width == 0) {
        return py::array_t<T>({static_cast<py::ssize_t>(years)});
    }
    return py::array_t<T>({static_cast<py::ssize_t>(years), static_cast<py::ssize_t>(width)});
}

// One column of the table of a year's fields for every year: float64 for numbers, int32
// for day counts, int8 codes for regimes (their position in the field's name table).
// Text columns are made afterwards, as Python strings.
struct field_column {
    const year_field* field;
    py::array column;
    void* data;
};

std::vector<field_column> field_columns(std::size_t years) {
    std::vector<field_column> columns;
    for (const year_field& field : year_fields) {
        py::array column;
        switch (field.kind) {
            case field_kind::number:
                column = array_of<double>(years);
                break;
            case field_kind::count:
                column = array_of<std::int32_t>(years);
                break;
            case field_kind::category:
                column = array_of<std::int8_t>(years);
                break;
            case field_kind::text:
                continue;
        }
        columns.push_back({&field, column, column.mutable_data()});
    }
    return columns;
}

void store(const field_column& column, std::size_t year, const station_year& row) {
    const double value = column.field->read(row).number;
    switch (column.field->kind) {
        case field_kind::number:
            static_cast<double*>(column.data)[year] = value;
            break;
        case field_kind::count:
            static_cast<std::int32_t*>(column.data)[year] = static_cast<std::int32_t>(value);
            break;
        case field_kind::category:
            static_cast<std::int8_t*>(column.data)[year] = static_cast<std::int8_t>(value);
            break;
        case field_kind::text:
            break;
    }
}

// How often a long simulation looks for signals, in years.
constexpr std::size_t signal_check_years = 4096;

// The simulation: checks every value first, so that a bad one raises before any year is
// simulated, then runs the years with the GIL released.
py::dict simulate(const input_array& temperature, const input_array& precipitation, const station_arguments& given,
                  const std::vector<std::string>& labels, const std::string& units_name, classification_rules rules) {
    const bindings::monthly_units chosen = units_named(units_name);
    const std::size_t years = years_of(temperature, "temperature");
    if (years_of(precipitation, "precipitation") != years) {
        throw py::value_error("temperature and precipitation must hold the same number of years");
    }
    if (labels.size() != years) {
        throw py::value_error("labels must name every year, one label a year");
    }
    const station_parameters station = checked_station(given);
    const double* t = temperature.data();
    const double* p = precipitation.data();
    for (std::size_t y = 0; y < years; ++y) {
        for (int m = 0; m < months_per_year; ++m) {
            check_value(t[y * months_per_year + m], chosen.temperature, y, m, labels);
            check_value(p[y * months_per_year + m], chosen.precipitation, y, m, labels);
        }
    }

    auto monthly_temperature = array_of<double>(years, months_per_year);
    auto monthly_precipitation = array_of<double>(years, months_per_year);
    auto monthly_pet = array_of<double>(years, months_per_year);
    auto moisture_profile = array_of<double>(years, slant_count);
    auto moisture_calendar = array_of<std::int8_t>(years, days_per_year);
    auto temperature_calendar = array_of<double>(years, days_per_year);
    auto passes = array_of<std::int32_t>(years);
    const std::vector<field_column> columns = field_columns(years);
    double* out_t = monthly_temperature.mutable_data();
    double* out_p = monthly_precipitation.mutable_data();
    double* out_pet = monthly_pet.mutable_data();
    double* out_profile = moisture_profile.mutable_data();
    std::int8_t* out_moisture = moisture_calendar.mutable_data();
    double* out_soil_calendar = temperature_calendar.mutable_data();
    std::int32_t* out_passes = passes.mutable_data();

    std::optional<std::string> failure;
    bool interrupted = false;
    bool bad_input = false;
    {
        py::gil_scoped_release released;
        try {
            station_simulation simulation(station, rules);
            const auto monthly = [&](std::size_t y, int m) {
                return std::pair{t[y * months_per_year + m], p[y * months_per_year + m]};
            };
            bindings::simulate_years(simulation, chosen.us, years, monthly, [&](std::size_t y, const year_result& r) {
                std::copy(r.monthly_temperature.begin(), r.monthly_temperature.end(), out_t + y * months_per_year);
                std::copy(r.monthly_precipitation.begin(), r.monthly_precipitation.end(),
                          out_p + y * months_per_year);
                std::copy(r.monthly_pet.begin(), r.monthly_pet.end(), out_pet + y * months_per_year);
                std::copy(r.moisture_profile.begin(), r.moisture_profile.end(), out_profile + y * slant_count);
                for (int d = 0; d < days_per_year; ++d) {
                    out_moisture[y * days_per_year + d] = static_cast<std::int8_t>(r.moisture_calendar[d]);
                }
                std::copy(r.temperature_calendar.begin(), r.temperature_calendar.end(),
                          out_soil_calendar + y * days_per_year);
                const station_year row{labels[y], station, r};
                for (const field_column& column : columns) {
                    store(column, y, row);
                }
                out_passes[y] = r.equilibrium_passes;
                // Ctrl-C and other signals take effect between years: the GIL is taken
                // back briefly every few thousand years (a few milliseconds of work).
                if (y % signal_check_years == signal_check_years - 1) {
                    py::gil_scoped_acquire held;
                    if (PyErr_CheckSignals() != 0) {
                        interrupted = true;
                        return false;
                    }
                }
                return true;
            });
        } catch (const invalid_input& refusal) {
            failure = refusal.what();
            bad_input = true;
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    if (interrupted) {
        throw py::error_already_set();
    }
    if (failure && bad_input) {
        throw py::value_error(*failure);
    }
    if (failure) {
        // A failure of the model itself (the water balance not reaching equilibrium) is no
        // fault of the input.
        throw std::runtime_error(*failure);
    }

    // Every field by its name, in the table's order; text columns as lists of strings.
    py::dict fields;
    auto column = columns.begin();
    const year_result no_year;
    for (const year_field& field : year_fields) {
        if (field.kind != field_kind::text) {
            fields[py::str(std::string(field.name))] = (column++)->column;
            continue;
        }
        py::list texts;
        for (std::size_t y = 0; y < years; ++y) {
            const std::string_view text = field.read({labels[y], station, no_year}).text;
            texts.append(py::str(text.data(), text.size()));
        }
        fields[py::str(std::string(field.name))] = texts;
    }

    py::dict result;
    result["monthly_temperature"] = monthly_temperature;
    result["monthly_precipitation"] = monthly_precipitation;
    result["monthly_pet"] = monthly_pet;
    result["moisture_profile"] = moisture_profile;
    result["moisture_calendar"] = moisture_calendar;
    result["temperature_calendar"] = temperature_calendar;
    result["equilibrium_passes"] = passes;
    result["fields"] = fields;
    return result;
}

// Many cells at once (soil_climate.simulate_grid): monthly arrays (cells, years, 12) in °C
// and mm with NaN for missing months, per-cell arrays (cells,) or a single value for the
// station parameters, and the outputs (cells, years, fields) for the fields of
// grid_field_names, NaN where a year was not simulated. A value no station can have raises
// ValueError with the cell, year and month in its args: (message, cell, year, month).
using strided_array = py::array_t<double, py::array::forcecast>;

// A monthly array (cells, years, 12) where it lies, whatever its strides.
monthly_grid grid_of(const strided_array& values) {
    const auto stride = [&](int axis) { return static_cast<std::ptrdiff_t>(values.strides(axis) / sizeof(double)); };
    return {values.data(), stride(0), stride(1), stride(2)};
}

py::array_t<double> simulate_cells(const strided_array& temperature, const strided_array& precipitation,
                                   const py::dict& parameters, unsigned threads, bool cold_regimes, bool field_major,
                                   int lane_width) {
    if (temperature.ndim() != 3 || temperature.shape(2) != months_per_year ||
        precipitation.ndim() != 3 || precipitation.shape(0) != temperature.shape(0) ||
        precipitation.shape(1) != temperature.shape(1) || precipitation.shape(2) != months_per_year) {
        throw py::value_error("temperature and precipitation must both have the shape (cells, years, 12)");
    }
    const std::size_t cells = static_cast<std::size_t>(temperature.shape(0));
    const std::size_t years = static_cast<std::size_t>(temperature.shape(1));
    const auto per_cell = [&](const input_array& values, const char* name) -> cell_values {
        if (values.size() == 1) {
            return {values.data(), 0};
        }
        if (values.ndim() != 1 || static_cast<std::size_t>(values.shape(0)) != cells) {
            throw py::value_error(std::string(name) + " must hold one value, or one value a cell");
        }
        return {values.data(), 1};
    };
    check_names(parameters);
    // The arrays stay here, alive, while the model reads them without the GIL.
    std::array<input_array, station_parameter_table.size()> arrays;
    grid_inputs inputs{cells,         years, grid_of(temperature), grid_of(precipitation), {}, {.cold_regimes = cold_regimes},
                       lane_width};
    for (std::size_t i = 0; i < station_parameter_table.size(); ++i) {
        const char* name = station_parameter_table[i].name;
        arrays[i] = input_array::ensure(parameters[name]);
        if (!arrays[i]) {
            throw py::type_error(std::string(name) + " must hold real numbers");
        }
        inputs.parameters[i] = per_cell(arrays[i], name);
    }
    const std::size_t field_count = grid_fields().size();
    const auto [first, last] = std::pair{static_cast<py::ssize_t>(field_major ? field_count : cells),
                                         static_cast<py::ssize_t>(field_major ? cells : field_count)};
    py::array_t<double> outputs({first, static_cast<py::ssize_t>(years), last});
    std::optional<grid_problem> problem;
    {
        py::gil_scoped_release released;
        problem = simulate_grid(inputs, {outputs.mutable_data(), cells * years * field_count}, threads,
                                field_major ? grid_output_order::field_major : grid_output_order::cell_major);
    }
    if (problem) {
        const input_problem& found = problem->problem;
        std::string what;
        if (found.range == nullptr) {
            what = "the hemisphere is not north or south";
        } else {
            what = std::string(bindings::argument_name(found)) + " " + shown(found.value) + " " + problem_words(found);
        }
        PyErr_SetObject(PyExc_ValueError,
                        py::make_tuple(what, problem->cell, found.month < 0 ? -1 : static_cast<long>(problem->year),
                                       found.month)
                            .ptr());
        throw py::error_already_set();
    }
    return outputs;
}

// Each cell's years of each class of a regime table, and its most frequent class, from the
// codes of its years along the last axis (NaN or negative for a year without a class):
// (counts (..., classes), most frequent (...) with -1 where no year has a class).
py::tuple class_tallies(const input_array& codes, std::size_t classes) {
    if (codes.ndim() < 1 || classes == 0) {
        throw py::value_error("class_tallies needs codes along a last axis of years, and one class or more");
    }
    const std::size_t years = static_cast<std::size_t>(codes.shape(codes.ndim() - 1));
    std::vector<py::ssize_t> shape(codes.shape(), codes.shape() + codes.ndim());
    // Counted from the shape, so that cells of no year have their counts too (all 0).
    std::size_t cells = 1;
    for (py::ssize_t axis = 0; axis + 1 < codes.ndim(); ++axis) {
        cells *= static_cast<std::size_t>(codes.shape(axis));
    }
    shape.back() = static_cast<py::ssize_t>(classes);
    py::array_t<std::int32_t> counts(shape);
    shape.pop_back();
    py::array_t<std::int8_t> most(shape);
    {
        py::gil_scoped_release released;
        const std::span<std::int32_t> all(counts.mutable_data(), cells * classes);
        std::fill(all.begin(), all.end(), 0);
        for (std::size_t cell = 0; cell < cells; ++cell) {
            const std::span<int> tally = all.subspan(cell * classes, classes);
            tally_codes({codes.data() + cell * years, years}, tally);
            const bool any = std::any_of(tally.begin(), tally.end(), [](int n) { return n > 0; });
            most.mutable_data()[cell] = any ? static_cast<std::int8_t>(most_frequent(tally)) : std::int8_t{-1};
        }
    }
    return py::make_tuple(counts, most);
}

// A station folder (or a file prefix) read by run_station's own readers, every rule of
// theirs applied: what soil_climate.read_station hands to simulate. The monthly values come
// converted as run_station converts them, in °C and mm. A fault raises ValueError with
// run_station's own message.
py::dict read_station_files(const std::string& file_prefix, std::optional<double> capacity_mm) {
    try {
        const bindings::station_read read = bindings::read_station_folder(file_prefix, capacity_mm);
        const std::size_t years = read.labels.size();
        auto temperature = array_of<double>(years, months_per_year);
        auto precipitation = array_of<double>(years, months_per_year);
        std::copy(read.temperature.begin(), read.temperature.end(), temperature.mutable_data());
        std::copy(read.precipitation.begin(), read.precipitation.end(), precipitation.mutable_data());
        const station_parameters& station = read.station;
        py::dict found;
        found["temperature"] = temperature;
        found["precipitation"] = precipitation;
        found["units"] = "metric";
        // Every parameter by its name, the hemisphere after the latitude as in the file.
        for (const station_parameter& parameter : station_parameter_table) {
            found[parameter.name] = station.*parameter.value;
            if (parameter.value == &station_parameters::latitude) {
                found["hemisphere"] = std::string(1, hemisphere_letter(station.hemisphere));
            }
        }
        found["labels"] = py::cast(read.labels);
        found["station_name"] = station.station_name;
        found["warnings"] = py::cast(read.warnings);
        return found;
    } catch (const run_failure& failure) {
        throw py::value_error(bindings::failure_text(failure));
    }
}

// A problem that the library's check found, for Python: None, or a dict of the field, the
// value and the range allowed.
py::object as_python(const std::optional<input_problem>& problem) {
    if (!problem) {
        return py::none();
    }
    py::dict found;
    if (problem->range == nullptr) {
        found["field"] = "hemisphere";
        return found;
    }
    found["field"] = problem->range->field;
    found["value"] = problem->value;
    found["lowest"] = problem->range->lowest;
    found["highest"] = problem->range->highest;
    found["unit"] = problem->range->unit;
    return found;
}

// The library's check of a station's parameters, for the importer: None, or the field
// that the model cannot take with its value and allowed range.
py::object check_station_for_python(const std::string& hemisphere, const py::dict& parameters) {
    const bindings::parameter_values values = parameter_values_of(parameters);
    station_parameters station;
    station.hemisphere = hemisphere.size() == 1 ? static_cast<earth_hemisphere>(hemisphere[0]) : earth_hemisphere{};
    for (std::size_t i = 0; i < station_parameter_table.size(); ++i) {
        station.*station_parameter_table[i].value = values[i];
    }
    return as_python(check_station(station));
}

// The table of a year's fields for Python: name, unit, meaning, kind ("text", "number",
// "count" or "category"), source ("station" or "year") and a category's names.
py::list year_field_table() {
    static constexpr const char* kinds[] = {"text", "number", "count", "category"};
    py::list table;
    for (const year_field& field : year_fields) {
        py::list categories;
        for (const std::string_view name : field.categories) {
            categories.append(py::str(name.data(), name.size()));
        }
        table.append(py::make_tuple(std::string(field.name), std::string(field.unit), std::string(field.meaning),
                                    kinds[static_cast<int>(field.kind)],
                                    field.source == field_source::station ? "station" : "year", py::tuple(categories)));
    }
    return table;
}

std::vector<std::string> names_of(const auto& table) {
    return std::vector<std::string>(table.begin(), table.end());
}

}  // namespace

PYBIND11_MODULE(_model, module) {
    module.doc() = "The soil climate model's entry point, for the soil_climate package.";
    module.def(
        "simulate",
        [](const input_array& temperature, const input_array& precipitation, const py::dict& parameters,
           const std::string& hemisphere, const std::vector<std::string>& labels, const std::string& units,
           const std::string& station_name, bool cold_regimes) {
            return simulate(temperature, precipitation, {parameter_values_of(parameters), hemisphere, station_name},
                            labels, units, {.cold_regimes = cold_regimes});
        },
        py::arg("temperature"), py::arg("precipitation"), py::arg("parameters"), py::arg("hemisphere"),
        py::arg("labels"), py::arg("units"), py::arg("station_name"), py::arg("cold_regimes") = false,
        "A station's years: the station parameters a dict by the names of station_parameters, the latitude "
        "a magnitude.");
    module.attr("year_fields") = year_field_table();
    module.def("read_station_files", &read_station_files, py::arg("file_prefix"), py::arg("capacity_mm") = py::none());
    module.def("simulate_cells", &simulate_cells, py::arg("temperature"), py::arg("precipitation"),
               py::arg("parameters"), py::arg("threads") = 0, py::arg("cold_regimes") = false,
               py::arg("field_major") = false, py::arg("lane_width") = 0,
               "Many cells: the station parameters a dict by the names of station_parameters, each one value "
               "or one a cell, the latitude signed. lane_width: cells side by side, 0 the default or one of "
               "lane_widths.");
    module.attr("lane_widths") = lane_widths();
    module.def("class_tallies", &class_tallies, py::arg("codes"), py::arg("classes"));
    {
        py::list names;
        for (const year_field* field : grid_fields()) {
            names.append(std::string(field->name));
        }
        module.attr("grid_field_names") = names;
    }
    module.def("check_station", &check_station_for_python, py::arg("hemisphere"), py::arg("parameters"));
    module.def("is_missing_value_code", &is_missing_value_code, py::arg("value"));
    module.def(
        "hemisphere_doubt",
        [](const std::string& hemisphere, const monthly_series& mean_temperature) -> py::object {
            if (hemisphere != "N" && hemisphere != "S") {
                return py::none();
            }
            const auto doubt = hemisphere_doubt(static_cast<earth_hemisphere>(hemisphere[0]), mean_temperature);
            return doubt ? py::object(py::str(*doubt)) : py::none();
        },
        py::arg("hemisphere"), py::arg("mean_temperature"),
        "The warning for a station whose warmest months belong to the other hemisphere, or None.");
    module.attr("__version__") = SOIL_CLIMATE_VERSION;
    module.def(
        "phase_shift_doubt",
        []() { return *phase_shift_doubt(earth_hemisphere::south, 0.0); },
        "The warning for a southern station given a phase shift of 0 days.");
    module.def(
        "day_length_limit_notice",
        [](double latitude) -> py::object {
            const auto notice = day_length_limit_notice(latitude);
            return notice ? py::object(py::str(*notice)) : py::none();
        },
        py::arg("latitude"),
        "The notice for a latitude (signed or a magnitude) beyond the day-length tables, or None.");
    module.attr("day_length_table_limit") = day_length_table_limit;
    module.def(
        "check_monthly_value",
        [](double value, const std::string& quantity) -> py::object {
            const value_range* range = quantity == "temperature_f"      ? &air_temperature_fahrenheit
                                       : quantity == "precipitation_in" ? &precipitation_inches
                                       : quantity == "temperature_c"    ? &air_temperature_celsius
                                       : quantity == "precipitation_mm" ? &precipitation_mm
                                                                        : nullptr;
            if (range == nullptr) {
                throw py::value_error("quantity must be temperature_f, precipitation_in, temperature_c or "
                                      "precipitation_mm, not \"" + quantity + "\"");
            }
            return as_python(check_monthly_value(value, *range, 0));
        },
        py::arg("value"), py::arg("quantity"),
        "The library's check of one monthly value in the given units: None, or what is wrong.");
    module.attr("longest_input_word") = longest_input_word;
    {
        // The station parameters: name, unit, lowest, highest, default in the north and
        // in the south (None where there is none), meaning.
        py::list parameters;
        for (const station_parameter& parameter : station_parameter_table) {
            const py::object north =
                parameter.has_default ? py::object(py::float_(parameter.default_value)) : py::none();
            const py::object south =
                parameter.has_default ? py::object(py::float_(parameter.southern_value)) : py::none();
            parameters.append(py::make_tuple(parameter.name, parameter.range->unit, parameter.range->lowest,
                                             parameter.range->highest, north, south, parameter.meaning));
        }
        module.attr("station_parameters") = parameters;
    }
    module.attr("largest_capacity_mm") = capacity_range.highest;
    {
        py::list colours;
        for (std::size_t i = 0; i < moisture_regime_names.size(); ++i) {
            colours.append(std::string(moisture_regime_colour(static_cast<soil_moisture_regime>(i))));
        }
        module.attr("moisture_regime_colours") = colours;  // as the station page draws them
        py::list temperature_colours;
        for (std::size_t i = 0; i < temperature_regime_names.size(); ++i) {
            temperature_colours.append(std::string(temperature_regime_colour(static_cast<soil_temperature_regime>(i))));
        }
        module.attr("temperature_regime_colours") = temperature_colours;
        py::list code_colours;
        for (int code = 1; code <= static_cast<int>(moisture_code_names.size()); ++code) {
            code_colours.append(std::string(moisture_code_colour(static_cast<moisture_code>(code))));
        }
        module.attr("moisture_code_colours") = code_colours;  // dry, partly dry and partly moist, moist
        module.attr("moisture_code_names") = names_of(moisture_code_names);
    }
    module.attr("moisture_regime_names") = names_of(moisture_regime_names);
    module.attr("subdivision_names") = names_of(subdivision_names);
    module.attr("temperature_regime_names") = names_of(temperature_regime_names);
    module.attr("first_cold_regime") = index_of_first_cold_regime;  // Pergelic, then Cryic
}
