// gather_stations: the gathering step of run_stations. After the stations have run, it
// reads each station's table of years and the log of its run, and writes into the output
// folder the tables of all stations: "stations.csv" (every station's rows of years.csv,
// led by a station column), "stations_summary.csv" (a station's share of years in each
// name of the three regime tables) and, with --html, "index.html". Each table is written
// under a temporary name and all of them replace their earlier versions only once every
// one is complete.
//
//   gather_stations [--html] OUTPUT_DIR LOGS_DIR < stations
//
// The stations come on standard input as NUL-separated pairs: the station's folder (an
// absolute path) and the name of its log files in LOGS_DIR ("<name>.status" holds the
// exit status of its run, "<name>.out" what it printed). A station that failed is listed
// on standard error with the last line its run printed. Exit status: 0 when every station
// ran, 1 when any failed or a table could not be written, 2 on a usage error.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "driver/run_failure.hpp"
#include "model/year_fields.hpp"
#include "outputs/output_file.hpp"
#include "outputs/temporary_files.hpp"
#include "report/csv.hpp"
#include "report/station_index.hpp"
#include "report/year_table.hpp"

namespace soil_climate {
namespace {

std::optional<std::string> read_file(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// How a station's run ended: "exit N" from its status file, else "not run".
std::string run_status(const std::string& log) {
    const std::optional<std::string> text = read_file(log + ".status");
    if (!text || text->empty()) {
        return "not run";
    }
    return "exit " + text->substr(0, text->find('\n'));
}

// The last line that the station's run printed, or "no output".
std::string last_line(const std::string& log) {
    std::optional<std::string> text = read_file(log + ".out");
    if (!text || text->empty()) {
        return "no output";
    }
    if (text->back() == '\n') {
        text->pop_back();
    }
    return text->substr(text->rfind('\n') + 1);
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

// The column of a field of the table of years.
std::size_t column_of(std::string_view name) {
    for (std::size_t i = 0; i < year_fields.size(); ++i) {
        if (year_fields[i].name == name) {
            return i;
        }
    }
    throw std::logic_error("no field " + std::string(name));
}

// One station's years.csv: its rows appended to the table of all stations, its regimes
// counted. A file that is not a table of years of this program is a failure of the station.
struct station_years {
    station_tally tally;
    bool has_table = false;
};

station_years read_station_years(const std::string& folder, std::string& table, std::string& header_line) {
    station_years station;
    const std::optional<std::string> text = read_file(folder + "/years.csv");
    if (!text) {
        return station;
    }
    std::string_view rest = *text;
    std::vector<std::string> fields;
    static const std::size_t moisture = column_of("moisture_regime");
    static const std::size_t subdivision = column_of("subdivision");
    static const std::size_t temperature = column_of("temperature_regime");
    static const std::size_t station_name = column_of("station_name");
    std::string row;
    for (int record = 0; read_csv_record(rest, fields); ++record) {
        const std::string where = folder + "/years.csv: record " + std::to_string(record + 1);
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
            header_line = "station," + row + "\n";
            station.has_table = true;
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
        }
        station.tally.add_year(static_cast<soil_moisture_regime>(m), static_cast<moisture_subdivision>(s),
                               static_cast<soil_temperature_regime>(t));
        append_csv_quoted(table, folder);
        table += ',';
        table += row;
        table += '\n';
    }
    if (!rest.empty()) {
        throw run_failure(folder + "/years.csv: a quoted field does not close");
    }
    return station;
}

// The stations' folders and log names, as NUL-separated pairs.
std::vector<std::pair<std::string, std::string>> read_station_list(std::istream& in) {
    std::vector<std::pair<std::string, std::string>> stations;
    std::string folder;
    std::string key;
    while (std::getline(in, folder, '\0') && std::getline(in, key, '\0')) {
        stations.emplace_back(folder, key);
    }
    return stations;
}

int gather(const std::string& output, const std::string& logs, bool html) {
    temporary_files::remove_on_signals();
    const std::string prefix = output + "/";
    output_file table(prefix + "stations.csv", prefix, "Output file of stations.csv opening failed.",
                      "of stations.csv");
    output_file summary(prefix + "stations_summary.csv", prefix,
                        "Output file of stations_summary.csv opening failed.", "of stations_summary.csv");
    std::optional<output_file> index;
    std::string text;
    append_station_summary_header(text);
    summary.write(text);
    if (html) {
        index.emplace(prefix + "index.html", prefix, "Output file of index.html opening failed.", "of index.html");
        text.clear();
        page::append_index_head(text);
        index->write(text);
    }

    const auto stations = read_station_list(std::cin);
    int failed = 0;
    bool header_written = false;
    std::string header;
    for (const auto& [folder, key] : stations) {
        const std::string log = logs + "/" + key;
        std::string status = run_status(log);
        std::string message;
        station_years years;
        text.clear();
        if (status == "exit 0") {
            try {
                years = read_station_years(folder, text, header);
            } catch (const run_failure& fault) {
                status = "years.csv";
                message = fault.what();
            }
        } else {
            message = last_line(log);
        }
        if (status != "exit 0") {
            std::fprintf(stderr, "run_stations: %s failed (%s): %s\n", folder.c_str(), status.c_str(),
                         message.c_str());
            ++failed;
            continue;
        }
        if (years.has_table && !header_written) {
            table.write(header);
            header_written = true;
        }
        table.write(text);
        if (index && years.tally.years > 0) {
            text.clear();
            page::append_index_row(text, folder, page::relative_link(output, folder + "/station.html"),
                                   years.tally);
            index->write(text);
        }
        text.clear();
        append_station_summary_row(text, folder, years.tally);
        summary.write(text);
    }
    if (index) {
        text.clear();
        page::append_index_tail(text);
        index->write(text);
    }

    // Every table complete before the first replaces its earlier version.
    table.finish();
    summary.finish();
    if (index) {
        index->finish();
    }
    table.rename_into_place();
    summary.rename_into_place();
    if (index) {
        index->rename_into_place();
    }
    if (failed > 0) {
        std::fprintf(stderr, "run_stations: %d of %zu stations failed.\n", failed, stations.size());
        return 1;
    }
    return 0;
}

}  // namespace
}  // namespace soil_climate

int main(int argc, char** argv) {
    std::vector<std::string> arguments(argv + 1, argv + argc);
    bool html = false;
    if (!arguments.empty() && arguments.front() == "--html") {
        html = true;
        arguments.erase(arguments.begin());
    }
    if (arguments.size() != 2) {
        std::fputs("Usage: gather_stations [--html] OUTPUT_DIR LOGS_DIR < stations\n", stderr);
        return 2;
    }
    try {
        return soil_climate::gather(arguments[0], arguments[1], html);
    } catch (const soil_climate::run_failure& failure) {
        std::fprintf(stderr, "run_stations: %s The earlier tables are kept.\n", failure.what());
        return 1;
    }
}
