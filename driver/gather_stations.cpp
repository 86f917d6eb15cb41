// gather_stations: the steps of run_stations around the runs of the stations.
//
//   gather_stations list [--in-place] OUTPUT_DIR < folders > stations
//   gather_stations plan [--resume] [--html] LOGS_DIR SALT < stations
//   gather_stations tables [--html] [--no-reports] OUTPUT_DIR LOGS_DIR < stations
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
// station to run: every station, or with --resume those whose record of their last
// complete run ("<name>.fingerprint") does not stand: the fingerprint of what the results
// are made from (the three input files' bytes and SALT) has changed, the run failed, or
// an output it wrote (summary, SMRS, SMR, WSMR, years.csv, each year's report, and
// station.html with --html) is missing or no longer reads back as it was written. A
// station to run loses its status, output and record, and gets "<name>.planned": the
// fingerprint of what it reads now and the year reports its outputs hold before the run.
//
// tables reads every station's years.csv and station.csv (where it has one) and writes
// into OUTPUT_DIR "stations.csv", "stations_summary.csv" and, with --html, "index.html",
// each under a temporary name, replacing the earlier versions only once all are
// complete. For each station that this run planned and that ended with status 0, it
// records the planned fingerprint and each output's size and hash as the station's
// record, and removes the reports of years that this run did not write (all of them with
// --no-reports). A failed station is listed on standard error with the last line its run
// printed, or with what is wrong with its outputs.
//
// Every file is read with a bound and only when it is a regular file.
//
// Exit status: 0 when every station ran, 1 when any failed, when the list of stations is
// damaged or when a table could not be written, 2 on a usage error.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/input_limits.hpp"
#include "inputs/fingerprint.hpp"
#include "model/year_fields.hpp"
#include "outputs/output_file.hpp"
#include "outputs/temporary_files.hpp"
#include "report/csv.hpp"
#include "report/station_index.hpp"
#include "report/station_report.hpp"
#include "report/year_table.hpp"
#include "station_files/run_failure.hpp"
#include "station_files/run_files.hpp"

