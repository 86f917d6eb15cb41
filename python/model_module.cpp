// The Python module's core: a station's years, given as NumPy arrays, run through the
// model's entry point with the GIL released; every result comes back as an array.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "common/input_limits.hpp"
#include "soil_climate/station_simulation.hpp"

namespace py = pybind11;
using namespace soil_climate;

namespace {

using input_array = py::array_t<double, py::array::c_style | py::array::forcecast>;

// How the caller's monthly values are read: °F and inches as in the input files, or the
// model's own °C and mm.
struct units {
    bool us;
    const value_range& temperature;
    const value_range& precipitation;
};

units units_named(const std::string& name) {
    if (name == "us") {
        return {true, air_temperature_fahrenheit, precipitation_inches};
    }
    if (name == "metric") {
        return {false, air_temperature_celsius, precipitation_mm};
    }
    throw py::value_error("units must be \"us\" (deg F and inches) or \"metric\" (deg C and mm), not \"" + name +
                          "\"");
}

std::string year_name(std::size_t year, const std::vector<std::string>& labels) {
    return "year " + std::to_string(year + 1) + " (" + labels[year] + ")";
}

// Refuses, naming the year and the month, a value that is not finite, is a missing-value
// code or lies outside what the model accepts in the caller's units.
void check_value(double value, const value_range& range, std::size_t year, int month,
                 const std::vector<std::string>& labels) {
    const char* problem = nullptr;
    char range_text[96];
    if (!std::isfinite(value)) {
        problem = "is not a finite number";
    } else if (is_missing_value_code(value)) {
        problem = "is a missing-value code, not a measurement";
    } else if (!range.holds(value)) {
        std::snprintf(range_text, sizeof range_text, "lies outside %g to %g %s", range.lowest, range.highest,
                      range.unit);
        problem = range_text;
    }
    if (problem != nullptr) {
        char value_text[32];
        std::snprintf(value_text, sizeof value_text, "%g", value);
        throw py::value_error(year_name(year, labels) + ", " + std::string(month_names[month]) + ": " + range.field + " " +
                              value_text + " " + problem);
    }
}

std::size_t years_of(const input_array& values, const char* name) {
    if (values.ndim() != 2 || values.shape(1) != months_per_year) {
        throw py::value_error(std::string(name) + " must have the shape (years, 12), one row of twelve months a year");
    }
    return static_cast<std::size_t>(values.shape(0));
}

station_parameters station_from(double latitude, const std::string& hemisphere, double capacity_mm,
                                double soil_temp_offset, double amplitude_factor, double phase_shift) {
    if (hemisphere != "N" && hemisphere != "S") {
        throw py::value_error("hemisphere must be \"N\" or \"S\", not \"" + hemisphere + "\"");
    }
    station_parameters station;
    station.latitude = latitude;
    station.hemisphere = static_cast<earth_hemisphere>(hemisphere[0]);
    station.water_holding_capacity = capacity_mm;
    station.soil_temp_offset = soil_temp_offset;
    station.amplitude_factor = amplitude_factor;
    station.phase_shift = phase_shift;
    if (const value_range* range = station_parameter_out_of_range(station)) {
        const char* field = range == &capacity_range ? "capacity_mm" : range->field;
        char text[160];
        std::snprintf(text, sizeof text, "%s must be a number from %g to %g %s", field, range->lowest,
                      range->highest, range->unit);
        throw py::value_error(text);
    }
    return station;
}

template <typename T>
py::array_t<T> array_of(std::size_t years, std::size_t width = 0) {
    if (width == 0) {
        return py::array_t<T>({static_cast<py::ssize_t>(years)});
    }
    return py::array_t<T>({static_cast<py::ssize_t>(years), static_cast<py::ssize_t>(width)});
}

// The simulation: checks every value first, so that a bad one raises before any year is
// simulated, then runs the years with the GIL released.
py::dict simulate(const input_array& temperature, const input_array& precipitation, double latitude,
                  const std::string& hemisphere, double capacity_mm, double soil_temp_offset,
                  double amplitude_factor, double phase_shift, const std::vector<std::string>& labels,
                  const std::string& units_name) {
    const units given = units_named(units_name);
    const std::size_t years = years_of(temperature, "temperature");
    if (years_of(precipitation, "precipitation") != years) {
        throw py::value_error("temperature and precipitation must hold the same number of years");
    }
    if (labels.size() != years) {
        throw py::value_error("labels must name every year, one label a year");
    }
    const station_parameters station =
        station_from(latitude, hemisphere, capacity_mm, soil_temp_offset, amplitude_factor, phase_shift);
    const double* t = temperature.data();
    const double* p = precipitation.data();
    for (std::size_t y = 0; y < years; ++y) {
        for (int m = 0; m < months_per_year; ++m) {
            check_value(t[y * months_per_year + m], given.temperature, y, m, labels);
            check_value(p[y * months_per_year + m], given.precipitation, y, m, labels);
        }
    }

    auto monthly_temperature = array_of<double>(years, months_per_year);
    auto monthly_precipitation = array_of<double>(years, months_per_year);
    auto monthly_pet = array_of<double>(years, months_per_year);
    auto moisture_profile = array_of<double>(years, slant_count);
    auto moisture_calendar = array_of<std::int8_t>(years, days_per_year);
    auto temperature_calendar = array_of<double>(years, days_per_year);
    auto counts = array_of<std::int32_t>(years, 10);
    auto sums = array_of<double>(years, 4);
    auto soil = array_of<double>(years, 2);
    auto regimes = array_of<std::int8_t>(years, 3);
    auto passes = array_of<std::int32_t>(years);
    double* out_t = monthly_temperature.mutable_data();
    double* out_p = monthly_precipitation.mutable_data();
    double* out_pet = monthly_pet.mutable_data();
    double* out_profile = moisture_profile.mutable_data();
    std::int8_t* out_moisture = moisture_calendar.mutable_data();
    double* out_soil_calendar = temperature_calendar.mutable_data();
    std::int32_t* out_counts = counts.mutable_data();
    double* out_sums = sums.mutable_data();
    double* out_soil = soil.mutable_data();
    std::int8_t* out_regimes = regimes.mutable_data();
    std::int32_t* out_passes = passes.mutable_data();

    std::optional<std::string> failure;
    {
        py::gil_scoped_release released;
        try {
            station_simulation simulation(station);
            monthly_series year_t{};
            monthly_series year_p{};
            for (std::size_t y = 0; y < years; ++y) {
                for (int m = 0; m < months_per_year; ++m) {
                    const double tv = t[y * months_per_year + m];
                    const double pv = p[y * months_per_year + m];
                    year_t[m] = given.us ? fahrenheit_to_celsius(tv) : tv;
                    year_p[m] = given.us ? inches_to_mm(pv) : pv;
                }
                const year_result& r = simulation.simulate_year(year_t, year_p);
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
                const regime_counts& c = r.counts;
                const std::int32_t year_counts[10] = {
                    c.year_dry_days, c.year_moist_dry_days, c.year_moist_days, c.dry_days,
                    c.moist_dry_days, c.moist_days, c.longest_moist_run, c.bio8_days,
                    c.summer_dry_run, c.winter_moist_run};
                std::copy(year_counts, year_counts + 10, out_counts + y * 10);
                const double year_sums[4] = {r.summary.annual_precipitation, r.summary.annual_pet,
                                             r.summary.annual_water_balance, r.summary.june_august_balance};
                std::copy(year_sums, year_sums + 4, out_sums + y * 4);
                out_soil[y * 2] = r.soil.mean_soil_temperature;
                out_soil[y * 2 + 1] = r.soil.seasonal_difference;
                out_regimes[y * 3] = static_cast<std::int8_t>(r.moisture_regime);
                out_regimes[y * 3 + 1] = static_cast<std::int8_t>(r.subdivision);
                out_regimes[y * 3 + 2] = static_cast<std::int8_t>(r.temperature_regime);
                out_passes[y] = r.equilibrium_passes;
            }
        } catch (const std::exception& error) {
            failure = error.what();
        }
    }
    if (failure) {
        throw py::value_error(*failure);
    }

    py::dict result;
    result["monthly_temperature"] = monthly_temperature;
    result["monthly_precipitation"] = monthly_precipitation;
    result["monthly_pet"] = monthly_pet;
    result["moisture_profile"] = moisture_profile;
    result["moisture_calendar"] = moisture_calendar;
    result["temperature_calendar"] = temperature_calendar;
    result["counts"] = counts;
    result["sums"] = sums;
    result["soil"] = soil;
    result["regimes"] = regimes;
    result["equilibrium_passes"] = passes;
    return result;
}

std::vector<std::string> names_of(const auto& table) {
    return std::vector<std::string>(table.begin(), table.end());
}

}  // namespace

PYBIND11_MODULE(_model, module) {
    module.doc() = "The soil climate model's entry point, for the soil_climate package.";
    module.def("simulate", &simulate, py::arg("temperature"), py::arg("precipitation"), py::arg("latitude"),
               py::arg("hemisphere"), py::arg("capacity_mm"), py::arg("soil_temp_offset"),
               py::arg("amplitude_factor"), py::arg("phase_shift"), py::arg("labels"), py::arg("units"));
    module.attr("moisture_regime_names") = names_of(moisture_regime_names);
    module.attr("subdivision_names") = names_of(subdivision_names);
    module.attr("temperature_regime_names") = names_of(temperature_regime_names);
}
