#include "driver/gather_plan.hpp"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <map>
#include <set>
#include <unordered_map>

#include "driver/gather_files.hpp"
#include "inputs/fingerprint.hpp"
#include "report/csv.hpp"
#include "station_files/run_failure.hpp"
#include "station_files/run_files.hpp"

namespace soil_climate::gather {
namespace {

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

}  // namespace

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
std::string entry_name(const std::string& entry) { return entry.substr(0, entry.find(' ')); }

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

int list(const std::string& output, bool in_place) {
    namespace fs = std::filesystem;
    std::error_code failure;
    const fs::path working = fs::current_path();
    const fs::path output_resolved = fs::weakly_canonical(output, failure);
    std::vector<station_listed> stations;
    std::vector<std::string> names;                              // each station's name below OUTPUT_DIR/stations
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
                std::fprintf(stderr, "run_stations: %s is the station folder %s again; it runs once\n", folder.c_str(),
                             first.c_str());
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
        std::cout << station.given << '\0' << station.folder << '\0' << station.key << '\0' << station.outputs << '\0';
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

}  // namespace soil_climate::gather
