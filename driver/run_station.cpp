#include "driver/run_station.hpp"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>

#include "common/input_limits.hpp"
#include "driver/command_line.hpp"
#include "driver/input_records.hpp"
#include "driver/output_file.hpp"
#include "driver/run_failure.hpp"
#include "driver/run_files.hpp"
#include "driver/year_evaluation.hpp"
#include "report/station_report.hpp"
#include "report/summary_format.hpp"
#include "report/year_table.hpp"
#include "soil_climate/station_simulation.hpp"

namespace soil_climate {
namespace {

struct close_file {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using input_file = std::unique_ptr<std::FILE, close_file>;

input_file open_input(const std::string& name, const char* failure_message) {
    input_file file(std::fopen(name.c_str(), "r"));
    if (!file) {
        throw run_failure(failure_message);
    }
    return file;
}

// The capacity in force, mm: the command line's, else the parameter file's. A negative
// capacity is refused (its slants would hold negative water and the equilibrium test could
// never be met), and so is one beyond any soil.
double water_holding_capacity_mm(const command_line& options, const station_parameters& station,
                                 const std::string& parameter_file) {
    const double capacity_mm = options.capacity_given ? options.capacity_mm : station.water_holding_capacity;
    if (capacity_range.holds(capacity_mm)) {
        return capacity_mm;
    }
    if (options.capacity_given) {
        throw run_failure("Command line: water-holding capacity \"" + options.capacity_text +
                          "\" is not a number of mm from 0 to 1000000.");
    }
    throw run_failure(parameter_file + ": field water_holding_capacity is outside 0 to 1000000 mm.");
}

// Prints the year's label as the run's progress line, then writes the year's report to
// the prefix followed by the label.
void write_station_report(const std::string& year_label, const year_result& year,
                          const station_parameters& station, const std::string& file_prefix, std::string& text) {
    const std::string name = file_prefix + year_label;
    std::printf("%s\n", year_label.c_str());
    output_file report(name, "Output file opening failed.", "Output file " + name + " writing failed.",
                       output_file::writes::whole);
    text.clear();
    format_station_report(text, year_label, year.monthly_temperature, year.monthly_precipitation,
                          year.monthly_pet, year.moisture_profile, year.moisture_calendar, year.temperature_calendar,
                          year.temperature_regime, year.moisture_regime, year.subdivision, station.station_name,
                          year.counts);
    try {
        report.write(text);
        report.close();
    } catch (const run_failure&) {
        // A report cut short (a full disk) would pass for a whole one: remove it.
        std::remove(name.c_str());
        throw;
    }
}

// The files that gather all years: the summary and, with --csv, the table of years.
struct run_tables {
    output_file summary;
    std::optional<output_file> years;

