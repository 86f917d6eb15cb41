#pragma once

#include <optional>
#include <string>
#include <utility>

namespace soil_climate {

// The command line: options first ("--csv", "--html", "--figures", "--temperature-scale
// MIN:MAX", "--no-reports", "--output-dir DIR", "--input-dir DIR", "--stations LOGS_DIR",
// "--help" or "-h",
// "--version", "--" to end them), then the positional
// arguments, an optional water-holding capacity (mm) that replaces the parameter file's
// and an optional file-name prefix. A single positional argument that is no number but a
// folder is the station's folder (its capacity from the parameter file). Further arguments
// are ignored.
struct command_line {
    enum class request { run, help, version };
    request action = request::run;
    bool write_csv = false;    // --csv: also write prefix + "years.csv"
    bool write_html = false;   // --html: also write prefix + "station.html"
    bool write_figures = false;  // --figures: also write the page's drawings as SVG files
    // --temperature-scale MIN:MAX: the soil temperature colours over MIN to MAX °C
    std::optional<std::pair<int, int>> temperature_scale;
    bool write_reports = true;  // --no-reports: no report file per year
    bool cold_regimes = false;  // --cold-regimes: Pergelic and Cryic years as well
    std::string output_dir;     // --output-dir: every output in this folder, created if missing
    // --stations LOGS_DIR: the stations listed on standard input, each into its own log
    std::string logs_dir;
    bool capacity_given = false;
    double capacity_mm = 0.0;  // the first positional argument, wholly a number
    std::string capacity_text;
    std::string file_prefix;
};

// Reads the command line. An unknown option, or a capacity that is not wholly a number
// (blanks around it aside), ends the run with a one-line message before any file is
// opened.
command_line parse_command_line(int argc, const char* const* argv);

// The text printed for --help.
const char* usage_text();

}  // namespace soil_climate
