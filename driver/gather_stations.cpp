// gather_stations: the steps of run_stations around the runs of the stations.
//
//   gather_stations list [--in-place] OUTPUT_DIR < folders > stations
//   gather_stations plan [--resume] [--html] LOGS_DIR SALT < stations
//   gather_stations tables [--html] OUTPUT_DIR LOGS_DIR < stations
//
// list reads the folders as given on the command line (NUL-separated) and writes the
// stations: NUL-separated fields, four a station: its name as given, its folder (an
// absolute path), the name of its log files in LOGS_DIR ("<name>.status" holds the exit
// status of its run, "<name>.out" what it printed) and the folder of its outputs
// (OUTPUT_DIR/stations/<name>, or the folder itself with --in-place). A folder given
// again, however spelled, is listed once; a folder that is no station is skipped; each
// with a line on standard error.
//
// plan prints, NUL-separated, the folder, the log name and the output folder of each
// station to run:
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
#include <map>
#include <unordered_map>
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
    std::string key;  // the name of its log files
    std::string log;  // LOGS_DIR/<key>, without the ending
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
    while (std::getline(in, station.given, '\0') && std::getline(in, station.folder, '\0') &&
           std::getline(in, station.key, '\0') && std::getline(in, station.outputs, '\0')) {
        station.log = logs + "/" + station.key;
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

std::string hex_of(std::uint64_t value, int digits) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return std::string(text + 16 - digits);
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
    return hex_of(hash.value(), 16);
}

// A folder's name in the logs folder: its absolute path with "%" and "/" encoded, so that
// every folder has its own and the same folder always the same; a path too long for a
// file name keeps its first bytes and a hash of the whole.
std::string log_key_of(const std::string& folder) {
    std::string key;
    for (const char c : folder) {
        key += c == '%' ? "%25" : c == '/' ? "%2F" : std::string(1, c);
    }
    if (key.size() > 200) {
        fingerprint hash;
        hash.add(folder);
        key = key.substr(0, 120) + "~" + hex_of(hash.value(), 16);
    }
    return key;
}

int list(const std::string& output, bool in_place) {
    namespace fs = std::filesystem;
    std::error_code failure;
    const fs::path working = fs::current_path();
    const fs::path output_resolved = fs::weakly_canonical(output, failure);
    std::vector<station_listed> stations;
    std::unordered_map<std::string, std::size_t> resolved_seen;  // the station listed for each
    std::string given;
    while (std::getline(std::cin, given, '\0')) {
        std::string folder = given.starts_with('/') ? given : (working / given).string();
        while (folder.size() > 1 && folder.back() == '/') {
            folder.pop_back();
        }
        std::string resolved = fs::weakly_canonical(folder, failure).string();
        if (failure) {
            resolved = folder;
        }
        if (const auto seen = resolved_seen.find(resolved); seen != resolved_seen.end()) {
            const std::string& first = stations[seen->second].folder;
            if (first != folder) {
                std::fprintf(stderr, "run_stations: %s is the station folder %s again; it runs once\n",
                             folder.c_str(), first.c_str());
            }
            continue;
        }
        const char* missing = nullptr;
        for (const char* name : {"monthly_T", "monthly_P", "parameter"}) {
            if (!fs::is_regular_file(folder + "/" + name, failure)) {
                missing = name;
                break;
            }
        }
        if (missing != nullptr || fs::path(resolved) == output_resolved) {
            std::fprintf(stderr, "run_stations: skipping %s: not a station folder (no %s)\n", folder.c_str(),
                         missing != nullptr ? missing : "monthly_T");
            continue;
        }
        resolved_seen.emplace(resolved, stations.size());
        stations.push_back({given, folder, log_key_of(folder), "", ""});
    }
    // Outputs under OUTPUT_DIR/stations, named by the folder's last part, with a hash of
    // the path where two stations share that part.
    std::map<std::string, int> sharing;
    for (const station_listed& station : stations) {
        ++sharing[fs::path(station.folder).filename().string()];
    }
    for (station_listed& station : stations) {
        std::string name = fs::path(station.folder).filename().string();
        if (sharing[name] > 1) {
            fingerprint hash;
            hash.add(station.folder);
            name += "-" + hex_of(hash.value(), 8);
        }
        station.outputs = in_place ? station.folder : output + "/stations/" + name;
        std::cout << station.given << '\0' << station.folder << '\0' << station.key << '\0' << station.outputs
                  << '\0';
    }
    return stations.empty() ? 2 : 0;
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
        std::cout << station.folder << '\0' << station.key << '\0' << station.outputs << '\0';
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
    rename_together(outputs);
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
    static constexpr const char* usage =
        "Usage: gather_stations list [--in-place] OUTPUT_DIR < folders > stations\n"
        "       gather_stations plan [--resume] [--html] LOGS_DIR SALT < stations\n"
        "       gather_stations tables [--html] OUTPUT_DIR LOGS_DIR < stations\n"
        "       gather_stations --help\n"
        "The steps of run_stations around the runs of the stations; see gather_stations(1).\n";
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
    if (step == "--help") {
        std::fputs(usage, stdout);
        return 0;
    }
    if (!arguments.empty()) {
        arguments.erase(arguments.begin());
    }
    const bool resume = take("--resume");
    const bool html = take("--html");
    const bool in_place = take("--in-place");
    try {
        if (step == "list" && arguments.size() == 1 && !resume && !html) {
            return soil_climate::list(arguments[0], in_place);
        }
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
    std::fputs(usage, stderr);
    return 2;
}