    void close() {
        summary.close();
        if (years) {
            years->close();
        }
    }
};

// Creates the summary with its header lines and, with --csv, the table of years with its
// header row.
run_tables create_run_tables(const run_files& files, bool write_csv, std::string& text) {
    run_tables tables{output_file(files.summary, "Output file of Summary opening failed.",
                                  "Output file of Summary writing failed."),
                      std::nullopt};
    text.clear();
    append_summary_header(text);
    tables.summary.write(text);
    if (write_csv) {
        tables.years.emplace(files.years_csv, "Output file of years.csv opening failed.",
                             "Output file of years.csv writing failed.");
        text.clear();
        append_year_table_header(text);
        tables.years->write(text);
    }
    return tables;
}

// The year's report, its tallies and its summary line (and table row).
void write_year(const std::string& year_label, const year_result& year, const station_parameters& station,
                const std::string& file_prefix, run_tables& tables, run_tallies& tallies, std::string& text) {
    write_station_report(year_label, year, station, file_prefix, text);
    tally_year(tallies, year);
    text.clear();
    append_summary_line(text, year_label, year.summary, year.counts, year.subdivision);
    tables.summary.write(text);

    if (tables.years) {
        text.clear();
        append_year_table_row(text, {year_label, station, year.summary, year.counts, year.soil.mean_soil_temperature,
                                     year.soil.seasonal_difference, year.moisture_regime, year.subdivision,
                                     year.temperature_regime});
        tables.years->write(text);
    }
}

// The average line, then the three frequency files, created, written and closed in the
// order the run has always used.
void close_run(const run_files& files, run_tables& tables, const run_tallies& tallies, std::string& text) {
    text.clear();
    append_average_line(text, tallies.sums, tallies.year_count);
    tables.summary.write(text);
    tables.close();

    const auto whole = output_file::writes::whole;
    output_file smrs(files.smrs, "Output file of SMRS opening failed.", "Output file of SMRS writing failed.", whole);
    output_file smr(files.smr, "Output file of SMR opening failed.", "Output file of SMR writing failed.", whole);
    output_file wsmr(files.wsmr, "Output file of WSMR opening failed.", "Output file of WSMR writing failed.", whole);

    text.clear();
    append_frequency_table(text, tallies.moisture_regime_tally, moisture_regime_names, tallies.year_count);
    smr.write(text);
    text.clear();
    append_frequency_list(text, tallies.moisture_regime_tally, moisture_regime_names, tallies.year_count);
    wsmr.write(text);
    text.clear();
    append_frequency_table(text, tallies.subdivision_tally, subdivision_names, tallies.year_count);
    smrs.write(text);

    smr.close();
    smrs.close();
    wsmr.close();
}

void run(const command_line& options) {
    const run_files files = name_run_files(options.file_prefix);
    input_file temperature_file = open_input(files.temperature, "Temperature input file opening failed.");
    input_file precipitation_file = open_input(files.precipitation, "Precipitation input file opening failed.");
    station_parameters station;
    {
        input_file parameter_file = open_input(files.parameter, "Parameter input file opening failed.");
        text_scanner parameters(parameter_file.get());
        station = read_station_parameters(parameters, files.parameter);
    }
    run_tallies tallies;
    station.water_holding_capacity = water_holding_capacity_mm(options, station, files.parameter);
    station_simulation simulation(station);

    std::string text;
    run_tables tables = create_run_tables(files, options.write_csv, text);

    text_scanner temperature(temperature_file.get());
    text_scanner precipitation(precipitation_file.get());
    std::string year_label;
    year_inputs inputs;
    std::unordered_set<std::string> labels_seen;
    for (int year_number = 1; read_year(temperature, precipitation, files, year_number, year_label, inputs);
         ++year_number) {
        if (!labels_seen.insert(year_label).second) {
            std::fprintf(stderr,
                         "Warning: %s: record %d (%s) repeats the label of an earlier year; "
                         "its report replaces the earlier one.\n",
                         files.precipitation.c_str(), year_number, year_label.c_str());
        }
        const year_result& year = simulation.simulate_year(inputs.monthly_temperature, inputs.monthly_precipitation);
        write_year(year_label, year, station, options.file_prefix, tables, tallies, text);
    }
    temperature_file.reset();
    precipitation_file.reset();

    if (tallies.year_count == 0) {
        // No average or percentage can be formed from no year.
        tables.close();
        throw run_failure(files.temperature + ": the temperature file holds no year.");
    }
    close_run(files, tables, tallies, text);
}

}  // namespace

int run_station(int argc, const char* const* argv) {
    try {
        const command_line options = parse_command_line(argc, argv);
        switch (options.action) {
            case command_line::request::help:
                std::fputs(usage_text(), stdout);
                return 0;
            case command_line::request::version:
                std::printf("run_station %s\n", RUN_STATION_VERSION);
                return 0;
            case command_line::request::run:
                run(options);
                break;
        }
    } catch (const run_failure& failure) {
        std::printf("%s\n", failure.what());
        return 1;
    }
    std::printf("\nEnd of Program.\n");
    return 0;
}

}  // namespace soil_climate