namespace soil_climate {
namespace {

// The most that is read of one file: as much as run_station holds of one input. A table
// of 1,000,000 years is about 300 MB.
constexpr std::size_t largest_file = std::size_t{1} << 30;
// station.csv: a header and one row.
constexpr std::size_t largest_station_file = std::size_t{1} << 20;
// One record of a table of years or of station.csv: a station's name of at most
// longest_input_word bytes (twice that quoted), a label of at most NAME_MAX and numbers.
constexpr std::size_t longest_record = 8 * longest_input_word;
// One field of the list of stations: a folder's path.
constexpr std::size_t longest_list_field = std::size_t{1} << 20;
// A status file: a number and a line end.
constexpr std::size_t largest_status = 64;
// What is read of the end of a run's output for its last line.
constexpr std::size_t last_line_tail = 65536;

// The coordinates a station can have, as the importer checks them.
inline constexpr value_range station_latitude{"latitude", -90.0, 90.0, "degrees"};
inline constexpr value_range station_longitude{"longitude", -180.0, 360.0, "degrees"};
inline constexpr value_range station_elevation{"elevation", -500.0, 9000.0, "m"};

struct station_listed {
    std::string given;
    std::string folder;
    std::string key;  // the name of its log files
    std::string log;  // LOGS_DIR/<key>, without the ending
    std::string outputs;
};

// What went wrong with one station after its run: the part at fault ("years.csv",
// "station.csv", "outputs", "logs") and the one-line message.
struct station_fault {
    std::string part;
    std::string message;
};

std::string size_words(std::size_t bytes) {
    return bytes >= (std::size_t{1} << 30)   ? std::to_string(bytes >> 30) + " GiB"
           : bytes >= (std::size_t{1} << 20) ? std::to_string(bytes >> 20) + " MiB"
           : bytes >= 1024                   ? std::to_string(bytes >> 10) + " KiB"
                                             : std::to_string(bytes) + " bytes";
}

// A file as read: its bytes; nothing when there is no such file; or what stopped the
// reading, in words that follow the file's name.
struct file_text {
    std::optional<std::string> bytes;
    std::string fault;
};

// Opens a file for reading only when it is a regular file: a FIFO is opened without
// waiting for a writer and then refused, as are folders and devices.
int open_regular(const std::string& name, file_text& result, struct stat& status) {
    int descriptor = -1;
    do {
        descriptor = open(name.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        if (errno != ENOENT) {
            result.fault = std::string("cannot be read: ") + std::strerror(errno);
        }
        return -1;
    }
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        result.fault = "is not a regular file";
        close(descriptor);
        return -1;
    }
    return descriptor;
}

// Reads from `descriptor` up to its end, failing once the text would pass `limit`.
void read_to_end(int descriptor, std::size_t limit, file_text& result) {
    std::string bytes;
    char chunk[65536];
    while (true) {
        const ssize_t got = read(descriptor, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            result.fault = std::string("cannot be read: ") + std::strerror(errno);
            break;
        }
        if (got == 0) {
            result.bytes = std::move(bytes);
            break;
        }
        if (bytes.size() + static_cast<std::size_t>(got) > limit) {
            result.fault = "holds more than " + size_words(limit);
            break;
        }
        bytes.append(chunk, static_cast<std::size_t>(got));
    }
    if (close(descriptor) != 0 && result.fault.empty()) {
        result.fault = std::string("cannot be read: ") + std::strerror(errno);
        result.bytes.reset();
    }
}

file_text read_bounded(const std::string& name, std::size_t limit) {
    file_text result;
    struct stat status {};
    const int descriptor = open_regular(name, result, status);
    if (descriptor < 0) {
        return result;
    }
    if (static_cast<std::uintmax_t>(status.st_size) > limit) {
        close(descriptor);
        result.fault = "holds more than " + size_words(limit);
        return result;
    }
    read_to_end(descriptor, limit, result);
    return result;
}

// The last `limit` bytes of a file (a run's output, which may be long).
file_text read_tail(const std::string& name, std::size_t limit) {
    file_text result;
    struct stat status {};
    const int descriptor = open_regular(name, result, status);
    if (descriptor < 0) {
        return result;
    }
    const auto size = static_cast<std::uintmax_t>(status.st_size);
    if (size > limit && lseek(descriptor, static_cast<off_t>(size - limit), SEEK_SET) < 0) {
        close(descriptor);
        result.fault = std::string("cannot be read: ") + std::strerror(errno);
        return result;
    }
    read_to_end(descriptor, limit, result);
    return result;
}

// The first `count` bytes of a file, or all of a shorter one.
file_text read_head(const std::string& name, std::size_t count) {
    file_text result;
    struct stat status {};
    const int descriptor = open_regular(name, result, status);
    if (descriptor < 0) {
        return result;
    }
    std::string bytes(count, '\0');
    std::size_t got = 0;
    while (got < count) {
        const ssize_t part = read(descriptor, bytes.data() + got, count - got);
        if (part < 0 && errno == EINTR) {
            continue;
        }
        if (part <= 0) {
            break;
        }
        got += static_cast<std::size_t>(part);
    }
    close(descriptor);
    bytes.resize(got);
    result.bytes = std::move(bytes);
    return result;
}

// Writes a small file of the logs whole: under a temporary name beside it, then renamed
// over it, so that a record is never half written. The error in words, or "".
std::string write_log_file(const std::string& name, std::string_view text) {
    const std::string temporary = name + ".writing";
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        return std::strerror(errno);
    }
    const bool written = write_all(descriptor, text);
    const int write_error = errno;
    const bool closed = close(descriptor) == 0;
    std::string fault;
    if (!written || !closed) {
        fault = std::strerror(written ? errno : write_error);
    } else if (std::rename(temporary.c_str(), name.c_str()) != 0) {
        fault = std::strerror(errno);
    }
    if (!fault.empty()) {
        std::remove(temporary.c_str());
    }
    return fault;
}

// Removes a log entry, whatever stands under its name (a damaged entry may be a folder).
// The error in words, or "".
std::string remove_log_entry(const std::string& name) {
    std::error_code failure;
    std::filesystem::remove_all(name, failure);
    return failure ? failure.message() : "";
}

// Reads one NUL-ended field of the list of stations. False at the end of the list; a
// field that the list ends inside of, or longer than any path, is a damaged list.
bool read_list_field(std::istream& in, std::string& field) {
    field.clear();
    std::streambuf* buffer = in.rdbuf();
    for (int c = buffer->sbumpc(); c != '\0'; c = buffer->sbumpc()) {
        if (c == std::char_traits<char>::eof()) {
            if (field.empty()) {
                return false;
            }
            throw run_failure("The list of stations is cut short.");
        }
        if (field.size() == longest_list_field) {
            throw run_failure("The list of stations holds a field longer than " + size_words(longest_list_field) +
                              ".");
        }
        field.push_back(static_cast<char>(c));
    }
    return true;
}

// The list of stations, four fields each. A list cut short or empty is refused: the
// tables made from it would silently lack stations.
std::vector<station_listed> read_station_list(std::istream& in, const std::string& logs) {
    std::vector<station_listed> stations;
    station_listed station;
    while (read_list_field(in, station.given)) {
        if (!read_list_field(in, station.folder) || !read_list_field(in, station.key) ||
            !read_list_field(in, station.outputs)) {
            throw run_failure("The list of stations is cut short.");
        }
        if (!station.folder.starts_with('/') || station.key.empty() || station.outputs.empty()) {
            throw run_failure("The list of stations is damaged at station " + std::to_string(stations.size() + 1) +
                              ".");
        }
        station.log = logs + "/" + station.key;
        stations.push_back(station);
    }
    if (stations.empty()) {
        throw run_failure("The list of stations holds no station.");
    }
    return stations;
}

// How a station's run ended: "exit N" from its status file, else "not run".
std::string run_status(const station_listed& station) {
    const file_text text = read_bounded(station.log + ".status", largest_status);
    if (!text.bytes || text.bytes->empty()) {
        return "not run";
    }
    return "exit " + text.bytes->substr(0, text.bytes->find('\n'));
}

// The last line that the station's run printed, or "no output".
std::string last_line(const station_listed& station) {
    file_text text = read_tail(station.log + ".out", last_line_tail);
    if (!text.bytes || text.bytes->empty()) {
        return "no output";
    }
    std::string& bytes = *text.bytes;
    if (bytes.back() == '\n') {
        bytes.pop_back();
    }
    return bytes.substr(bytes.rfind('\n') + 1);
}

std::string hex_of(std::uint64_t value, int digits) {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, value);
    return std::string(text + 16 - digits);
}

