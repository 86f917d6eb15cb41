#pragma once

#include <string>

namespace soil_climate {

// The positional arguments: an optional water-holding capacity (mm) that replaces the
// parameter file's, then an optional file-name prefix. Further arguments are ignored.
struct command_line {
    bool capacity_given = false;
    double capacity_mm = 0.0;  // the first argument's leading number, 0 when it has none
    std::string capacity_text;
    std::string file_prefix;
};

command_line parse_command_line(int argc, const char* const* argv);

}  // namespace soil_climate
