// gather_stations: the steps of run_stations around the runs of the stations.
//
//   gather_stations plan [--resume] [--html] LOGS_DIR SALT < stations
//   gather_stations tables [--html] OUTPUT_DIR LOGS_DIR < stations
//
// The stations come on standard input as NUL-separated fields, four a station: its name
// as given on the command line, its folder (an absolute path), the name of its log files
// in LOGS_DIR ("<name>.status" holds the exit status of its run, "<name>.out" what it
// printed) and the folder of its outputs.
//
// plan prints, NUL-separated, the folder and the output folder of each station to run:
// every station, or with --resume those whose inputs, program or options (the
// fingerprint: the three input files' bytes and SALT) changed since their last complete
// run, that failed, or that miss an output (summary, SMRS, SMR, WSMR, years.csv, and
// station.html with --html).
//
// tables reads every station's years.csv and station.csv (where it has one) and writes
// into OUTPUT_DIR "stations.csv", "stations_summary.csv" and, with --html, "index.html",
// each under a temporary name, replacing the earlier versions only once all are
// complete; it records the fingerprint of each station that ran to the end. A failed
// station is listed on standard error with the last line its run printed.
//
// Exit status: 0 when every station ran, 1 when any failed or a table could not be
// written, 2 on a usage error.
#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "driver/run_failure.hpp"
#include "inputs/fingerprint.hpp"
#include "model/year_fields.hpp"
#include "outputs/output_file.hpp"
#include "outputs/temporary_files.hpp"
#include "report/csv.hpp"
#include "report/station_index.hpp"
#include "report/year_table.hpp"