// What a station's results are made from: its three input files and SALT (the program's
// version and the options), as 16 hexadecimal digits, computed from the files as they are
// now.
std::string fingerprint_of(const station_listed& station, const std::string& salt) {
    fingerprint hash;
    hash.add(salt);
    for (const char* name : {"monthly_T", "monthly_P", "parameter"}) {
        hash.add(name);
        const file_text bytes = read_bounded(station.folder + "/" + name, largest_file);
        hash.add(bytes.bytes ? *bytes.bytes : std::string("\0missing", 8));
    }
    return hex_of(hash.value(), 16);
}

// An output as its record holds it: "<name> <size> <hash>", the hash taken a word at a
// time (the outputs of a station are read back at every resume).
std::string output_entry(const std::string& name, std::string_view bytes) {
    fingerprint hash;
    hash.add_word(bytes.size());
    std::size_t at = 0;
    for (; at + 8 <= bytes.size(); at += 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, bytes.data() + at, 8);
        hash.add_word(word);
    }
    hash.add(bytes.data() + at, bytes.size() - at);
    return name + " " + std::to_string(bytes.size()) + " " + hex_of(hash.value(), 16);
}

// The name of an output as its record holds it (the words before its size).
std::string entry_name(const std::string& entry) {
    return entry.substr(0, entry.find(' '));
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        lines.push_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// What the runs were asked to write beyond the tables: the pages, the drawings alone.
struct asked_outputs {
    bool html = false;
    bool figures = false;
};

// The fixed outputs of a station's run (its reports come on top).
std::vector<std::string> fixed_outputs(asked_outputs asked) {
    std::vector<std::string> names{"summary", "SMRS", "SMR", "WSMR", "years.csv"};
    if (asked.html) {
        names.push_back("station.html");
    }
    if (asked.figures) {
        names.insert(names.end(), {"moisture_calendar.svg", "temperature_calendar.svg", "regime_frequencies.svg"});
    }
    return names;
}

// The year labels of a table of years (the names of its reports), as far as it reads as
// a table: what the outputs held before a run.
std::vector<std::string> labels_in(const std::string& years_csv) {
    std::vector<std::string> labels;
    const file_text text = read_bounded(years_csv, largest_file);
    if (!text.bytes) {
        return labels;
    }
    std::string_view rest = *text.bytes;
    std::vector<std::string> fields;
    for (bool header = true; read_csv_record(rest, fields); header = false) {
        if (!header && !fields.empty()) {
            labels.push_back(fields.front());
        }
    }
    return labels;
}

// A name that a year's report can have (run_station refuses labels that are paths or the
// names of its own files), so that removing an old report removes nothing else.
bool report_name(const std::string& name) {
    return !name.empty() && name.size() <= NAME_MAX && name.find('/') == std::string::npos && name != "." &&
           name != ".." && !is_run_file_suffix(name) && !name.starts_with(temporary_file_marker);
}

// Whether a station's record of its last complete run still stands: made from the
// inputs as they are now (`current`), every output it lists (the ones this run asks for
// among them) reading back as it was written.
bool record_stands(const station_listed& station, const std::string& current, asked_outputs asked) {
    const file_text text = read_bounded(station.log + ".fingerprint", largest_file);
    if (!text.bytes) {
        return false;
    }
    const std::vector<std::string> lines = lines_of(*text.bytes);
    if (lines.empty() || lines.front() != current) {
        return false;
    }
    std::set<std::string> listed;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::string name = entry_name(lines[i]);
        const file_text bytes = read_bounded(station.outputs + "/" + name, largest_file);
        if (!bytes.bytes || output_entry(name, *bytes.bytes) != lines[i]) {
            return false;
        }
        listed.insert(name);
    }
    const std::vector<std::string> wanted = fixed_outputs(asked);
    return std::all_of(wanted.begin(), wanted.end(), [&](const std::string& name) { return listed.contains(name); });
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
    std::vector<std::string> names;  // each station's name below OUTPUT_DIR/stations
    std::unordered_map<std::string, std::size_t> resolved_seen;  // the station listed for each
    std::string given;
    while (read_list_field(std::cin, given)) {
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
        // Named by the folder's last part as given; a folder given as "." or ".." (or
        // "b/.", "b/c/..") by the last part of the folder it resolves to, so that its
        // outputs never land in OUTPUT_DIR/stations or OUTPUT_DIR themselves.
        std::string name = fs::path(folder).filename().string();
        if (name == "." || name == ".." || name.empty()) {
            name = fs::path(resolved).filename().string();
        }
        if (name.empty() || name == "." || name == "..") {
            name = "root";
        }
        resolved_seen.emplace(resolved, stations.size());
        stations.push_back({given, folder, log_key_of(folder), "", ""});
        names.push_back(name);
    }
    // Outputs under OUTPUT_DIR/stations, with a hash of the path where two stations share
    // a name.
    std::map<std::string, int> sharing;
    for (const std::string& name : names) {
        ++sharing[name];
    }
    for (std::size_t i = 0; i < stations.size(); ++i) {
        station_listed& station = stations[i];
        std::string name = names[i];
        if (sharing[name] > 1) {
            fingerprint hash;
            hash.add(station.folder);
            name += "-" + hex_of(hash.value(), 8);
        }
        station.outputs = in_place ? station.folder : output + "/stations/" + name;
        std::cout << station.given << '\0' << station.folder << '\0' << station.key << '\0' << station.outputs
                  << '\0';
    }
    if (!std::cout.flush()) {
        std::fputs("run_stations: cannot write the list of stations.\n", stderr);
        return 1;
    }
    return stations.empty() ? 2 : 0;
}

