#include "driver/gather_tables.hpp"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <set>
#include <stdexcept>
#include <vector>

#include "driver/gather_files.hpp"
#include "inputs/number_text.hpp"
#include "model/year_fields.hpp"
#include "outputs/output_file.hpp"
#include "outputs/temporary_files.hpp"
#include "report/csv.hpp"
#include "report/station_report.hpp"
#include "report/year_table.hpp"

namespace soil_climate::gather {
namespace {

// The column of a field of the table of years.
std::size_t column_of(std::string_view name) {
    for (std::size_t i = 0; i < year_fields.size(); ++i) {
        if (year_fields[i].name == name) {
            return i;
        }
    }
    throw std::logic_error("no field " + std::string(name));
}

// The position of a name in a regime table, or -1.
template <std::size_t N>
int code_of(const std::array<std::string_view, N>& names, std::string_view name) {
    for (std::size_t i = 0; i < N; ++i) {
        if (names[i] == name) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// A field that is wholly one finite number, as the input readers take one.
std::optional<double> number_in(const std::string& text) {
    double value = 0.0;
    return parse_whole_number(text, value) ? std::optional<double>(value) : std::nullopt;
}

// Reads the next record of a table, of at most longest_record bytes.
bool read_bounded_record(std::string_view& rest, std::vector<std::string>& fields, const std::string& where) {
    const std::size_t before = rest.size();
    if (!read_csv_record(rest, fields)) {
        return false;
    }
    if (before - rest.size() > longest_record) {
        throw station_fault{"", where + " is longer than " + size_words(longest_record)};
    }
    return true;
}

// A station's station.csv, where it has one: a header row, then a row whose latitude,
// longitude and elevation columns place it; an empty cell places nothing. A coordinate
// that is not a number, or lies beyond any station's, fails the station.
station_place place_of(const station_listed& station) {
    station_place place;
    const std::string name = station.folder + "/station.csv";
    const file_text text = read_bounded(name, largest_station_file);
    if (!text.fault.empty()) {
        throw station_fault{"station.csv", name + " " + text.fault};
    }
    if (!text.bytes) {
        return place;
    }
    std::string_view rest = *text.bytes;
    std::vector<std::string> header;
    std::vector<std::string> row;
    try {
        if (!read_bounded_record(rest, header, name + ": record 1") ||
            !read_bounded_record(rest, row, name + ": record 2")) {
            return place;
        }
    } catch (station_fault& fault) {
        fault.part = "station.csv";
        throw;
    }
    for (std::size_t i = 0; i < header.size() && i < row.size(); ++i) {
        for (const auto& [range, value] :
             {std::pair{&station_latitude, &place.latitude}, std::pair{&station_longitude, &place.longitude},
              std::pair{&station_elevation, &place.elevation}}) {
            if (header[i] != range->field || row[i].empty()) {
                continue;
            }
            *value = number_in(row[i]);
            if (!*value || !range->holds(**value)) {
                char bounds[64];
                std::snprintf(bounds, sizeof bounds, "%g to %g %s", range->lowest, range->highest, range->unit);
                throw station_fault{"station.csv", name + ": the " + range->field + " \"" + row[i].substr(0, 64) +
                                                       "\" is not a number within " + bounds};
            }
        }
    }
    return place;
}

// A year counted in each period that holds it: its label must be a year and its mean soil
// temperature a number, else the station fails.
void add_to_periods(station_entry& station, const compared_periods& periods, const std::string& label,
                    const std::string& soil_temperature, soil_moisture_regime moisture, const std::string& where) {
    int year = 0;
    const auto [end, fault] = std::from_chars(label.data(), label.data() + label.size(), year);
    const std::optional<double> celsius = number_in(soil_temperature);
    if (label.empty() || fault != std::errc() || end != label.data() + label.size() || !celsius) {
        throw station_fault{"years.csv", where +
                                             ": comparing periods needs a year as the label and a mean soil "
                                             "temperature, not \"" +
                                             label.substr(0, 16) + "\""};
    }
    for (std::size_t k = 0; k < periods.size(); ++k) {
        if (year >= periods[k].first && year <= periods[k].last) {
            station.periods[k].add_year(moisture, *celsius);
        }
    }
}

// What a station was warned of: each "Warning: " line its run printed (its log), and the
// years its import dropped (its import_report.csv, where it has one), so that the tables
// and the index say what only the logs did.
std::vector<std::string> warnings_of(const station_listed& station) {
    std::vector<std::string> warnings;
    static constexpr std::string_view mark = "Warning: ";
    const file_text log = read_bounded(station.log + ".out", largest_station_file);
    if (log.bytes) {
        for (const std::string& line : lines_of(*log.bytes)) {
            if (line.starts_with(mark)) {
                warnings.push_back(line.substr(mark.size()));
            }
        }
    }
    const file_text report = read_bounded(station.folder + "/import_report.csv", largest_station_file);
    if (report.bytes) {
        std::string_view rest = *report.bytes;
        std::vector<std::string> fields;
        std::set<std::string> dropped;
        while (read_csv_record(rest, fields)) {
            if (fields.size() > 1 && fields[1] == "dropped") {
                dropped.insert(fields[0]);
            }
        }
        if (!dropped.empty()) {
            warnings.push_back(std::to_string(dropped.size()) + (dropped.size() == 1 ? " year" : " years") +
                               " dropped on import for incomplete months (" + (dropped.size() > 1 ? "between " : "") +
                               *dropped.begin() + (dropped.size() > 1 ? " and " + *dropped.rbegin() : "") +
                               "; see import_report.csv)");
        }
    }
    return warnings;
}

// One station's years.csv: its rows appended to the table of all stations, its regimes
// counted, its labels (the names of its reports) collected, its bytes kept. A file that
// is not a whole table of years of this program, or that holds no year, fails the
// station. The table names the station by its folder, wherever its outputs are.
void read_station_years(station_entry& station, const std::string& outputs, std::string& table,
                        std::string& header_line, std::vector<std::string>& labels, std::string& bytes,
                        const std::optional<compared_periods>& periods) {
    const std::string name = outputs + "/years.csv";
    file_text text = read_bounded(name, largest_file);
    if (!text.bytes) {
        throw station_fault{"years.csv", name + " " + (text.fault.empty() ? "is missing" : text.fault)};
    }
    bytes = std::move(*text.bytes);
    if (!bytes.empty() && bytes.back() != '\n') {
        throw station_fault{"years.csv", name + " is cut short: its last line has no line end"};
    }
    std::string_view rest = bytes;
    std::vector<std::string> fields;
    static const std::size_t moisture = column_of("moisture_regime");
    static const std::size_t subdivision = column_of("subdivision");
    static const std::size_t temperature = column_of("temperature_regime");
    static const std::size_t station_name = column_of("station_name");
    static const std::size_t latitude = column_of("latitude");
    static const std::size_t hemisphere = column_of("hemisphere");
    static const std::size_t soil_temperature = column_of("mean_soil_temperature_c");
    std::string row;
    for (int record = 0;; ++record) {
        const std::string where = name + ": record " + std::to_string(record + 1);
        try {
            if (!read_bounded_record(rest, fields, where)) {
                break;
            }
        } catch (station_fault& fault) {
            fault.part = "years.csv";
            throw;
        }
        if (fields.size() != year_fields.size()) {
            throw station_fault{"years.csv", where + " has " + std::to_string(fields.size()) + " fields, not " +
                                                 std::to_string(year_fields.size())};
        }
        row.clear();
        for (std::size_t i = 0; i < fields.size(); ++i) {
            row += i == 0 ? "" : ",";
            append_csv_field(row, fields[i]);
        }
        if (record == 0) {
            std::string expected;
            append_year_table_header(expected);
            if (row + "\n" != expected) {
                throw station_fault{"years.csv", where + " is not the header of a table of years"};
            }
            header_line = "station," + row + std::string(station_table_place_columns) + "\n";
            continue;
        }
        const int m = code_of(moisture_regime_names, fields[moisture]);
        const int s = code_of(subdivision_names, fields[subdivision]);
        const int t = code_of(temperature_regime_names, fields[temperature]);
        if (m < 0 || s < 0 || t < 0) {
            throw station_fault{"years.csv", where + " names a regime this program does not know"};
        }
        if (record == 1) {
            station.tally.station_name = fields[station_name];
            if (!station.place.latitude) {
                const std::optional<double> magnitude = number_in(fields[latitude]);
                if (magnitude) {
                    station.place.latitude = fields[hemisphere] == "S" ? -*magnitude : *magnitude;
                }
            }
        }
        station.tally.add_year(static_cast<soil_moisture_regime>(m), static_cast<moisture_subdivision>(s),
                               static_cast<soil_temperature_regime>(t));
        if (periods) {
            add_to_periods(station, *periods, fields.front(), fields[soil_temperature],
                           static_cast<soil_moisture_regime>(m), where);
        }
        labels.push_back(fields.front());
        append_csv_quoted(table, station.folder);
        table += ',';
        table += row;
        append_station_table_place(table, station.place);
        table += '\n';
    }
    if (!rest.empty()) {
        throw station_fault{"years.csv", name + ": a quoted field does not close"};
    }
    if (station.tally.years == 0) {
        throw station_fault{"years.csv", name + " holds no year"};
    }
}

// After a run planned by this run_stations that ended with status 0: every output it
// wrote read back, the reports of years it did not write removed (the station's outputs
// are one set), and the planned fingerprint with each output's size and hash recorded as
// the station's record, in place of the plan.
void record_run(const station_listed& station, const std::string& planned, const std::vector<std::string>& labels,
                const std::string& years_bytes, asked_outputs asked, bool reports) {
    const std::vector<std::string> plan_lines = lines_of(planned);
    std::string record = (plan_lines.empty() ? std::string() : plan_lines.front()) + "\n";
    std::set<std::string> written;
    for (const std::string& name : fixed_outputs(asked)) {
        written.insert(name);
    }
    if (reports) {
        written.insert(labels.begin(), labels.end());
    }
    for (const std::string& name : written) {
        const std::string path = station.outputs + "/" + name;
        if (name == "years.csv") {
            record += output_entry(name, years_bytes) + "\n";
            continue;
        }
        const file_text bytes = read_bounded(path, largest_file);
        if (!bytes.bytes && bytes.fault.empty() && name == "station.html") {
            continue;  // the Slurm gathering asks for the index of runs that wrote no pages
        }
        if (!bytes.bytes) {
            throw station_fault{"outputs", path + " " + (bytes.fault.empty() ? "is missing" : bytes.fault)};
        }
        record += output_entry(name, *bytes.bytes) + "\n";
    }
    static const std::string opening(station_report_opening);
    for (std::size_t i = 1; i < plan_lines.size(); ++i) {
        const std::string& name = plan_lines[i];
        if (!report_name(name) || written.contains(name)) {
            continue;
        }
        const std::string path = station.outputs + "/" + name;
        const file_text start = read_head(path, opening.size());
        if (!start.bytes || !start.bytes->starts_with(opening)) {
            continue;
        }
        if (std::remove(path.c_str()) != 0) {
            throw station_fault{"outputs", "cannot remove the report " + path +
                                               " of a year this run did not write: " + std::strerror(errno)};
        }
    }
    if (const std::string fault = write_log_file(station.log + ".fingerprint", record); !fault.empty()) {
        throw station_fault{"logs", "cannot record the run in " + station.log + ".fingerprint: " + fault};
    }
    if (const std::string fault = remove_log_entry(station.log + ".planned"); !fault.empty()) {
        throw station_fault{"logs", "cannot remove " + station.log + ".planned: " + fault};
    }
}

// A station that did not run this time: its table of years as its record says it was
// written, where it has a record.
void check_against_record(const station_listed& station, const std::string& years_bytes) {
    const file_text text = read_bounded(station.log + ".fingerprint", largest_file);
    if (!text.bytes) {
        return;
    }
    for (const std::string& line : lines_of(*text.bytes)) {
        if (entry_name(line) == "years.csv" && output_entry("years.csv", years_bytes) != line) {
            throw station_fault{"years.csv", station.outputs + "/years.csv is not the table its run wrote"};
        }
    }
}

}  // namespace

int tables(const std::string& output, const std::string& logs, asked_outputs asked, bool reports,
           const std::optional<compared_periods>& periods) {
    const std::vector<station_listed> listed = read_station_list(std::cin, logs);
    temporary_files::remove_on_signals();
    const std::string prefix = output + "/";
    output_file table(prefix + "stations.csv", prefix, "Output file of stations.csv opening failed.",
                      "of stations.csv");
    output_file summary(prefix + "stations_summary.csv", prefix, "Output file of stations_summary.csv opening failed.",
                        "of stations_summary.csv");
    std::optional<output_file> index;
    if (asked.html) {
        index.emplace(prefix + "index.html", prefix, "Output file of index.html opening failed.", "of index.html");
    }
    std::optional<output_file> changes;
    if (periods) {
        changes.emplace(prefix + "stations_periods.csv", prefix, "Output file of stations_periods.csv opening failed.",
                        "of stations_periods.csv");
    }
    std::string text;
    if (changes) {
        text.clear();
        append_station_periods_header(text);
        changes->write(text);
    }

    std::vector<station_entry> stations;
    stations.reserve(listed.size());
    bool header_written = false;
    std::string header;
    std::vector<std::string> labels;
    std::string years_bytes;
    for (const station_listed& from : listed) {
        station_entry& station = stations.emplace_back();
        station.given = from.given;
        station.folder = from.folder;
        station.page_link = page::relative_link(output, from.outputs + "/station.html");
        const std::string status = run_status(from);
        text.clear();
        labels.clear();
        try {
            try {
                station.place = place_of(from);
            } catch (const station_fault&) {
                if (status == "exit 0") {
                    throw;
                }
            }
            if (status == "exit 0") {
                read_station_years(station, from.outputs, text, header, labels, years_bytes, periods);
                station.warnings = warnings_of(from);
                const file_text planned = read_bounded(from.log + ".planned", largest_file);
                if (!planned.fault.empty()) {
                    throw station_fault{"logs", from.log + ".planned " + planned.fault};
                }
                if (planned.bytes) {
                    record_run(from, *planned.bytes, labels, years_bytes, asked, reports);
                } else {
                    check_against_record(from, years_bytes);
                }
            } else {
                station.status = "failed (" + status + ")";
                station.message = last_line(from);
            }
        } catch (const station_fault& fault) {
            station.status = "failed (" + fault.part + ")";
            station.message = fault.message;
            station.tally = station_tally{};
            station.periods = {};
        }
        if (station.failed()) {
            std::fprintf(stderr, "run_stations: %s %s: %s\n", station.folder.c_str(), station.status.c_str(),
                         station.message.c_str());
            continue;
        }
        if (!header.empty() && !header_written) {
            table.write(header);
            header_written = true;
        }
        table.write(text);
    }
    const std::size_t temperature_regimes = gathered_temperature_regimes(stations);
    text.clear();
    append_station_summary_header(text, temperature_regimes);
    summary.write(text);
    for (const station_entry& station : stations) {
        text.clear();
        append_station_summary_row(text, station, temperature_regimes);
        summary.write(text);
        if (changes) {
            text.clear();
            append_station_periods_row(text, station, *periods);
            changes->write(text);
        }
    }
    if (index) {
        text.clear();
        page::append_index(text, stations, periods);
        index->write(text);
    }

    // Every table complete before the first replaces its earlier version.
    std::vector<output_file*> outputs{&table, &summary};
    for (std::optional<output_file>* file : {&index, &changes}) {
        if (*file) {
            outputs.push_back(&**file);
        }
    }
    for (output_file* file : outputs) {
        file->finish();
    }
    rename_together(outputs);
    const auto failed =
        std::count_if(stations.begin(), stations.end(), [](const station_entry& station) { return station.failed(); });
    if (failed > 0) {
        std::fprintf(stderr, "run_stations: %td of %zu stations failed.\n", failed, stations.size());
        return 1;
    }
    return 0;
}

}  // namespace soil_climate::gather