namespace soil_climate {
namespace {

struct station_listed {
    std::string given;
    std::string folder;
    std::string log;  // LOGS_DIR/<name>, without the ending
    std::string outputs;
};

std::optional<std::string> read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<station_listed> read_station_list(std::istream& in, const std::string& logs) {
    std::vector<station_listed> stations;
    station_listed station;
    std::string key;
    while (std::getline(in, station.given, '\0') && std::getline(in, station.folder, '\0') &&
           std::getline(in, key, '\0') && std::getline(in, station.outputs, '\0')) {
        station.log = logs + "/" + key;
        stations.push_back(station);
    }
    return stations;
}

// How a station's run ended: "exit N" from its status file, else "not run".
std::string run_status(const station_listed& station) {
    const std::optional<std::string> text = read_file(station.log + ".status");
    if (!text || text->empty()) {
        return "not run";
    }
    return "exit " + text->substr(0, text->find('\n'));
}

// The last line that the station's run printed, or "no output".
std::string last_line(const station_listed& station) {
    std::optional<std::string> text = read_file(station.log + ".out");
    if (!text || text->empty()) {
        return "no output";
    }
    if (text->back() == '\n') {
        text->pop_back();
    }
    return text->substr(text->rfind('\n') + 1);
}

// What a station's results are made from: its three input files and SALT (the program's
// version and the options), as 16 hexadecimal digits.
std::string fingerprint_of(const station_listed& station, const std::string& salt) {
    fingerprint hash;
    hash.add(salt);
    for (const char* name : {"monthly_T", "monthly_P", "parameter"}) {
        hash.add(name);
        const std::optional<std::string> bytes = read_file(station.folder + "/" + name);
        hash.add(bytes ? *bytes : std::string("\0missing", 8));
    }
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, hash.value());
    return text;
}

int plan(const std::string& logs, const std::string& salt, bool resume, bool html) {
    std::vector<std::string> outputs{"summary", "SMRS", "SMR", "WSMR", "years.csv"};
    if (html) {
        outputs.push_back("station.html");
    }
    for (const station_listed& station : read_station_list(std::cin, logs)) {
        const std::string current = fingerprint_of(station, salt);
        bool complete = resume && run_status(station) == "exit 0" &&
                        read_file(station.log + ".fingerprint").value_or("") == current;
        for (const std::string& output : outputs) {
            complete = complete && std::filesystem::is_regular_file(station.outputs + "/" + output);
        }
        if (complete) {
            continue;
        }
        // The fingerprint of what this run reads, recorded by `tables` once it ran.
        std::ofstream(station.log + ".planned", std::ios::binary | std::ios::trunc) << current;
        std::cout << station.folder << '\0' << station.outputs << '\0';
    }
    return std::cout.flush() ? 0 : 1;
}

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

std::optional<double> number_in(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size() && std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// A station's station.csv, where it has one: a header row, then a row whose latitude,
// longitude and elevation columns place it. Anything else places nothing.
station_place place_of(const station_listed& station) {
    station_place place;
    const std::optional<std::string> text = read_file(station.folder + "/station.csv");
    if (!text) {
        return place;
    }
    std::string_view rest = *text;
    std::vector<std::string> header;
    std::vector<std::string> row;
    if (!read_csv_record(rest, header) || !read_csv_record(rest, row)) {
        return place;
    }
    for (std::size_t i = 0; i < header.size() && i < row.size(); ++i) {
        if (header[i] == "latitude") {
            place.latitude = number_in(row[i]);
        } else if (header[i] == "longitude") {
            place.longitude = number_in(row[i]);
        } else if (header[i] == "elevation") {
            place.elevation = number_in(row[i]);
        }
    }
    return place;
}

// One station's years.csv: its rows appended to the table of all stations, its regimes
// counted. A file that is not a table of years of this program fails the station.
// The table names the station by its folder, wherever its outputs are.
void read_station_years(station_entry& station, const std::string& outputs, std::string& table,
                        std::string& header_line) {
    const std::optional<std::string> text = read_file(outputs + "/years.csv");
    if (!text) {
        return;
    }
    std::string_view rest = *text;
    std::vector<std::string> fields;
    static const std::size_t moisture = column_of("moisture_regime");
    static const std::size_t subdivision = column_of("subdivision");
    static const std::size_t temperature = column_of("temperature_regime");
    static const std::size_t station_name = column_of("station_name");
    static const std::size_t latitude = column_of("latitude");
    static const std::size_t hemisphere = column_of("hemisphere");
    std::string row;
    for (int record = 0; read_csv_record(rest, fields); ++record) {
        const std::string where = outputs + "/years.csv: record " + std::to_string(record + 1);
        if (fields.size() != year_fields.size()) {
            throw run_failure(where + " has " + std::to_string(fields.size()) + " fields, not " +
                              std::to_string(year_fields.size()));
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
                throw run_failure(where + " is not the header of a table of years");
            }
            header_line = "station," + row + std::string(station_table_place_columns) + "\n";
            continue;
        }
        const int m = code_of(moisture_regime_names, fields[moisture]);
        const int s = code_of(subdivision_names, fields[subdivision]);
        const int t = code_of(temperature_regime_names, fields[temperature]);
        if (m < 0 || s < 0 || t < 0) {
            throw run_failure(where + " names a regime this program does not know");
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
        append_csv_quoted(table, station.folder);
        table += ',';
        table += row;
        append_station_table_place(table, station.place);
        table += '\n';
    }
    if (!rest.empty()) {
        throw run_failure(outputs + "/years.csv: a quoted field does not close");
    }
}

int tables(const std::string& output, const std::string& logs, bool html) {
    temporary_files::remove_on_signals();
    const std::string prefix = output + "/";
    output_file table(prefix + "stations.csv", prefix, "Output file of stations.csv opening failed.",
                      "of stations.csv");
    output_file summary(prefix + "stations_summary.csv", prefix,
                        "Output file of stations_summary.csv opening failed.", "of stations_summary.csv");
    std::optional<output_file> index;
    if (html) {
        index.emplace(prefix + "index.html", prefix, "Output file of index.html opening failed.", "of index.html");
    }
    std::string text;
    append_station_summary_header(text);
    summary.write(text);

    const std::vector<station_listed> listed = read_station_list(std::cin, logs);
    std::vector<station_entry> stations;
    stations.reserve(listed.size());
    bool header_written = false;
    std::string header;
    for (const station_listed& from : listed) {
        station_entry& station = stations.emplace_back();
        station.given = from.given;
        station.folder = from.folder;
        station.page_link = page::relative_link(output, from.outputs + "/station.html");
        station.place = place_of(from);
        const std::string status = run_status(from);
        text.clear();
        if (status == "exit 0") {
            try {
                read_station_years(station, from.outputs, text, header);
                std::filesystem::rename(from.log + ".planned", from.log + ".fingerprint");
            } catch (const run_failure& fault) {
                station.status = "failed (years.csv)";
                station.message = fault.what();
            } catch (const std::filesystem::filesystem_error&) {
                // Not run this time (up to date): its fingerprint stands.
            }
        } else {
            station.status = "failed (" + status + ")";
            station.message = last_line(from);
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
    for (const station_entry& station : stations) {
        text.clear();
        append_station_summary_row(text, station);
        summary.write(text);
    }
    if (index) {
        text.clear();
        page::append_index(text, stations);
        index->write(text);
    }

    // Every table complete before the first replaces its earlier version.
    std::vector<output_file*> outputs{&table, &summary};
    if (index) {
        outputs.push_back(&*index);
    }
    for (output_file* file : outputs) {
        file->finish();
    }
    for (output_file* file : outputs) {
        file->check_renamable();
    }
    for (output_file* file : outputs) {
        file->rename_into_place();
    }
    const auto failed = std::count_if(stations.begin(), stations.end(),
                                      [](const station_entry& station) { return station.failed(); });
    if (failed > 0) {
        std::fprintf(stderr, "run_stations: %td of %zu stations failed.\n", failed, stations.size());
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace soil_climate

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    const auto take = [&](const char* option) {
        const auto at = std::find(arguments.begin(), arguments.end(), option);
        const bool found = at != arguments.end();
        if (found) {
            arguments.erase(at);
        }
        return found;
    };
    const std::string step = arguments.empty() ? "" : arguments.front();
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    const bool resume = take("--resume");
    const bool html = take("--html");
    try {
        if (step == "plan" && arguments.size() == 2) {
            return soil_climate::plan(arguments[0], arguments[1], resume, html);
        }
        if (step == "tables" && arguments.size() == 2 && !resume) {
            return soil_climate::tables(arguments[0], arguments[1], html);
        }
    } catch (const soil_climate::run_failure& failure) {
        std::fprintf(stderr, "run_stations: %s The earlier tables are kept.\n", failure.what());
        return 1;
    }
    std::fputs("Usage: gather_stations plan [--resume] [--html] LOGS_DIR SALT < stations\n"
               "       gather_stations tables [--html] OUTPUT_DIR LOGS_DIR < stations\n",
               stderr);
    return 2;
}