// Plans the run. A fingerprint becomes a station's record only through `tables`, after
// its run in this same run_stations ended with status 0: so every station to run first
// loses its status and record, and every station drops a plan an interrupted run left.
int plan(const std::string& logs, const std::string& salt, bool resume, asked_outputs asked) {
    const std::vector<station_listed> stations = read_station_list(std::cin, logs);
    const auto clear = [](const std::string& name) {
        if (const std::string fault = remove_log_entry(name); !fault.empty()) {
            throw run_failure("Cannot remove the log entry " + name + ": " + fault + ".");
        }
    };
    for (const station_listed& station : stations) {
        const std::string current = fingerprint_of(station, salt);
        clear(station.log + ".planned");
        if (resume && run_status(station) == "exit 0" && record_stands(station, current, asked)) {
            continue;
        }
        // The reports the outputs hold now, by the last record and by the table of years:
        // those that the run does not write again are removed after it.
        std::set<std::string> held;
        if (const file_text record = read_bounded(station.log + ".fingerprint", largest_file); record.bytes) {
            const std::vector<std::string> lines = lines_of(*record.bytes);
            for (std::size_t i = 1; i < lines.size(); ++i) {
                held.insert(entry_name(lines[i]));
            }
        }
        for (const std::string& label : labels_in(station.outputs + "/years.csv")) {
            held.insert(label);
        }
        std::string planned = current + "\n";
        for (const std::string& name : held) {
            if (report_name(name)) {
                planned += name + "\n";
            }
        }
        clear(station.log + ".fingerprint");
        clear(station.log + ".status");
        clear(station.log + ".out");  // the run writes it anew (a FIFO there would hold it up)
        if (const std::string fault = write_log_file(station.log + ".planned", planned); !fault.empty()) {
            throw run_failure("Cannot write the log entry " + station.log + ".planned: " + fault + ".");
        }
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
        for (const auto& [range, value] : {std::pair{&station_latitude, &place.latitude},
                                           std::pair{&station_longitude, &place.longitude},
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
        throw station_fault{"years.csv", where + ": comparing periods needs a year as the label and a mean soil "
                                                 "temperature, not \"" + label.substr(0, 16) + "\""};
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
                               *dropped.begin() +
                               (dropped.size() > 1 ? " and " + *dropped.rbegin() : "") + "; see import_report.csv)");
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
            add_to_periods(station, *periods, fields.front(), fields[soil_temperature], static_cast<soil_moisture_regime>(m),
                           where);
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
            throw station_fault{"outputs", "cannot remove the report " + path + " of a year this run did not write: " +
                                               std::strerror(errno)};
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

int tables(const std::string& output, const std::string& logs, asked_outputs asked, bool reports,
           const std::optional<compared_periods>& periods) {
    const std::vector<station_listed> listed = read_station_list(std::cin, logs);
    temporary_files::remove_on_signals();
    const std::string prefix = output + "/";
    output_file table(prefix + "stations.csv", prefix, "Output file of stations.csv opening failed.",
                      "of stations.csv");
    output_file summary(prefix + "stations_summary.csv", prefix,
                        "Output file of stations_summary.csv opening failed.", "of stations_summary.csv");
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
        "       gather_stations plan [--resume] [--html] [--figures] LOGS_DIR SALT < stations\n"
        "       gather_stations tables [--html] [--figures] [--no-reports] [--periods A:B,C:D] OUTPUT_DIR LOGS_DIR "
        "< stations\n"
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
    const soil_climate::asked_outputs asked{take("--html"), take("--figures")};
    const bool in_place = take("--in-place");
    const bool no_reports = take("--no-reports");
    std::optional<soil_climate::compared_periods> periods;
    if (const auto at = std::find(arguments.begin(), arguments.end(), "--periods"); at != arguments.end()) {
        periods = at + 1 == arguments.end() ? std::nullopt : soil_climate::parse_periods(*(at + 1));
        if (!periods || step != "tables") {
            std::fprintf(stderr, "run_stations: --periods needs two periods of years, e.g. 1961:1990,1991:2020\n");
            return 2;
        }
        arguments.erase(at, at + 2);
    }
    try {
        if (step == "list" && arguments.size() == 1 && !resume && !asked.html && !asked.figures && !no_reports) {
            return soil_climate::list(arguments[0], in_place);
        }
        if (step == "plan" && arguments.size() == 2 && !no_reports) {
            return soil_climate::plan(arguments[0], arguments[1], resume, asked);
        }
        if (step == "tables" && arguments.size() == 2 && !resume && !in_place) {
            return soil_climate::tables(arguments[0], arguments[1], asked, !no_reports, periods);
        }
    } catch (const soil_climate::run_failure& failure) {
        std::fprintf(stderr, "run_stations: %s The earlier tables are kept.\n", failure.what());
        return 1;
    }
    std::fputs(usage, stderr);
    return 2;
}
