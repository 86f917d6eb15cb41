#include "driver/run_station.hpp"

#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "common/input_limits.hpp"
#include "driver/command_line.hpp"
#include "driver/listed_stations.hpp"
#include "inputs/input_records.hpp"
#include "inputs/station_inputs.hpp"
#include "model/year_evaluation.hpp"
#include "model/year_fields.hpp"
#include "outputs/output_file.hpp"
#include "outputs/station_figure_files.hpp"
#include "outputs/station_lock.hpp"
#include "outputs/station_page_file.hpp"
#include "outputs/temporary_files.hpp"
#include "report/station_report.hpp"
#include "report/summary_format.hpp"
#include "report/year_table.hpp"
#include "soil_climate/station_simulation.hpp"
#include "station_files/run_failure.hpp"
#include "station_files/run_files.hpp"

namespace soil_climate {
namespace {

// Writes the year's report to the prefix followed by the label.
void write_station_report(const std::string& year_label, const year_result& year,
                          const station_parameters& station, const std::string& file_prefix, std::string& text) {
    const std::string name = file_prefix + year_label;
    output_file report(name, file_prefix, "Output file opening failed.", nullptr, output_file::writes::whole,
                       output_file::folder_check::at_rename);
    text.clear();
    format_station_report(text, year_label, station.station_name, year);
    report.write(text);
    report.commit();
}

// The files that gather all years: the summary and, with --csv, the table of years, with
// --html, the station page and, with --figures, its drawings alone.
struct run_tables {
    output_file summary;
    std::optional<output_file> years;
    std::optional<station_page_file> page;
    std::optional<station_figure_files> figures;

    run_tables(const run_files& files, const std::string& file_prefix, const command_line& options,
               const station_inputs& inputs, std::string& text)
        : summary(files.summary, file_prefix, "Output file of Summary opening failed.", "of Summary") {
        text.clear();
        append_summary_header(text);
        summary.write(text);
        if (options.write_csv) {
            years.emplace(files.years_csv, file_prefix, "Output file of years.csv opening failed.",
                          "of years.csv");
            text.clear();
            append_year_table_header(text);
            years->write(text);
        }
        if (options.write_html) {
            page.emplace(files.station_html, file_prefix, inputs.station, inputs.checked, options.temperature_scale,
                         options.cold_regimes);
        }
        if (options.write_figures) {
            figures.emplace(files, file_prefix, inputs.station, inputs.checked, options.temperature_scale,
                            options.cold_regimes);
        }
    }

    // Completes each table under its temporary name; none replaces its earlier version yet.
    void finish(const run_tallies& tallies) {
        summary.finish();
        if (years) {
            years->finish();
        }
        if (page) {
            page->finish(tallies);
        }
        if (figures) {
            figures->finish(tallies);
        }
    }

