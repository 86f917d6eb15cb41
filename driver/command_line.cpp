#include "driver/command_line.hpp"

#include <sys/stat.h>

#include <string>
#include <string_view>

#include "inputs/number_text.hpp"
#include "station_files/run_failure.hpp"

namespace soil_climate {

namespace {

bool is_folder(const char* path) {
    struct stat status {};
    return stat(path, &status) == 0 && S_ISDIR(status.st_mode);
}

// The widest soil temperature scale that may be fixed, °C at either end.
constexpr int scale_limit = 100;

// "MIN:MAX", whole degrees C with MIN below MAX, both within the limit.
std::pair<int, int> temperature_scale_of(const char* text) {
    double low = 0.0;
    double high = 0.0;
    const std::string_view given = text;
    const std::size_t colon = given.find(':');
    if (colon == std::string_view::npos || !parse_whole_number(std::string(given.substr(0, colon)), low) ||
        !parse_whole_number(std::string(given.substr(colon + 1)), high) || low != static_cast<int>(low) ||
        high != static_cast<int>(high) || low >= high || low < -scale_limit || high > scale_limit) {
        throw run_failure("Command line: --temperature-scale \"" + std::string(given) +
                          "\" is not MIN:MAX, whole degrees C from -100 to 100 with MIN below MAX.");
    }
    return {static_cast<int>(low), static_cast<int>(high)};
}

}  // namespace

command_line parse_command_line(int argc, const char* const* argv) {
    command_line options;
    std::string input_dir;
    int next = 1;
    for (; next < argc && (std::string_view(argv[next]).starts_with("--") || std::string_view(argv[next]) == "-h");
         ++next) {
        const std::string_view option = argv[next];
        if (option == "--") {
            ++next;
            break;
        }
        if (option == "--csv") {
            options.write_csv = true;
        } else if (option == "--html") {
            options.write_html = true;
        } else if (option == "--figures") {
            options.write_figures = true;
        } else if (option == "--temperature-scale") {
            if (next + 1 >= argc) {
                throw run_failure("Command line: --temperature-scale needs MIN:MAX in degrees C.");
            }
            options.temperature_scale = temperature_scale_of(argv[++next]);
        } else if (option == "--cold-regimes") {
            options.cold_regimes = true;
        } else if (option == "--no-reports") {
            options.write_reports = false;
        } else if (option == "--output-dir" || option == "--input-dir" || option == "--stations") {
            if (next + 1 >= argc || std::string_view(argv[next + 1]).empty()) {
                throw run_failure("Command line: " + std::string(option) + " needs a folder.");
            }
            (option == "--output-dir"  ? options.output_dir
             : option == "--input-dir" ? input_dir
                                       : options.logs_dir) = argv[++next];
        } else if (option == "--help" || option == "-h") {
            options.action = command_line::request::help;
        } else if (option == "--version") {
            options.action = command_line::request::version;
        } else {
            throw run_failure("Command line: unknown option " + std::string(option) +
                              "; run_station --help lists the options.");
        }
    }
    if (!options.logs_dir.empty() && (next < argc || !input_dir.empty() || !options.output_dir.empty())) {
        throw run_failure("Command line: --stations takes its stations from standard input, with no folder, "
                          "capacity or --output-dir.");
    }
    if (next + 1 == argc && !parse_whole_number(argv[next], options.capacity_mm) && is_folder(argv[next])) {
        // A station's folder alone: "run_station stations/capetown".
        input_dir = argv[next++];
    }
    if (next < argc) {
        options.capacity_given = true;
        options.capacity_text = argv[next];
        if (!parse_whole_number(options.capacity_text, options.capacity_mm)) {
            throw run_failure("Command line: water-holding capacity \"" + options.capacity_text +
                              "\" is not a number of mm; run_station --help explains the arguments.");
        }
    }
    if (next + 1 < argc) {
        options.file_prefix = argv[next + 1];
    }
    if (!input_dir.empty()) {
        if (next + 1 < argc) {
            throw run_failure("Command line: give the station's folder once, either as a folder or as the prefix.");
        }
        options.file_prefix = input_dir.ends_with('/') ? input_dir : input_dir + "/";
    }
    return options;
}

const char* usage_text() {
    return "Usage: run_station [--csv] [--html] [--figures] [--cold-regimes] [--no-reports] [--output-dir DIR]\n"
           "                   [capacity [prefix]]\n"
           "       run_station [options] STATION_FOLDER | --input-dir STATION_FOLDER [capacity]\n"
           "       run_station --help | -h | --version\n"
           "\n"
           "Simulates the soil water and soil temperature of one station year by year and\n"
           "classifies each year's soil moisture regime, its tentative subdivision and the\n"
           "soil temperature regime.\n"
           "\n"
           "  capacity   water-holding capacity of the soil in mm, 0 to 1000000; replaces\n"
           "             the parameter file's (which is in inches)\n"
           "  prefix     text put in front of every file name (given only with a capacity)\n"
           "  --csv      also write prefix + \"years.csv\": one row per year for R or Python\n"
           "  --html     also write prefix + \"station.html\": every year's calendars at a glance\n"
           "  --figures  also write the page's drawings alone, for papers: prefix +\n"
           "             \"moisture_calendar.svg\", \"temperature_calendar.svg\" and\n"
           "             \"regime_frequencies.svg\"\n"
           "  --temperature-scale MIN:MAX  colour the soil temperatures over MIN to MAX deg C\n"
           "                     (whole degrees), so that pages and figures compare\n"
           "  --cold-regimes     also name the cold soil temperature regimes: Pergelic for a\n"
           "                     mean soil temperature below 0 deg C, Cryic for 0 to below 8\n"
           "                     deg C with a summer soil mean below 15 deg C\n"
           "  --no-reports       write no report file per year (every other file is the same)\n"
           "  --output-dir DIR   write every output into DIR (created if missing) and only\n"
           "                     read the inputs, which may then be read-only\n"
           "  --input-dir DIR    read the station's files from the folder DIR; a folder given\n"
           "                     alone, with no capacity, is read the same way\n"
           "  --stations LOGS    run the stations listed on standard input (NUL-separated:\n"
           "                     folder, log name, output folder), each as if alone, its\n"
           "                     messages into LOGS/<log name>.out and its exit status into\n"
           "                     LOGS/<log name>.status (how run_stations runs a batch)\n"
           "  --help, -h print this text;  --version  print the version\n"
           "\n"
           "Reads prefix + monthly_T (label and 12 monthly mean air temperatures, deg F),\n"
           "monthly_P (label and 12 monthly precipitation totals, inches) and parameter\n"
           "(latitude, N or S, capacity in inches, soil temperature offset in deg C,\n"
           "amplitude factor, phase shift in days, station name).\n"
           "Writes one report per year named prefix + label, and prefix + summary, SMRS,\n"
           "SMR and WSMR.\n"
           "\n"
           "Every input is checked before any output file is created or changed; each output\n"
           "appears under its name only once it is complete.\n"
           "\n"
           "Exit status: 0 after a complete run; 1 after a failure, printed as one line on\n"
           "standard output. Warnings go to standard error.\n";
}

}  // namespace soil_climate
