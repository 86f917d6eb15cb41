// The R package's core: a station's years, given as R matrices, run through the model's
// entry point, every field of the year handed back as a column; a station folder read by
// run_station's own readers; and many raster cells run through the many-cell entry point.
#include <Rcpp.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "bindings/station_adapter.hpp"
#include "common/hemisphere_check.hpp"
#include "common/input_limits.hpp"
#include "evapotranspiration/day_length_limit.hpp"
#include "model/grid_simulation.hpp"
#include "model/year_fields.hpp"
#include "report/palette.hpp"
#include "soil_climate/station_simulation.hpp"
#include "station_files/run_failure.hpp"

using namespace soil_climate;

namespace {

// How often a long call looks for Ctrl-C: every so many years, or cells of a raster.
constexpr std::size_t interrupt_check_years = 1024;
constexpr std::size_t cells_per_chunk = 4096;

// A value as a message shows it; R's NA (a NaN) as NA.
std::string shown(double value) {
    if (std::isnan(value)) {
        return "NA";
    }
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// The caller's units: deg F and inches ("us") or deg C and mm ("metric").
bindings::monthly_units units_named(const std::string& units) {
    const auto named = bindings::units_named(units);
    if (!named) {
        Rcpp::stop("units must be \"metric\" (deg C and mm) or \"us\" (deg F and inches), not \"" + units + "\"");
    }
    return *named;
}

station_parameters checked_station(const bindings::station_arguments& given) {
    const bindings::station_check check = bindings::station_from(given);
    if (!check.hemisphere_known) {
        Rcpp::stop("hemisphere must be \"N\" or \"S\", not \"" + given.hemisphere + "\"");
    }
    if (check.problem) {
        Rcpp::stop(std::string(bindings::argument_name(*check.problem)) + " " + shown(check.problem->value) + " " +
                   problem_words(*check.problem));
    }
    return check.station;
}

// The names of a named vector or list of station parameters, refused unless they are the
// table's names, each once. Returns each parameter's place in `given`, in table order.
std::array<R_xlen_t, station_parameter_table.size()> parameter_places(SEXP given) {
    const SEXP names_attribute = Rf_getAttrib(given, R_NamesSymbol);
    if (Rf_isNull(names_attribute)) {
        Rcpp::stop("the station parameters must be named");
    }
    const std::vector<std::string> names = Rcpp::as<std::vector<std::string>>(names_attribute);
    if (const auto fault = bindings::check_parameter_names(names)) {
        Rcpp::stop(bindings::name_fault_text(*fault));
    }
    std::array<R_xlen_t, station_parameter_table.size()> places{};
    for (std::size_t i = 0; i < station_parameter_table.size(); ++i) {
        places[i] = std::find(names.begin(), names.end(), station_parameter_table[i].name) - names.begin();
    }
    return places;
}

}  // namespace

// [[Rcpp::export(.simulate_years)]]
Rcpp::List simulate_years(const Rcpp::NumericMatrix& temperature, const Rcpp::NumericMatrix& precipitation,
                          const Rcpp::NumericVector& parameters, const std::string& hemisphere,
                          const std::vector<std::string>& labels, const std::string& units,
                          const std::string& station_name, bool cold_regimes) {
    const bindings::monthly_units chosen = units_named(units);
    const value_range& t_range = chosen.temperature;
    const value_range& p_range = chosen.precipitation;
    const auto years = static_cast<std::size_t>(temperature.nrow());
    bindings::station_arguments given{{}, hemisphere, station_name};
    const auto places = parameter_places(parameters);
    for (std::size_t i = 0; i < places.size(); ++i) {
        given.values[i] = parameters[places[i]];
    }
    const station_parameters station = checked_station(given);
    // Every value is checked before any year is simulated, each refusal naming its year
    // and month.
    for (std::size_t y = 0; y < years; ++y) {
        for (int m = 0; m < months_per_year; ++m) {
            for (const auto& [values, range] : {std::pair{&temperature, &t_range}, std::pair{&precipitation, &p_range}}) {
                const double value = (*values)(y, m);
                if (const auto problem = check_monthly_value(value, *range, m)) {
                    Rcpp::stop("year " + std::to_string(y + 1) + " (" + labels[y] + "), " +
                               std::string(month_names[m]) + ": " + range->field + " " + shown(value) + " " +
                               problem_words(*problem));
                }
            }
        }
    }

    Rcpp::NumericMatrix out_t(years, months_per_year), out_p(years, months_per_year), out_pet(years, months_per_year);
    Rcpp::NumericMatrix profile(years, slant_count), soil_calendar(years, days_per_year);
    Rcpp::IntegerMatrix moisture_calendar(years, days_per_year);
    Rcpp::IntegerVector passes(years);
    // One column a field of the year's table: doubles for numbers, integers for day
    // counts and regime codes (a factor's, from 1), strings for text.
    std::vector<Rcpp::NumericVector> numbers(year_fields.size());
    std::vector<Rcpp::IntegerVector> integers(year_fields.size());
    std::vector<Rcpp::CharacterVector> texts(year_fields.size());
    for (std::size_t f = 0; f < year_fields.size(); ++f) {
        switch (year_fields[f].kind) {
            case field_kind::number:
                numbers[f] = Rcpp::NumericVector(years);
                break;
            case field_kind::text:
                texts[f] = Rcpp::CharacterVector(years);
                break;
            case field_kind::count:
            case field_kind::category:
                integers[f] = Rcpp::IntegerVector(years);
                break;
        }
    }

    station_simulation simulation(station, {.cold_regimes = cold_regimes});
    const auto monthly = [&](std::size_t y, int m) {
        return std::pair{temperature(static_cast<int>(y), m), precipitation(static_cast<int>(y), m)};
    };
    bindings::simulate_years(simulation, chosen.us, years, monthly, [&](std::size_t y, const year_result& r) {
        for (int m = 0; m < months_per_year; ++m) {
            out_t(y, m) = r.monthly_temperature[m];
            out_p(y, m) = r.monthly_precipitation[m];
            out_pet(y, m) = r.monthly_pet[m];
        }
        for (int s = 0; s < slant_count; ++s) {
            profile(y, s) = r.moisture_profile[s];
        }
        for (int d = 0; d < days_per_year; ++d) {
            moisture_calendar(y, d) = static_cast<int>(r.moisture_calendar[d]);
            soil_calendar(y, d) = r.temperature_calendar[d];
        }
        passes[y] = r.equilibrium_passes;
        const station_year row{labels[y], station, r};
        for (std::size_t f = 0; f < year_fields.size(); ++f) {
            const field_value value = year_fields[f].read(row);
            switch (year_fields[f].kind) {
                case field_kind::number:
                    numbers[f][y] = value.number;
                    break;
                case field_kind::text:
                    texts[f][y] = std::string(value.text);
                    break;
                case field_kind::count:
                    integers[f][y] = static_cast<int>(value.number);
                    break;
                case field_kind::category:
                    integers[f][y] = static_cast<int>(value.number) + 1;
                    break;
            }
        }
        if (y % interrupt_check_years == interrupt_check_years - 1) {
            Rcpp::checkUserInterrupt();
        }
        return true;
    });
    Rcpp::List columns(year_fields.size());
    for (std::size_t f = 0; f < year_fields.size(); ++f) {
        const field_kind kind = year_fields[f].kind;
        columns[f] = kind == field_kind::number ? SEXP(numbers[f]) : kind == field_kind::text ? SEXP(texts[f])
                                                                                               : SEXP(integers[f]);
    }
    return Rcpp::List::create(Rcpp::Named("fields") = columns, Rcpp::Named("monthly_temperature") = out_t,
                              Rcpp::Named("monthly_precipitation") = out_p, Rcpp::Named("monthly_pet") = out_pet,
                              Rcpp::Named("moisture_profile") = profile,
                              Rcpp::Named("moisture_calendar") = moisture_calendar,
                              Rcpp::Named("temperature_calendar") = soil_calendar,
                              Rcpp::Named("equilibrium_passes") = passes);
}

// A station folder (or a file prefix) read by run_station's own readers, every rule of
// theirs applied; the monthly values come converted as run_station converts them, in deg C
// and mm. A fault stops with run_station's own message.
// [[Rcpp::export(.read_station_files)]]
Rcpp::List read_station_files(const std::string& file_prefix, Rcpp::Nullable<double> capacity_mm) {
    std::optional<double> capacity;
    if (capacity_mm.isNotNull()) {
        capacity = Rcpp::as<double>(capacity_mm);
    }
    std::string failure;
    try {
        const bindings::station_read read = bindings::read_station_folder(file_prefix, capacity);
        const int years = static_cast<int>(read.labels.size());
        Rcpp::NumericMatrix temperature(years, months_per_year), precipitation(years, months_per_year);
        for (int y = 0; y < years; ++y) {
            for (int m = 0; m < months_per_year; ++m) {
                temperature(y, m) = read.temperature[y * months_per_year + m];
                precipitation(y, m) = read.precipitation[y * months_per_year + m];
            }
        }
        const station_parameters& station = read.station;
        std::vector<std::pair<std::string, SEXP>> found{
            {"temperature", temperature}, {"precipitation", precipitation}, {"units", Rcpp::wrap("metric")}};
        // Every parameter by its name, the hemisphere after the latitude as in the file.
        for (const station_parameter& parameter : station_parameter_table) {
            found.emplace_back(parameter.name, Rcpp::wrap(station.*parameter.value));
            if (parameter.value == &station_parameters::latitude) {
                found.emplace_back("hemisphere", Rcpp::wrap(std::string(1, hemisphere_letter(station.hemisphere))));
            }
        }
        found.emplace_back("labels", Rcpp::wrap(read.labels));
        found.emplace_back("station_name", Rcpp::wrap(station.station_name));
        found.emplace_back("warnings", Rcpp::wrap(read.warnings));
        Rcpp::List list(found.size());
        Rcpp::CharacterVector names(found.size());
        for (std::size_t i = 0; i < found.size(); ++i) {
            names[i] = found[i].first;
            list[i] = found[i].second;
        }
        list.attr("names") = names;
        return list;
    } catch (const run_failure& fault) {
        failure = bindings::failure_text(fault);
    }
    Rcpp::stop(failure);
}

// Many cells at once: monthly values as terra gives them, a matrix of cells by layers
// (12 a year, January first), in the caller's units, NA for a missing month; station
// parameters one value or one a cell, NA for a cell not to simulate. Returns the grid's
// outputs as an array (field, year, cell), NA for a year not simulated. Runs a few
// thousand cells at a time, looking for Ctrl-C in between.
// [[Rcpp::export(.simulate_cells)]]
Rcpp::NumericVector simulate_cells(const Rcpp::NumericMatrix& temperature, const Rcpp::NumericMatrix& precipitation,
                                   const Rcpp::List& parameters, const std::string& units, int threads,
                                   bool cold_regimes) {
    const bool us = units_named(units).us;
    const auto cells = static_cast<std::size_t>(temperature.nrow());
    const auto layers = static_cast<std::size_t>(temperature.ncol());
    if (layers == 0 || layers % months_per_year != 0 || precipitation.nrow() != temperature.nrow() ||
        precipitation.ncol() != temperature.ncol()) {
        Rcpp::stop("temperature and precipitation must have the same cells and 12 layers a year");
    }
    const std::size_t years = layers / months_per_year;
    // The model's units: deg C and mm, converted as run_station converts its files.
    std::vector<double> t(temperature.begin(), temperature.end());
    std::vector<double> p(precipitation.begin(), precipitation.end());
    if (us) {
        std::transform(t.begin(), t.end(), t.begin(), fahrenheit_to_celsius);
        std::transform(p.begin(), p.end(), p.begin(), inches_to_mm);
    }
    const auto per_cell = [&](const Rcpp::NumericVector& values, const char* name) -> cell_values {
        if (values.size() == 1) {
            return {values.begin(), 0};
        }
        if (static_cast<std::size_t>(values.size()) != cells) {
            Rcpp::stop(std::string(name) + " must hold one value, or one value a cell");
        }
        return {values.begin(), 1};
    };
    const auto places = parameter_places(parameters);
    // The vectors stay here, alive, while the model reads them.
    std::vector<Rcpp::NumericVector> vectors;
    std::array<cell_values, station_parameter_table.size()> values{};
    for (std::size_t i = 0; i < places.size(); ++i) {
        const SEXP given = parameters[places[i]];
        if (!Rf_isReal(given)) {
            Rcpp::stop(std::string(station_parameter_table[i].name) + " must hold numbers");
        }
        vectors.emplace_back(given);
        values[i] = per_cell(vectors.back(), station_parameter_table[i].name);
    }
    const std::size_t fields = grid_fields().size();
    Rcpp::NumericVector outputs(Rcpp::no_init(cells * years * fields));
    outputs.attr("dim") = Rcpp::IntegerVector::create(static_cast<int>(fields), static_cast<int>(years),
                                                       static_cast<int>(cells));
    for (std::size_t first = 0; first < cells; first += cells_per_chunk) {
        const std::size_t count = std::min(cells_per_chunk, cells - first);
        const auto from = [&](const cell_values& values) {
            return cell_values{values.values + first * values.stride, values.stride};
        };
        const auto layout = [&](const std::vector<double>& values) {
            return monthly_grid{values.data() + first, 1, static_cast<std::ptrdiff_t>(months_per_year * cells),
                                static_cast<std::ptrdiff_t>(cells)};
        };
        grid_inputs inputs{count, years, layout(t), layout(p), {}, {.cold_regimes = cold_regimes}};
        for (std::size_t i = 0; i < values.size(); ++i) {
            inputs.parameters[i] = from(values[i]);
        }
        const auto problem = simulate_grid(
            inputs, {outputs.begin() + first * years * fields, count * years * fields}, static_cast<unsigned>(threads));
        if (problem) {
            const input_problem& found = problem->problem;
            std::string where = "cell " + std::to_string(first + problem->cell + 1);
            if (found.month >= 0) {
                where += ", year " + std::to_string(problem->year + 1) + ", " + std::string(month_names[found.month]);
            }
            Rcpp::stop(where + ": " + bindings::argument_name(found) + " " + shown(found.value) + " " +
                       problem_words(found));
        }
        Rcpp::checkUserInterrupt();
    }
    return outputs;
}

// The table of a year's fields: name, unit, meaning, kind and source, with each category
// field's names, and the colours the station page draws the regimes and the calendar in.
// The table of station parameters: name, unit, the range the model accepts, the default in
// the north and in the south (NA where there is none) and the meaning.
// [[Rcpp::export(.parameter_table)]]
Rcpp::DataFrame parameter_table() {
    const auto n = station_parameter_table.size();
    Rcpp::CharacterVector name(n), unit(n), meaning(n);
    Rcpp::NumericVector lowest(n), highest(n), north(n), south(n);
    for (std::size_t i = 0; i < n; ++i) {
        const station_parameter& parameter = station_parameter_table[i];
        name[i] = parameter.name;
        unit[i] = parameter.range->unit;
        meaning[i] = parameter.meaning;
        lowest[i] = parameter.range->lowest;
        highest[i] = parameter.range->highest;
        north[i] = parameter.has_default ? parameter.default_value : NA_REAL;
        south[i] = parameter.has_default ? parameter.southern_value : NA_REAL;
    }
    return Rcpp::DataFrame::create(Rcpp::Named("name") = name, Rcpp::Named("unit") = unit,
                                   Rcpp::Named("lowest") = lowest, Rcpp::Named("highest") = highest,
                                   Rcpp::Named("default") = north, Rcpp::Named("southern_default") = south,
                                   Rcpp::Named("meaning") = meaning, Rcpp::Named("stringsAsFactors") = false);
}

// [[Rcpp::export(.year_field_table)]]
Rcpp::List year_field_table() {
    static constexpr const char* kinds[] = {"text", "number", "count", "category"};
    const auto n = year_fields.size();
    Rcpp::CharacterVector name(n), unit(n), meaning(n), kind(n), source(n);
    Rcpp::List categories(n);
    for (std::size_t f = 0; f < n; ++f) {
        const year_field& field = year_fields[f];
        name[f] = std::string(field.name);
        unit[f] = std::string(field.unit);
        meaning[f] = std::string(field.meaning);
        kind[f] = kinds[static_cast<int>(field.kind)];
        source[f] = field.source == field_source::station ? "station" : "year";
        categories[f] = std::vector<std::string>(field.categories.begin(), field.categories.end());
    }
    std::vector<std::string> grid;
    for (const year_field* field : grid_fields()) {
        grid.emplace_back(field->name);
    }
    std::vector<std::string> regime_colours, temperature_colours, calendar_colours;
    for (std::size_t i = 0; i < moisture_regime_names.size(); ++i) {
        regime_colours.emplace_back(moisture_regime_colour(static_cast<soil_moisture_regime>(i)));
    }
    for (std::size_t i = 0; i < temperature_regime_names.size(); ++i) {
        temperature_colours.emplace_back(temperature_regime_colour(static_cast<soil_temperature_regime>(i)));
    }
    for (int code = 1; code <= static_cast<int>(moisture_code_names.size()); ++code) {
        calendar_colours.emplace_back(moisture_code_colour(static_cast<moisture_code>(code)));
    }
    return Rcpp::List::create(
        Rcpp::Named("fields") = Rcpp::DataFrame::create(Rcpp::Named("name") = name, Rcpp::Named("unit") = unit,
                                                        Rcpp::Named("meaning") = meaning, Rcpp::Named("kind") = kind,
                                                        Rcpp::Named("source") = source),
        Rcpp::Named("categories") = categories, Rcpp::Named("grid_fields") = grid,
        Rcpp::Named("first_cold_regime") = static_cast<int>(index_of_first_cold_regime),
        Rcpp::Named("moisture_regime_colours") = regime_colours,
        Rcpp::Named("temperature_regime_colours") = temperature_colours,
        Rcpp::Named("moisture_code_names") =
            std::vector<std::string>(moisture_code_names.begin(), moisture_code_names.end()),
        Rcpp::Named("moisture_code_colours") = calendar_colours);
}

// The warning for a station whose warmest months belong to the other hemisphere, or "".
// [[Rcpp::export(.hemisphere_doubt)]]
std::string hemisphere_doubt_of(const std::string& hemisphere, const std::vector<double>& mean_temperature) {
    if ((hemisphere != "N" && hemisphere != "S") || mean_temperature.size() != months_per_year) {
        return "";
    }
    monthly_series means{};
    std::copy(mean_temperature.begin(), mean_temperature.end(), means.begin());
    return hemisphere_doubt(static_cast<earth_hemisphere>(hemisphere[0]), means).value_or("");
}

// The notice for a latitude (signed or a magnitude) beyond the day-length tables, or "".
// [[Rcpp::export(.day_length_limit_notice)]]
std::string day_length_limit_notice_of(double latitude) {
    return day_length_limit_notice(latitude).value_or("");
}
