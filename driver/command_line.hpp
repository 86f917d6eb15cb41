#pragma once

#include <string>

namespace soil_climate {

// The command line: long options first, each starting with "--", then the positional
// arguments, an optional water-holding capacity (mm) that replaces the parameter file's
// and an optional file-name prefix. Further arguments are ignored.
struct command_line {
    enum class request { run, help, version };
    request action = request::run;
    bool write_csv = false;    // --csv: also write prefix + "years.csv"
    bool capacity_given = false;
    double capacity_mm = 0.0;  // the first positional argument's leading number, 0 when it has none
    std::string capacity_text;
    std::string file_prefix;
};

// Reads the command line; an unknown option ends the run with a one-line message.
command_line parse_command_line(int argc, const char* const* argv);

// The text printed for --help.
const char* usage_text();

}  // namespace soil_climate