    // The tables' outputs, for the renaming that ends the run.
    void list(std::vector<output_file*>& outputs) {
        outputs.push_back(&summary);
        if (years) {
            outputs.push_back(&*years);
        }
        if (page) {
            outputs.push_back(&page->output());
        }
        if (figures) {
            figures->list(outputs);
        }
    }
};

// The year's report, its tallies and its summary line (and table row).
void write_year(const std::string& year_label, const year_result& year, const station_parameters& station,
                const std::string& file_prefix, bool write_report, run_tables& tables, run_tallies& tallies,
                std::string& text) {
    // Escaped as messages are, so that a label cannot carry terminal control sequences.
    std::printf("%s\n", escaped(year_label).c_str());
    if (write_report) {
        write_station_report(year_label, year, station, file_prefix, text);
    }
    tally_year(tallies, year);
    text.clear();
    append_summary_line(text, year_label, year.summary, year.counts, year.subdivision);
    tables.summary.write(text);

    if (tables.years) {
        text.clear();
        append_year_table_row(text, {year_label, station, year});
        tables.years->write(text);
    }
    if (tables.page) {
        tables.page->add_year({year_label, station, year});
    }
    if (tables.figures) {
        tables.figures->add_year({year_label, station, year});
    }
}

// The average line, then the three frequency files, created and written in the order the
// run has always used. The files that gather all years replace their earlier versions
// together: each is complete under its temporary name and no folder stands under any of
// their names before the first is renamed, so a failure leaves the earlier set whole.
void close_run(const run_files& files, const std::string& file_prefix, run_tables& tables,
               const run_tallies& tallies, std::string& text) {
    text.clear();
    append_average_line(text, tallies.sums, tallies.years);
    tables.summary.write(text);
    tables.finish(tallies);

    const auto whole = output_file::writes::whole;
    output_file smrs(files.smrs, file_prefix, "Output file of SMRS opening failed.", "of SMRS", whole);
    output_file smr(files.smr, file_prefix, "Output file of SMR opening failed.", "of SMR", whole);
    output_file wsmr(files.wsmr, file_prefix, "Output file of WSMR opening failed.", "of WSMR", whole);

    text.clear();
    append_frequency_table(text, tallies.moisture_regimes, moisture_regime_names, tallies.years);
    smr.write(text);
    text.clear();
    append_frequency_list(text, tallies.moisture_regimes, moisture_regime_names, tallies.years);
    wsmr.write(text);
    text.clear();
    append_frequency_table(text, tallies.subdivisions, subdivision_names, tallies.years);
    smrs.write(text);

    smr.finish();
    smrs.finish();
    wsmr.finish();

    std::vector<output_file*> outputs;
    tables.list(outputs);
    for (output_file* frequencies : {&smr, &smrs, &wsmr}) {
        outputs.push_back(frequencies);
    }
    rename_together(outputs);
}

// The names the run makes beside its outputs must fit in their folder: its temporary files
// (prefix + ".run_station-" + process + "-" + a number for each output) and its lock file.
// (The reports' names are checked with the labels.)
void check_name_lengths(const std::string& file_prefix, int year_count) {
    const std::size_t prefix_name_length = file_prefix.size() - (file_prefix.rfind('/') + 1);
    const std::size_t temporary = temporary_file_marker.size() + std::to_string(getpid()).size() + 1 +
                                  std::to_string(year_count + 16).size();
    if (prefix_name_length + std::max(temporary, lock_file_suffix.size()) > NAME_MAX) {
        throw run_failure("Command line: the prefix \"" + printable(file_prefix) +
                          "\" is too long: the names of the run's temporary files would pass " +
                          std::to_string(NAME_MAX) + " bytes.");
    }
}

// The folder of --output-dir, created if missing; a run that ends before writing an output
// into a folder it created (a fault in the input, say) removes it again, empty.
class output_folder {
public:
    explicit output_folder(const std::string& name) : name_(name) {
        if (name_.empty()) {
            return;
        }
        std::error_code failure;
        created_ = std::filesystem::create_directories(name_, failure);
        if (failure) {
            throw run_failure("Command line: the output folder \"" + printable(name_) +
                              "\" cannot be created: " + failure.message() + ".");
        }
    }
    ~output_folder() {
        std::error_code ignored;
        if (created_ && std::filesystem::is_empty(name_, ignored)) {
            std::filesystem::remove(name_, ignored);
        }
    }
    output_folder(const output_folder&) = delete;
    output_folder& operator=(const output_folder&) = delete;

private:
    std::string name_;
    bool created_ = false;
};

// Where the outputs go: beside the inputs (the prefix), or with --output-dir into that
// folder, each named by the prefix's last part and its own name.
std::string output_prefix_of(const command_line& options) {
    if (options.output_dir.empty()) {
        return options.file_prefix;
    }
    return options.output_dir + "/" + options.file_prefix.substr(options.file_prefix.rfind('/') + 1);
}

void run(const command_line& options) {
    const run_files inputs_named = name_run_files(options.file_prefix);
    temporary_files::remove_on_signals();
    const output_folder folder(options.output_dir);
    const std::string output_prefix = output_prefix_of(options);
    const run_files files = name_run_files(output_prefix);
    // The lock stands with the outputs, so that a read-only station can be run.
    const station_lock lock(output_prefix, inputs_named.temperature);
    std::optional<capacity_argument> capacity;
    if (options.capacity_given) {
        capacity = capacity_argument{options.capacity_mm, options.capacity_text};
    }
    const auto warn = [](const std::string& warning) { std::fprintf(stderr, "Warning: %s\n", warning.c_str()); };
    station_inputs inputs(inputs_named, options.file_prefix, output_prefix, capacity, warn);
    check_name_lengths(output_prefix, inputs.checked.year_count);
    const station_parameters& station = inputs.station;
    station_simulation simulation(station, {.cold_regimes = options.cold_regimes});

    // Every input is known to be good: from here on, outputs are written.
    temporary_files::remove_stale(output_prefix);
    std::string text;
    run_tables tables(files, output_prefix, options, inputs, text);
    run_tallies tallies;
    // Exactly the years that were checked, each as it was checked: a file edited, cut or
    // appended to during the run changes nothing that is written.
    year_record record;
    for (int n = 1; n <= inputs.checked.year_count; ++n) {
        if (!read_year(*inputs.temperature, *inputs.precipitation, n, record) ||
            fingerprint_of(record) != inputs.checked.fingerprints[n - 1]) {
            throw run_failure(inputs_named.temperature + ", " + inputs_named.precipitation + ": record " +
                              std::to_string(n) +
                              " changed during the run; the run ends before writing anything of it.");
        }
        const year_result& year =
            simulation.simulate_year(record.inputs.monthly_temperature, record.inputs.monthly_precipitation);
        write_year(record.year_label, year, station, output_prefix, options.write_reports, tables, tallies, text);
    }
    close_run(files, output_prefix, tables, tallies, text);
}

// One station's run with its failure reported: the exit status.
int run_and_report(const command_line& options) {
    try {
        run(options);
    } catch (const run_failure& failure) {
        if (!failure.detail().empty()) {
            std::fprintf(stderr, "%s\n", failure.detail().c_str());
        }
        std::printf("%s\n", failure.what());
        return 1;
    } catch (const std::exception& failure) {
        // The model refused what the checks let through, or the equilibrium was not
        // reached: an internal fault, still reported as one line.
        std::printf("Internal error: %s\n", failure.what());
        return 1;
    }
    std::printf("\nEnd of Program.\n");
    return 0;
}

}  // namespace

int run_station(int argc, const char* const* argv) {
    command_line options;
    try {
        options = parse_command_line(argc, argv);
    } catch (const run_failure& failure) {
        std::printf("%s\n", failure.what());
        return 1;
    }
    switch (options.action) {
        case command_line::request::help:
            std::fputs(usage_text(), stdout);
            return 0;
        case command_line::request::version:
            std::printf("run_station %s\n", RUN_STATION_VERSION);
            return 0;
        case command_line::request::run:
            break;
    }
    if (!options.logs_dir.empty()) {
        return run_listed_stations(options, std::cin, run_and_report);
    }
    return run_and_report(options);
}

}  // namespace soil_climate
